#include <array>
#include <cstdio>

#include "base/TextEncoding.h"
#include "hid/HidControllerClass.h"

namespace hid {
namespace {

using hidplatform::Access;
using hidplatform::CurrentBackend;
using hidplatform::Handle;
using hidplatform::kInvalidHandle;

constexpr std::size_t kStringUnits = hidplatform::kStringBufferBytes / 2;  // 254
using StringBuffer = std::array<std::uint16_t, kStringUnits>;

// The buffer's text up to the first zero unit, at most the whole buffer.
std::u16string TextOf(const StringBuffer& buffer) {
  std::u16string text;
  for (std::uint16_t unit : buffer) {
    if (unit == 0) break;
    text.push_back(static_cast<char16_t>(unit));
  }
  return text;
}

// Languages in a buffer prefilled with 0xFFFF: the units before the last one
// the device wrote, not counting a terminating zero.
std::size_t LanguageCount(const StringBuffer& buffer) {
  for (std::size_t i = kStringUnits; i-- > 0;) {
    if (buffer[i] != 0xFFFF) return buffer[i] == 0 ? i : i + 1;
  }
  return 0;
}

// One of the device's fixed strings, read once into cache; empty while it
// cannot be read.
using StringQuery = bool (hidplatform::HidBackend::*)(Handle, void*, std::size_t);
const std::u16string& CachedString(THidDevice& device, std::u16string& cache, StringQuery query) {
  if (cache.empty() && device.OpenDeviceHandle()) {
    StringBuffer buffer{};
    if ((CurrentBackend().*query)(device.DeviceHandle(), buffer.data(),
                                  hidplatform::kStringBufferBytes)) {
      cache = TextOf(buffer);
    }
    device.CloseDeviceHandle();
  }
  return cache;
}

}  // namespace

std::unique_ptr<THidDevice> THidDevice::Create(std::unique_ptr<THidPnPInfo> info,
                                               THidDeviceController* controller) {
  auto device = std::make_unique<THidDevice>(Key{}, std::move(info), controller);
  if (controller != nullptr) {
    device->SetDataHandler(controller->OnDeviceData());
    device->unplugHandler_ = controller->OnDeviceUnplug();
    // Devices that appear later get the handler and slice assigned to the
    // controller before they existed.
    device->dataErrorHandler_ = controller->OnDeviceDataError();
    device->SetThreadSleepTime(controller->DevThreadSleepTime());
  }
  device->deviceHandle_ = device->OpenPath(Access::kReadWrite);
  device->hasReadWriteAccess_ = device->deviceHandle_ != kInvalidHandle;
  if (device->deviceHandle_ == kInvalidHandle) {
    device->deviceHandle_ = device->OpenPath(Access::kQueryOnly);
  }
  // On a raise the object is destroyed here, which closes the handle and
  // frees the record.
  if (device->deviceHandle_ == kInvalidHandle) throw EControllerError(kDeviceCannotBeOpened);
  hidplatform::Attributes attributes;
  if (!CurrentBackend().GetAttributes(device->deviceHandle_, attributes)) {
    throw EControllerError(kDeviceCannotBeIdentified);
  }
  device->attributes_.VendorID = attributes.vendorId;
  device->attributes_.ProductID = attributes.productId;
  device->attributes_.VersionNumber = attributes.versionNumber;
  device->CloseDeviceHandle();
  return device;
}

THidDevice::THidDevice(Key, std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller)
    : controller_(controller), pnpInfo_(std::move(info)) {}

THidDevice::~THidDevice() {
  THidDataEvent dataHandler = dataHandler_;
  THidPlugEvent unplugHandler = unplugHandler_;
  SetDataHandler({});
  unplugHandler_ = {};
  CloseDeviceHandle();
  CloseReadHandle();
  preparsedData_.reset();
  languageStrings_.clear();
  // Restore what the release step hands on to the replacement object.
  dataHandler_ = std::move(dataHandler);
  unplugHandler_ = std::move(unplugHandler);
  if (controller_ != nullptr) controller_->ReleaseDevice(this);
}

Handle THidDevice::OpenPath(Access access) {
  if (!pnpInfo_) return kInvalidHandle;
  return CurrentBackend().Open(pnpInfo_->DevicePath, access);
}

bool THidDevice::CanOpen() const {
  return pluggedIn_ && (claimed_ || enumerating_);
}

bool THidDevice::OpenDeviceHandle() {
  if (CanOpen() && deviceHandle_ == kInvalidHandle) {
    deviceHandle_ = OpenPath(Access::kReadWrite);
    hasReadWriteAccess_ = deviceHandle_ != kInvalidHandle;
    if (deviceHandle_ == kInvalidHandle) deviceHandle_ = OpenPath(Access::kQueryOnly);
    if (deviceHandle_ != kInvalidHandle) {
      auto& backend = CurrentBackend();
      if (numInputBuffers_ != 0) backend.SetNumInputBuffers(deviceHandle_, numInputBuffers_);
      backend.GetNumInputBuffers(deviceHandle_, numInputBuffers_);
    }
  }
  return deviceHandle_ != kInvalidHandle;
}

void THidDevice::CloseDeviceHandle() {
  if (deviceHandle_ != kInvalidHandle) CurrentBackend().Close(deviceHandle_);
  numInputBuffers_ = 0;
  deviceHandle_ = kInvalidHandle;
}

bool THidDevice::OpenReadHandle() {
  std::lock_guard lock(readHandleMutex_);
  if (!CanOpen()) return false;
  if (readHandle_ == kInvalidHandle) {
    const Handle handle = OpenPath(Access::kOverlappedRead);
    if (handle != kInvalidHandle) {
      auto& backend = CurrentBackend();
      std::uint32_t count = numReadBuffers_;
      if (count != 0) backend.SetNumInputBuffers(handle, count);
      if (backend.GetNumInputBuffers(handle, count)) numReadBuffers_ = count;
      readHandle_ = handle;
    }
  }
  return readHandle_ != kInvalidHandle;
}

void THidDevice::CloseReadHandle() {
  std::lock_guard lock(readHandleMutex_);
  const Handle handle = readHandle_.exchange(kInvalidHandle);
  if (handle != kInvalidHandle) CurrentBackend().Close(handle);
  numReadBuffers_ = 0;
}

void THidDevice::MarkUnplugged() {
  CloseDeviceHandle();
  {
    // Under the read-handle lock so that a reader cannot open a fresh read
    // handle between the close and the state change.
    std::lock_guard lock(readHandleMutex_);
    const Handle handle = readHandle_.exchange(kInvalidHandle);
    if (handle != kInvalidHandle) CurrentBackend().Close(handle);
    numReadBuffers_ = 0;
    pluggedIn_ = false;
  }
  THidPlugEvent handler = std::move(unplugHandler_);
  unplugHandler_ = {};
  if (handler) handler(this);
}

std::u16string THidDevice::GetVendorName() {
  return CachedString(*this, vendorString_, &hidplatform::HidBackend::GetManufacturerString);
}

std::u16string THidDevice::GetProductName() {
  return CachedString(*this, productString_, &hidplatform::HidBackend::GetProductString);
}

std::u16string THidDevice::GetSerialNumber() {
  if (serialString_.empty() && OpenDeviceHandle()) {
    auto& backend = CurrentBackend();
    StringBuffer serial{};
    if (backend.GetSerialNumberString(deviceHandle_, serial.data(),
                                      hidplatform::kStringBufferBytes)) {
      StringBuffer languages;
      languages.fill(0xFFFF);
      backend.GetIndexedString(deviceHandle_, 0, languages.data(), hidplatform::kStringBufferBytes);
      const std::size_t n = LanguageCount(languages);
      // Some devices answer the serial-number request with their language
      // list; that is no serial number.
      if (n > 0 && !std::equal(serial.begin(), serial.begin() + static_cast<std::ptrdiff_t>(n),
                               languages.begin())) {
        serialString_ = TextOf(serial);
      }
    }
    CloseDeviceHandle();
  }
  return serialString_;
}

std::u16string THidDevice::GetIndexedWideString(std::uint8_t index) {
  if (index == 0 || !OpenDeviceHandle()) return {};
  StringBuffer buffer{};
  if (!CurrentBackend().GetIndexedString(deviceHandle_, index, buffer.data(),
                                         hidplatform::kStringBufferBytes)) {
    return {};
  }
  return TextOf(buffer);
}

std::string THidDevice::GetIndexedString(std::uint8_t index) {
  const std::u16string wide = GetIndexedWideString(index);
  // Text that is not UTF-16 (an unpaired surrogate) gives no 8-bit text.
  return hidplatform::Utf16ToUtf8(wide).value_or(std::string());
}

const std::vector<std::string>& THidDevice::GetLanguageStrings() {
  if (languageStrings_.empty() && OpenDeviceHandle()) {
    StringBuffer languages;
    languages.fill(0xFFFF);
    const std::size_t n = CurrentBackend().GetIndexedString(deviceHandle_, 0, languages.data(),
                                                            hidplatform::kStringBufferBytes)
                              ? LanguageCount(languages)
                              : 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::string name;
      if (!hidplatform::GetLocaleName(languages[i], name)) {
        char text[32];
        std::snprintf(text, sizeof text, "unknown Locale ID $%.4X", languages[i]);
        name = text;
      }
      languageStrings_.push_back(std::move(name));
    }
    CloseDeviceHandle();
  }
  return languageStrings_;
}

const hidplatform::PreparsedData* THidDevice::GetPreparsedData() {
  if (!preparsedData_ && OpenDeviceHandle()) {
    preparsedData_ = CurrentBackend().GetPreparsedData(deviceHandle_);
    CloseDeviceHandle();
  }
  return preparsedData_.get();
}

void THidDevice::GetCapabilities(HIDP_CAPS& caps) {
  caps = HIDP_CAPS{};
  if (const hidplatform::PreparsedData* data = GetPreparsedData()) {
    caps.Usage = data->caps().usage;
    caps.UsagePage = data->caps().usagePage;
    caps.InputReportByteLength = data->caps().inputReportByteLength;
    caps.OutputReportByteLength = data->caps().outputReportByteLength;
    caps.FeatureReportByteLength = data->caps().featureReportByteLength;
  }
}

void THidDevice::SetThreadSleepTime(std::int32_t milliseconds) {
  if (milliseconds >= 10 && milliseconds <= 10000) threadSleepTime_ = milliseconds;
}

bool THidDevice::WriteOutputReport(const void* buffer, std::int32_t length,
                                   std::uint32_t& written) {
  written = 0;
  if (buffer == nullptr || length <= 0) return false;
  if (!OpenDeviceHandle()) return false;
  return CurrentBackend().Write(deviceHandle_, static_cast<const std::uint8_t*>(buffer),
                                static_cast<std::size_t>(length), written);
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
  if (!handler) {
    const std::weak_ptr<int> alive = lifeToken_;
    StopReadThread();
    if (alive.expired()) return;  // a handler served by the stop destroyed this object
  }
  dataHandler_ = std::move(handler);
  StartReadThread();
}

void THidDevice::StartReadThread() {
  if (!dataHandler_ || !pluggedIn_ || !claimed_ || !hasReadWriteAccess_ || readThread_ ||
      stoppingReader_) {
    return;
  }
  readThread_ = std::make_unique<THidDeviceReadThread>(*this);
  readThread_->Start();
}

void THidDevice::StopReadThread() {
  if (!readThread_) return;
  // The wait serves the reader's pending hand-over, whose handler may stop
  // this reader again or destroy this object: this call keeps the reader
  // until it ended, and nested stops find nothing left to stop.
  const std::unique_ptr<THidDeviceReadThread> reader = std::move(readThread_);
  const std::weak_ptr<int> alive = lifeToken_;
  stoppingReader_ = true;
  reader->Stop();
  if (!alive.expired()) stoppingReader_ = false;
}

bool THidDevice::StartAsyncRead(std::uint8_t* buffer, std::size_t length) {
  if (!OpenReadHandle()) return false;
  return CurrentBackend().StartRead(readHandle_, buffer, length);
}

std::uint32_t THidDevice::GetReadResult() {
  const Handle handle = readHandle_;
  if (handle == kInvalidHandle) return 0;
  std::uint32_t bytes = 0;
  return CurrentBackend().GetReadResult(handle, bytes) ? bytes : 0;
}

bool THidDevice::CancelPendingRead() {
  const Handle handle = readHandle_;
  if (handle == kInvalidHandle) return false;
  return CurrentBackend().CancelRead(handle);
}

}  // namespace hid
