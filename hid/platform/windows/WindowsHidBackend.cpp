#include "hid/platform/windows/WindowsHidBackend.h"

#include <windows.h>
// windows.h first: the setup header builds on its types.
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "hid/platform/ModuleLoader.h"
#include "hid/platform/windows/DeviceChangeWindow.h"

namespace hidplatform {
namespace {

// The records of the HID library, declared here: the program includes no
// import library or driver-kit header for it.
struct HiddAttributes {
  ULONG Size;
  USHORT VendorID;
  USHORT ProductID;
  USHORT VersionNumber;
};
struct HidpCaps {
  USHORT Usage;
  USHORT UsagePage;
  USHORT InputReportByteLength;
  USHORT OutputReportByteLength;
  USHORT FeatureReportByteLength;
  USHORT Reserved[17];
  USHORT Counts[10];
};
static_assert(sizeof(HidpCaps) == 64);
constexpr LONG kHidpStatusSuccess = 0x00110000;

// Every name must exist for the HID library to count as bound; only some are
// called.
constexpr std::array kHidTable = {"HidD_Hello",
                                  "HidD_GetHidGuid",
                                  "HidD_GetPreparsedData",
                                  "HidD_FreePreparsedData",
                                  "HidD_GetConfiguration",
                                  "HidD_SetConfiguration",
                                  "HidD_FlushQueue",
                                  "HidD_GetFeature",
                                  "HidD_SetFeature",
                                  "HidD_GetNumInputBuffers",
                                  "HidD_SetNumInputBuffers",
                                  "HidD_GetAttributes",
                                  "HidD_GetManufacturerString",
                                  "HidD_GetProductString",
                                  "HidD_GetSerialNumberString",
                                  "HidD_GetPhysicalDescriptor",
                                  "HidD_GetIndexedString",
                                  "HidP_GetCaps",
                                  "HidP_GetLinkCollectionNodes",
                                  "HidP_GetSpecificButtonCaps",
                                  "HidP_GetSpecificValueCaps",
                                  "HidP_GetData",
                                  "HidP_SetData",
                                  "HidP_MaxDataListLength",
                                  "HidP_GetUsages",
                                  "HidP_GetUsagesEx",
                                  "HidP_SetUsages",
                                  "HidP_UnsetUsages",
                                  "HidP_MaxUsageListLength",
                                  "HidP_GetUsageValue",
                                  "HidP_GetScaledUsageValue",
                                  "HidP_GetUsageValueArray",
                                  "HidP_SetUsageValue",
                                  "HidP_SetScaledUsageValue",
                                  "HidP_SetUsageValueArray",
                                  "HidP_UsageListDifference",
                                  "HidP_TranslateUsagesToI8042ScanCodes"};

struct HidEntries {
  void(WINAPI* GetHidGuid)(GUID*) = nullptr;
  BOOLEAN(WINAPI* GetAttributes)(HANDLE, HiddAttributes*) = nullptr;
  BOOLEAN(WINAPI* GetPreparsedData)(HANDLE, void**) = nullptr;
  BOOLEAN(WINAPI* FreePreparsedData)(void*) = nullptr;
  LONG(WINAPI* GetCaps)(void*, HidpCaps*) = nullptr;
  BOOLEAN(WINAPI* GetManufacturerString)(HANDLE, void*, ULONG) = nullptr;
  BOOLEAN(WINAPI* GetProductString)(HANDLE, void*, ULONG) = nullptr;
  BOOLEAN(WINAPI* GetSerialNumberString)(HANDLE, void*, ULONG) = nullptr;
  BOOLEAN(WINAPI* GetIndexedString)(HANDLE, ULONG, void*, ULONG) = nullptr;
  BOOLEAN(WINAPI* GetNumInputBuffers)(HANDLE, ULONG*) = nullptr;
  BOOLEAN(WINAPI* SetNumInputBuffers)(HANDLE, ULONG) = nullptr;
};

struct SetupEntries {
  decltype(&SetupDiGetClassDevsA) GetClassDevs = nullptr;
  decltype(&SetupDiEnumDeviceInterfaces) EnumDeviceInterfaces = nullptr;
  decltype(&SetupDiGetDeviceInterfaceDetailA) GetDeviceInterfaceDetail = nullptr;
  decltype(&SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = nullptr;
  decltype(&SetupDiGetDeviceRegistryPropertyA) GetDeviceRegistryProperty = nullptr;
};

// The class every HID interface belongs to, for scans without the HID library.
constexpr GUID kFixedHidGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Registry properties are read up to this code while the set is open.
constexpr DWORD kLastPropertyCode = 30;

HANDLE AsHandle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// One read outstanding on a handle. The OVERLAPPED record must outlive the
// read: a handle closed under a read hands its state over to the orphans,
// and the completion routine frees it there.
struct ReadState {
  OVERLAPPED overlapped{};
  WindowsHidBackend::Impl* owner = nullptr;
  bool outstanding = false;
  DWORD error = ERROR_SUCCESS;
  DWORD bytes = 0;
};

}  // namespace

struct WindowsHidBackend::Impl {
  Options options;
  LibraryHandle setupLibrary = nullptr;
  LibraryHandle hidLibrary = nullptr;
  SetupEntries setup;
  HidEntries hid;
  GUID hidGuid = kFixedHidGuid;
  bool hidGuidKnown = false;
  // Windows' DevInst stays the same for a device within a process; Wine's is
  // an index into the scan's own set, which the next scan gives to whatever
  // device comes first. A number kept per interface path (main thread only)
  // lets the controller tell a new device from a departed one on both.
  std::map<std::string, std::uint32_t> instanceNumbers;

  std::uint32_t InstanceNumber(const std::string& path) {
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return instanceNumbers.try_emplace(key, static_cast<std::uint32_t>(instanceNumbers.size() + 1))
        .first->second;
  }

  std::mutex mutex;  // guards everything below; the reader threads use it too
  std::map<std::string, std::map<DWORD, std::vector<std::uint8_t>>> properties;
  std::map<Handle, std::unique_ptr<ReadState>> reads;
  std::set<ReadState*> orphans;
  std::vector<std::unique_ptr<ReadState>> orphanStore;

  static VOID CALLBACK ReadCompleted(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    auto* state = static_cast<ReadState*>(overlapped->hEvent);
    Impl* self = state->owner;
    std::lock_guard lock(self->mutex);
    state->outstanding = false;
    state->error = error;
    state->bytes = bytes;
    if (self->orphans.erase(state) > 0) {
      std::erase_if(self->orphanStore, [state](const auto& held) { return held.get() == state; });
    }
  }

  ReadState& StateOf(Handle handle) {
    auto& slot = reads[handle];
    if (!slot) {
      slot = std::make_unique<ReadState>();
      slot->owner = this;
    }
    return *slot;
  }
};

WindowsHidBackend::WindowsHidBackend(Options options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}

WindowsHidBackend::~WindowsHidBackend() {
  ReleaseHidAccess();
  ReleaseEnumeration();
}

std::string WindowsHidBackend::HidGuid() const {
  if (!impl_->hidGuidKnown) return {};
  const GUID& g = impl_->hidGuid;
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

bool WindowsHidBackend::BindEnumeration() {
  Impl& s = *impl_;
  if (!OpenLibrary(s.setupLibrary, s.options.setupLibrary.c_str())) return false;
  bool all = true;
  ResolveEntry(s.setupLibrary, "SetupDiGetClassDevsA", s.setup.GetClassDevs, all);
  ResolveEntry(s.setupLibrary, "SetupDiEnumDeviceInterfaces", s.setup.EnumDeviceInterfaces, all);
  ResolveEntry(s.setupLibrary, "SetupDiGetDeviceInterfaceDetailA", s.setup.GetDeviceInterfaceDetail,
               all);
  ResolveEntry(s.setupLibrary, "SetupDiDestroyDeviceInfoList", s.setup.DestroyDeviceInfoList, all);
  ResolveEntry(s.setupLibrary, "SetupDiGetDeviceRegistryPropertyA",
               s.setup.GetDeviceRegistryProperty, all);
  if (!all) ReleaseEnumeration();
  return all;
}

void WindowsHidBackend::ReleaseEnumeration() {
  CloseLibrary(impl_->setupLibrary);
  impl_->setup = {};
}

bool WindowsHidBackend::BindHidAccess() {
  Impl& s = *impl_;
  if (!OpenLibrary(s.hidLibrary, s.options.hidLibrary.c_str())) return false;
  bool all = true;
  for (const char* name : kHidTable) FindEntryChecked(s.hidLibrary, name, all);
  ResolveEntry(s.hidLibrary, "HidD_GetHidGuid", s.hid.GetHidGuid, all);
  ResolveEntry(s.hidLibrary, "HidD_GetAttributes", s.hid.GetAttributes, all);
  ResolveEntry(s.hidLibrary, "HidD_GetPreparsedData", s.hid.GetPreparsedData, all);
  ResolveEntry(s.hidLibrary, "HidD_FreePreparsedData", s.hid.FreePreparsedData, all);
  ResolveEntry(s.hidLibrary, "HidP_GetCaps", s.hid.GetCaps, all);
  ResolveEntry(s.hidLibrary, "HidD_GetManufacturerString", s.hid.GetManufacturerString, all);
  ResolveEntry(s.hidLibrary, "HidD_GetProductString", s.hid.GetProductString, all);
  ResolveEntry(s.hidLibrary, "HidD_GetSerialNumberString", s.hid.GetSerialNumberString, all);
  ResolveEntry(s.hidLibrary, "HidD_GetIndexedString", s.hid.GetIndexedString, all);
  ResolveEntry(s.hidLibrary, "HidD_GetNumInputBuffers", s.hid.GetNumInputBuffers, all);
  ResolveEntry(s.hidLibrary, "HidD_SetNumInputBuffers", s.hid.SetNumInputBuffers, all);
  if (!all) {
    ReleaseHidAccess();
    return false;
  }
  s.hid.GetHidGuid(&s.hidGuid);
  s.hidGuidKnown = true;
  return true;
}

void WindowsHidBackend::ReleaseHidAccess() {
  CloseLibrary(impl_->hidLibrary);
  impl_->hid = {};
  impl_->hidGuid = kFixedHidGuid;
  impl_->hidGuidKnown = false;
}

bool WindowsHidBackend::EnumerateInterfaces(std::vector<InterfaceEntry>& out) {
  Impl& s = *impl_;
  out.clear();
  if (s.setup.GetClassDevs == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  HDEVINFO set =
      s.setup.GetClassDevs(&s.hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return false;
  std::map<std::string, std::map<DWORD, std::vector<std::uint8_t>>> properties;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (!s.setup.EnumDeviceInterfaces(set, nullptr, &s.hidGuid, index, &interfaceData)) break;
    DWORD required = 0;
    SP_DEVINFO_DATA deviceData{};
    deviceData.cbSize = sizeof deviceData;
    if (s.setup.GetDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &required, &deviceData) ||
        required == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      continue;
    }
    // DWORD-aligned storage for the detail record, whose size field counts
    // only its fixed part.
    std::vector<DWORD> storage(required / sizeof(DWORD) + 1, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!s.setup.GetDeviceInterfaceDetail(set, &interfaceData, detail, required, nullptr,
                                          &deviceData)) {
      continue;
    }
    InterfaceEntry entry;
    entry.path = detail->DevicePath;
    entry.deviceInstance = s.InstanceNumber(entry.path);
    // The registry properties belong to the set: read them while it is open.
    auto& record = properties[entry.path];
    for (DWORD code = 0; code <= kLastPropertyCode; ++code) {
      DWORD size = 0;
      s.setup.GetDeviceRegistryProperty(set, &deviceData, code, nullptr, nullptr, 0, &size);
      if (size == 0) continue;
      std::vector<std::uint8_t> value(size);
      if (s.setup.GetDeviceRegistryProperty(set, &deviceData, code, nullptr, value.data(), size,
                                            &size)) {
        value.resize(size);
        record[code] = std::move(value);
      }
    }
    out.push_back(std::move(entry));
  }
  s.setup.DestroyDeviceInfoList(set);
  std::lock_guard lock(s.mutex);
  s.properties = std::move(properties);
  return true;
}

bool WindowsHidBackend::GetRegistryProperty(const InterfaceEntry& entry, std::uint32_t code,
                                            std::vector<std::uint8_t>& out) {
  std::lock_guard lock(impl_->mutex);
  auto record = impl_->properties.find(entry.path);
  if (record == impl_->properties.end()) return false;
  auto value = record->second.find(code);
  if (value == record->second.end()) return false;
  out = value->second;
  return true;
}

Handle WindowsHidBackend::Open(const std::string& path, Access access) {
  DWORD desired = GENERIC_READ | GENERIC_WRITE;
  DWORD flags = 0;
  if (access == Access::kQueryOnly) desired = 0;
  if (access == Access::kOverlappedRead) {
    desired = GENERIC_READ;
    flags = FILE_FLAG_OVERLAPPED;
  }
  HANDLE file = CreateFileA(path.c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kInvalidHandle;
  return reinterpret_cast<Handle>(file);
}

void WindowsHidBackend::Close(Handle handle) {
  if (handle == kInvalidHandle) return;
  {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->reads.find(handle);
    if (it != impl_->reads.end()) {
      if (it->second->outstanding) {
        impl_->orphans.insert(it->second.get());
        impl_->orphanStore.push_back(std::move(it->second));
      }
      impl_->reads.erase(it);
    }
  }
  CloseHandle(AsHandle(handle));
}

bool WindowsHidBackend::GetAttributes(Handle handle, Attributes& out) {
  if (impl_->hid.GetAttributes == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  HiddAttributes attributes{};
  attributes.Size = sizeof attributes;
  if (!impl_->hid.GetAttributes(AsHandle(handle), &attributes)) return false;
  out.vendorId = attributes.VendorID;
  out.productId = attributes.ProductID;
  out.versionNumber = attributes.VersionNumber;
  return true;
}

std::unique_ptr<PreparsedData> WindowsHidBackend::GetPreparsedData(Handle handle) {
  const HidEntries& hid = impl_->hid;
  if (hid.GetPreparsedData == nullptr) return nullptr;
  void* parsed = nullptr;
  if (!hid.GetPreparsedData(AsHandle(handle), &parsed) || parsed == nullptr) return nullptr;
  HidpCaps caps{};
  const bool ok = hid.GetCaps(parsed, &caps) == kHidpStatusSuccess;
  hid.FreePreparsedData(parsed);
  if (!ok) return nullptr;
  Capabilities result;
  result.usage = caps.Usage;
  result.usagePage = caps.UsagePage;
  result.inputReportByteLength = caps.InputReportByteLength;
  result.outputReportByteLength = caps.OutputReportByteLength;
  result.featureReportByteLength = caps.FeatureReportByteLength;
  return std::make_unique<PreparsedData>(result);
}

namespace {

template <typename Entry>
bool CopyString(Entry entry, Handle handle, void* buffer, std::size_t bytes) {
  if (entry == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  return entry(AsHandle(handle), buffer, static_cast<ULONG>(bytes)) != FALSE;
}

}  // namespace

bool WindowsHidBackend::GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(impl_->hid.GetManufacturerString, handle, buffer, bytes);
}

bool WindowsHidBackend::GetProductString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(impl_->hid.GetProductString, handle, buffer, bytes);
}

bool WindowsHidBackend::GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) {
  return CopyString(impl_->hid.GetSerialNumberString, handle, buffer, bytes);
}

bool WindowsHidBackend::GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                                         std::size_t bytes) {
  if (impl_->hid.GetIndexedString == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  return impl_->hid.GetIndexedString(AsHandle(handle), index, buffer, static_cast<ULONG>(bytes)) !=
         FALSE;
}

bool WindowsHidBackend::GetNumInputBuffers(Handle handle, std::uint32_t& count) {
  if (impl_->hid.GetNumInputBuffers == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  ULONG value = 0;
  if (!impl_->hid.GetNumInputBuffers(AsHandle(handle), &value)) return false;
  count = value;
  return true;
}

bool WindowsHidBackend::SetNumInputBuffers(Handle handle, std::uint32_t count) {
  if (impl_->hid.SetNumInputBuffers == nullptr) return Fail(ERROR_INVALID_FUNCTION);
  return impl_->hid.SetNumInputBuffers(AsHandle(handle), count) != FALSE;
}

bool WindowsHidBackend::Write(Handle handle, const std::uint8_t* data, std::size_t length,
                              std::uint32_t& written) {
  DWORD count = 0;
  const bool ok =
      WriteFile(AsHandle(handle), data, static_cast<DWORD>(length), &count, nullptr) != FALSE;
  // The HID class sends a whole output report or fails, and Windows counts
  // the whole report; Wine's counts the bytes after the report id (64 for
  // the 65 sent), which callers would take for a short write.
  written = ok ? static_cast<std::uint32_t>(length) : 0;
  return ok;
}

bool WindowsHidBackend::StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) {
  ReadState* state = nullptr;
  {
    std::lock_guard lock(impl_->mutex);
    state = &impl_->StateOf(handle);
    if (state->outstanding) return Fail(ERROR_BUSY);
    state->overlapped = {};
    state->overlapped.hEvent = state;  // ReadFileEx leaves the event free for the caller
    state->outstanding = true;
    state->error = ERROR_SUCCESS;
    state->bytes = 0;
  }
  if (ReadFileEx(AsHandle(handle), buffer, static_cast<DWORD>(length), &state->overlapped,
                 &Impl::ReadCompleted)) {
    return true;
  }
  const DWORD error = GetLastError();
  {
    std::lock_guard lock(impl_->mutex);
    state->outstanding = false;
    state->error = error;
  }
  return Fail(error);
}

WaitResult WindowsHidBackend::WaitRead(Handle handle, int timeoutMs) {
  auto outstanding = [&] {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->reads.find(handle);
    return it != impl_->reads.end() && it->second->outstanding;
  };
  if (!outstanding()) return WaitResult::kCompleted;
  // The completion routine runs during this alertable wait, on this thread.
  SleepEx(static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs), TRUE);
  return outstanding() ? WaitResult::kTimedOut : WaitResult::kCompleted;
}

bool WindowsHidBackend::GetReadResult(Handle handle, std::uint32_t& bytes) {
  bytes = 0;
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->reads.find(handle);
  if (it == impl_->reads.end()) return Fail(ERROR_INVALID_HANDLE);
  const ReadState& state = *it->second;
  if (state.outstanding) return Fail(ERROR_IO_INCOMPLETE);
  if (state.error != ERROR_SUCCESS) return Fail(state.error);
  bytes = state.bytes;
  return true;
}

bool WindowsHidBackend::CancelRead(Handle handle) {
  // Looked up at the moment of use, as the cancel has always been bound.
  LibraryHandle kernel = nullptr;
  if (!OpenLibrary(kernel, "kernel32.dll")) return false;
  auto* cancel = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(FindEntry(kernel, "CancelIo"));
  const bool ok = cancel != nullptr && cancel(AsHandle(handle)) != FALSE;
  CloseLibrary(kernel);
  // The cancelled read still completes: let its routine run before the
  // caller's buffer goes away.
  for (int slice = 0; ok && slice < 100 && WaitRead(handle, 10) == WaitResult::kTimedOut; ++slice) {
  }
  return ok;
}

std::uint32_t WindowsHidBackend::LastError() {
  return GetLastError();
}

std::unique_ptr<SourceWatch> WindowsHidBackend::WatchChanges(MainLoop& /*loop*/,
                                                             std::function<void()> onChange) {
  return MakeDeviceChangeWindow(std::move(onChange));
}

}  // namespace hidplatform
