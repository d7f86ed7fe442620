#include "emulator/virtual/VirtualHidBus.h"

#include "base/TextEncoding.h"
#include "hid/platform/PendingRead.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <thread>

namespace hidplatform {
namespace {

thread_local std::uint32_t lastError = kErrorSuccess;

bool Fail(std::uint32_t error) {
  lastError = error;
  return false;
}

constexpr std::uint32_t kDefaultInputBuffers = 32;
constexpr std::uint32_t kMinInputBuffers = 2;
constexpr std::uint32_t kMaxInputBuffers = 512;

}  // namespace

struct VirtualHidBus::Device {
  std::uint32_t id = 0;
  std::shared_ptr<emulator::DeviceModel> model;
  VirtualPlugOptions options;
  std::optional<ParsedDescriptor> parsed;
  std::vector<InterfaceEntry> entries;
  std::vector<Capabilities> caps;  // per entry
  bool plugged = true;
  int writesInProgress = 0;
  bool reenumeratePending = false;
  std::shared_ptr<emulator::DeviceModel> pendingNext;
};

struct VirtualHidBus::HandleState {
  std::shared_ptr<Device> device;
  std::size_t entry = 0;
  Access access = Access::kQueryOnly;
  std::uint32_t inputBuffers = kDefaultInputBuffers;
  std::deque<std::vector<std::uint8_t>> queued;
  PendingRead read;
  std::condition_variable done;  // the read ended

  void Complete(std::span<const std::uint8_t> report) {
    read.Complete(report);
    done.notify_all();
  }
  void Abort(std::uint32_t code) {
    read.Abort(code);
    done.notify_all();
  }
};

class VirtualHidBus::Host : public emulator::DeviceHost {
 public:
  Host(VirtualHidBus& bus, std::uint32_t deviceId) : bus_(bus), deviceId_(deviceId) {}
  void SendInputReport(std::span<const std::uint8_t> report) override {
    bus_.DeliverInput(deviceId_, report);
  }
  void Reenumerate(std::shared_ptr<emulator::DeviceModel> next) override {
    bus_.RequestReenumerate(deviceId_, std::move(next));
  }

 private:
  VirtualHidBus& bus_;
  std::uint32_t deviceId_;
};

struct VirtualHidBus::ChangeListener {
  MainLoop* loop;
  std::function<void()> onChange;
  std::mutex mutex;
  bool posted = false;  // a change waits in the loop
};

namespace {

class ListenerWatch : public SourceWatch {
 public:
  explicit ListenerWatch(std::function<void()> end) : end_(std::move(end)) {}
  ~ListenerWatch() override { end_(); }

 private:
  std::function<void()> end_;
};

}  // namespace

VirtualHidBus::VirtualHidBus() = default;

VirtualHidBus::~VirtualHidBus() {
  UnplugAll();
}

std::uint32_t VirtualHidBus::Plug(std::shared_ptr<emulator::DeviceModel> model,
                                  VirtualPlugOptions options) {
  auto device = std::make_shared<Device>();
  device->model = model;
  device->options = options;
  const auto& identity = model->Identity();
  device->parsed = ParseReportDescriptor(identity.reportDescriptor);
  std::shared_ptr<Host> host;
  {
    std::lock_guard lock(mutex_);
    device->id = nextInstance_;
    std::vector<CollectionReports> collections;
    if (device->parsed) collections = device->parsed->collections;
    // A descriptor without collections still makes one (useless) interface.
    if (collections.empty()) collections.emplace_back();
    nextInstance_ += static_cast<std::uint32_t>(collections.size());
    for (std::size_t i = 0; i < collections.size(); ++i) {
      char path[96];
      std::snprintf(path, sizeof path, "virtual-hid/%04X:%04X/%u/col%02zu", identity.vendorId,
                    identity.productId, device->id, i + 1);
      InterfaceEntry entry{path, device->id + static_cast<std::uint32_t>(i)};
      paths_[entry.path] = {device, i};
      device->entries.push_back(std::move(entry));
      const auto& c = collections[i];
      device->caps.push_back(Capabilities{c.usage, c.usagePage, c.inputReportByteLength,
                                          c.outputReportByteLength, c.featureReportByteLength});
    }
    devices_[device->id] = device;
    host = std::make_shared<Host>(*this, device->id);
    hosts_.push_back(host);
  }
  model->Attach(host.get());
  SignalChange();
  return device->id;
}

void VirtualHidBus::Unplug(std::uint32_t deviceInstance) {
  std::shared_ptr<Device> device;
  {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(deviceInstance);
    if (it == devices_.end()) return;
    device = it->second;
    devices_.erase(it);
    device->plugged = false;
    for (const auto& entry : device->entries) paths_.erase(entry.path);
    for (auto& [handle, state] : handles_) {
      if (state->device == device) state->Abort(kErrorDeviceNotConnected);
    }
  }
  device->model->Attach(nullptr);
  SignalChange();
}

void VirtualHidBus::UnplugAll() {
  for (std::uint32_t id : PluggedDevices()) Unplug(id);
}

std::vector<VirtualHidBus::WrittenReport> VirtualHidBus::WrittenReports() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void VirtualHidBus::ClearWrittenReports() {
  std::lock_guard lock(mutex_);
  written_.clear();
}

std::vector<std::uint32_t> VirtualHidBus::PluggedDevices() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> ids;
  for (const auto& [id, device] : devices_) ids.push_back(id);
  return ids;
}

std::vector<InterfaceEntry> VirtualHidBus::InterfacesOf(std::uint32_t deviceInstance) const {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(deviceInstance);
  if (it == devices_.end()) return {};
  return it->second->entries;
}

std::shared_ptr<emulator::DeviceModel> VirtualHidBus::ModelOf(std::uint32_t deviceInstance) const {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(deviceInstance);
  if (it == devices_.end()) return nullptr;
  return it->second->model;
}

void VirtualHidBus::SetBindFailure(bool enumeration, bool hidAccess) {
  std::lock_guard lock(mutex_);
  failBindEnumeration_ = enumeration;
  failBindHidAccess_ = hidAccess;
}

void VirtualHidBus::SetEnumerationFailure(bool fail) {
  std::lock_guard lock(mutex_);
  failEnumeration_ = fail;
}

void VirtualHidBus::SetBindingRequired(bool required) {
  std::lock_guard lock(mutex_);
  bindingRequired_ = required;
}

void VirtualHidBus::SetDeviceOptions(std::uint32_t deviceInstance, VirtualPlugOptions options) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(deviceInstance);
  if (it != devices_.end()) it->second->options = options;
}

std::size_t VirtualHidBus::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::size_t VirtualHidBus::OutstandingReadCount() const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& [handle, state] : handles_) count += state->read.Outstanding() ? 1 : 0;
  return count;
}

std::uint64_t VirtualHidBus::IndexedStringRequestCount() const {
  std::lock_guard lock(mutex_);
  return indexedStringRequests_;
}

std::uint64_t VirtualHidBus::OpenCallCount() const {
  std::lock_guard lock(mutex_);
  return openCalls_;
}

bool VirtualHidBus::IsEnumerationBound() const {
  std::lock_guard lock(mutex_);
  return enumerationBindings_ > 0;
}

bool VirtualHidBus::IsHidAccessBound() const {
  std::lock_guard lock(mutex_);
  return hidAccessBound_;
}

bool VirtualHidBus::BindEnumeration() {
  std::lock_guard lock(mutex_);
  if (failBindEnumeration_) return false;
  ++enumerationBindings_;
  return true;
}

void VirtualHidBus::ReleaseEnumeration() {
  std::lock_guard lock(mutex_);
  if (enumerationBindings_ > 0) --enumerationBindings_;
}

bool VirtualHidBus::BindHidAccess() {
  std::lock_guard lock(mutex_);
  if (failBindHidAccess_) return false;
  hidAccessBound_ = true;
  return true;
}

void VirtualHidBus::ReleaseHidAccess() {
  std::lock_guard lock(mutex_);
  hidAccessBound_ = false;
}

bool VirtualHidBus::EnumerateInterfaces(std::vector<InterfaceEntry>& out) {
  std::lock_guard lock(mutex_);
  out.clear();
  if (bindingRequired_ && enumerationBindings_ == 0) return Fail(kErrorInvalidFunction);
  if (failEnumeration_) return Fail(kErrorGenFailure);
  for (const auto& [id, device] : devices_) {
    out.insert(out.end(), device->entries.begin(), device->entries.end());
  }
  return true;
}

std::string VirtualHidBus::PhysicalDevice(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto it = paths_.find(path);
  return it == paths_.end() ? std::string() : it->second.first->options.physicalDevice;
}

Handle VirtualHidBus::Open(const std::string& path, Access access) {
  std::lock_guard lock(mutex_);
  auto it = paths_.find(path);
  if (it == paths_.end()) {
    Fail(kErrorFileNotFound);
    return kInvalidHandle;
  }
  const auto& [device, entry] = it->second;
  if (device->options.failOpen ||
      (access != Access::kQueryOnly && !device->options.readWriteAccess)) {
    Fail(kErrorAccessDenied);
    return kInvalidHandle;
  }
  auto state = std::make_shared<HandleState>();
  state->device = device;
  state->entry = entry;
  state->access = access;
  const Handle handle = nextHandle_++;
  handles_[handle] = std::move(state);
  ++openCalls_;
  return handle;
}

void VirtualHidBus::Close(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return;
  it->second->Abort(kErrorOperationAborted);
  handles_.erase(it);
}

VirtualHidBus::HandleState* VirtualHidBus::UsableHandle(Handle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  if (!it->second->device->plugged) {
    Fail(kErrorDeviceNotConnected);
    return nullptr;
  }
  return it->second.get();
}

bool VirtualHidBus::GetAttributes(Handle handle, Attributes& out) {
  std::lock_guard lock(mutex_);
  if (bindingRequired_ && !hidAccessBound_) return Fail(kErrorInvalidFunction);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  if (state->device->options.failAttributes) return Fail(kErrorGenFailure);
  const auto& identity = state->device->model->Identity();
  out = Attributes{identity.vendorId, identity.productId, identity.versionNumber};
  return true;
}

std::unique_ptr<PreparsedData> VirtualHidBus::GetPreparsedData(Handle handle) {
  std::lock_guard lock(mutex_);
  if (bindingRequired_ && !hidAccessBound_) {
    Fail(kErrorInvalidFunction);
    return nullptr;
  }
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return nullptr;
  return std::make_unique<PreparsedData>(state->device->caps[state->entry]);
}

bool VirtualHidBus::CopyString(Handle handle, const std::u16string emulator::DeviceIdentity::*field,
                               void* buffer, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  const std::u16string& text = state->device->model->Identity().*field;
  if (text.empty()) return Fail(kErrorGenFailure);
  CopyWideString(text, buffer, bytes);
  return true;
}

bool VirtualHidBus::GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(handle, &emulator::DeviceIdentity::manufacturer, buffer, bytes);
}

bool VirtualHidBus::GetProductString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(handle, &emulator::DeviceIdentity::product, buffer, bytes);
}

bool VirtualHidBus::GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(handle, &emulator::DeviceIdentity::serialNumber, buffer, bytes);
}

bool VirtualHidBus::GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                                     std::size_t bytes) {
  std::chrono::milliseconds delay{0};
  {
    std::lock_guard lock(mutex_);
    ++indexedStringRequests_;
    if (HandleState* state = UsableHandle(handle)) delay = state->device->options.stringAnswerDelay;
  }
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  std::lock_guard lock(mutex_);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  const auto& identity = state->device->model->Identity();
  if (index == 0) {
    if (identity.languages.empty()) return Fail(kErrorGenFailure);
    CopyWideString(std::u16string(identity.languages.begin(), identity.languages.end()), buffer,
                   bytes);
    return true;
  }
  if (index > 255) return Fail(kErrorGenFailure);
  auto it = identity.indexedStrings.find(static_cast<std::uint8_t>(index));
  if (it == identity.indexedStrings.end() || it->second.empty()) return Fail(kErrorGenFailure);
  CopyWideString(it->second, buffer, bytes);
  return true;
}

bool VirtualHidBus::GetNumInputBuffers(Handle handle, std::uint32_t& count) {
  std::lock_guard lock(mutex_);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  count = state->inputBuffers;
  return true;
}

bool VirtualHidBus::SetNumInputBuffers(Handle handle, std::uint32_t count) {
  std::lock_guard lock(mutex_);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  if (count < kMinInputBuffers || count > kMaxInputBuffers) return Fail(kErrorGenFailure);
  state->inputBuffers = count;
  while (state->queued.size() > count) state->queued.pop_front();
  return true;
}

bool VirtualHidBus::Write(Handle handle, const std::uint8_t* data, std::size_t length,
                          std::uint32_t& written) {
  written = 0;
  std::shared_ptr<Device> device;
  {
    std::lock_guard lock(mutex_);
    HandleState* state = UsableHandle(handle);
    if (state == nullptr) return false;
    if (state->access != Access::kReadWrite) return Fail(kErrorAccessDenied);
    if (data == nullptr || length == 0) return Fail(kErrorGenFailure);
    device = state->device;
    written_.push_back(WrittenReport{device->id, device->entries[state->entry].path,
                                     std::vector<std::uint8_t>(data, data + length)});
    ++device->writesInProgress;
  }
  // The model runs on the writer's thread without the bus lock, so it may
  // answer at once through SendInputReport.
  device->model->OnOutputReport(std::span<const std::uint8_t>(data, length));
  bool reenumerate = false;
  std::shared_ptr<emulator::DeviceModel> next;
  {
    std::lock_guard lock(mutex_);
    if (--device->writesInProgress == 0 && device->reenumeratePending && device->plugged) {
      reenumerate = true;
      next = std::move(device->pendingNext);
      device->reenumeratePending = false;
    }
  }
  if (reenumerate) Reenumerate(device->id, std::move(next));
  written = static_cast<std::uint32_t>(length);
  return true;
}

bool VirtualHidBus::StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) {
  std::lock_guard lock(mutex_);
  HandleState* state = UsableHandle(handle);
  if (state == nullptr) return false;
  if (state->access == Access::kQueryOnly) return Fail(kErrorAccessDenied);
  if (state->read.Outstanding()) return Fail(kErrorGenFailure);
  if (buffer == nullptr || length == 0) return Fail(kErrorGenFailure);
  state->read.Start(buffer, length);
  if (!state->queued.empty()) {
    state->Complete(state->queued.front());
    state->queued.pop_front();
  }
  return true;
}

WaitResult VirtualHidBus::WaitRead(Handle handle, int timeoutMs) {
  std::unique_lock lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return WaitResult::kCompleted;  // closed: the read has ended
  std::shared_ptr<HandleState> state = it->second;          // survives a Close meanwhile
  // A zero timeout only looks: a timed wait already due still costs a whole
  // timer tick under winpthreads (about a millisecond, on every poll of a
  // burn's acknowledgements).
  if (timeoutMs > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    state->done.wait_until(lock, deadline, [&] { return !state->read.Outstanding(); });
  }
  return state->read.Outstanding() ? WaitResult::kTimedOut : WaitResult::kCompleted;
}

bool VirtualHidBus::GetReadResult(Handle handle, std::uint32_t& bytes) {
  std::lock_guard lock(mutex_);
  bytes = 0;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(kErrorInvalidHandle);
  std::uint32_t code = kErrorSuccess;
  return it->second->read.Result(bytes, code) || Fail(code);
}

bool VirtualHidBus::CancelRead(Handle handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(kErrorInvalidHandle);
  it->second->Abort(kErrorOperationAborted);
  return true;
}

std::uint32_t VirtualHidBus::LastError() {
  return lastError;
}

std::unique_ptr<SourceWatch> VirtualHidBus::WatchChanges(MainLoop& loop,
                                                         std::function<void()> onChange) {
  auto listener = std::make_shared<ChangeListener>();
  listener->loop = &loop;
  listener->onChange = std::move(onChange);
  {
    std::lock_guard lock(listenerMutex_);
    listener_ = listener;
  }
  return std::make_unique<ListenerWatch>([this, listener] {
    std::lock_guard lock(listenerMutex_);
    if (listener_ == listener) listener_.reset();
  });
}

void VirtualHidBus::SignalChange() {
  std::shared_ptr<ChangeListener> listener;
  {
    std::lock_guard lock(listenerMutex_);
    listener = listener_;
  }
  if (!listener) return;
  {
    std::lock_guard lock(listener->mutex);
    if (listener->posted) return;
    listener->posted = true;
  }
  std::weak_ptr<ChangeListener> weak = listener;
  listener->loop->Post([weak] {
    auto alive = weak.lock();
    if (!alive) return;  // the watch ended meanwhile
    {
      std::lock_guard lock(alive->mutex);
      alive->posted = false;
    }
    alive->onChange();
  });
}

void VirtualHidBus::DeliverInput(std::uint32_t deviceId, std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(deviceId);
  if (it == devices_.end()) return;  // unplugged: the report goes nowhere
  const auto& device = it->second;
  std::size_t entry = 0;
  // An empty report (a read that completes with no data) goes to the first.
  if (!report.empty() && device->parsed && device->parsed->collections.size() > 1) {
    auto owner = CollectionOfReport(*device->parsed, report[0]);
    if (!owner) return;  // no collection declares this report
    entry = *owner;
  }
  for (auto& [handle, state] : handles_) {
    if (state->device != device || state->entry != entry) continue;
    if (state->access == Access::kQueryOnly) continue;
    if (state->read.Outstanding()) {
      state->Complete(report);
    } else {
      state->queued.emplace_back(report.begin(), report.end());
      if (state->queued.size() > state->inputBuffers) state->queued.pop_front();
    }
  }
}

void VirtualHidBus::RequestReenumerate(std::uint32_t deviceId,
                                       std::shared_ptr<emulator::DeviceModel> next) {
  {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(deviceId);
    if (it == devices_.end()) return;
    if (it->second->writesInProgress > 0) {
      // Inside OnOutputReport: the write finishes it once the model returned.
      it->second->reenumeratePending = true;
      it->second->pendingNext = std::move(next);
      return;
    }
  }
  Reenumerate(deviceId, std::move(next));
}

void VirtualHidBus::Reenumerate(std::uint32_t deviceId,
                                std::shared_ptr<emulator::DeviceModel> next) {
  VirtualPlugOptions options;
  {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(deviceId);
    if (it == devices_.end()) return;
    // The permission of a node belongs to the machine, not to the device mode.
    options.readWriteAccess = it->second->options.readWriteAccess;
    options.physicalDevice = it->second->options.physicalDevice;
  }
  Unplug(deviceId);
  if (next) Plug(std::move(next), options);
}

}  // namespace hidplatform
