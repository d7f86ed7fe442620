// An in-process HID bus of emulated devices, for tests and benchmarks.
//
// Device models are plugged and unplugged at will; each plugged model is
// listed as one interface per top-level collection of its report descriptor,
// as a Windows host lists them. Every successful write is recorded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "emulator/DeviceModel.h"
#include "hid/platform/HidBackend.h"
#include "hid/platform/ReportDescriptor.h"

namespace hidplatform {

struct VirtualPlugOptions {
  // False: the interfaces open only for queries (identity, strings, lengths).
  bool readWriteAccess = true;
  // True: every Open of the device's interfaces fails.
  bool failOpen = false;
  // True: GetAttributes fails (the device "cannot be identified").
  bool failAttributes = false;
  // How long each indexed-string request takes (a slow device).
  std::chrono::milliseconds stringAnswerDelay{0};
  // What PhysicalDevice answers for the device's interfaces: the port it is
  // plugged into, kept when it re-enumerates.
  std::string physicalDevice{};
};

class VirtualHidBus : public HidBackend {
 public:
  VirtualHidBus();
  ~VirtualHidBus() override;
  VirtualHidBus(const VirtualHidBus&) = delete;
  VirtualHidBus& operator=(const VirtualHidBus&) = delete;

  // Plugs a model; returns its device instance id (new every plug, never
  // reused). A model with several top-level collections is listed as several
  // interfaces whose instance ids follow the returned one. Signals a change.
  std::uint32_t Plug(std::shared_ptr<emulator::DeviceModel> model, VirtualPlugOptions options = {});
  // Open handles start failing; outstanding reads end with an error. Signals
  // a change. Unknown ids are ignored.
  void Unplug(std::uint32_t deviceInstance);
  void UnplugAll();

  struct WrittenReport {
    std::uint32_t deviceInstance;  // as returned by Plug
    std::string path;
    std::vector<std::uint8_t> bytes;
  };
  // Every successful write, in order.
  std::vector<WrittenReport> WrittenReports() const;
  void ClearWrittenReports();
  // Ids as returned by Plug, in plug order.
  std::vector<std::uint32_t> PluggedDevices() const;
  // The interfaces of one plugged device (empty when not plugged).
  std::vector<InterfaceEntry> InterfacesOf(std::uint32_t deviceInstance) const;
  std::shared_ptr<emulator::DeviceModel> ModelOf(std::uint32_t deviceInstance) const;

  // --- Failure knobs ---
  void SetBindFailure(bool enumeration, bool hidAccess);
  // EnumerateInterfaces fails (as when the platform cannot list devices).
  void SetEnumerationFailure(bool fail);
  // As on Windows, where the libraries are loaded by the binding: without a
  // binding, enumeration, attributes and parsed data fail.
  void SetBindingRequired(bool required);
  // Changes the options of a plugged device from now on.
  void SetDeviceOptions(std::uint32_t deviceInstance, VirtualPlugOptions options);

  // --- Observation ---
  std::size_t OpenHandleCount() const;
  // Reads started and not yet ended, over all handles.
  std::size_t OutstandingReadCount() const;
  // Successful Open calls since construction.
  std::uint64_t OpenCallCount() const;
  // GetIndexedString calls since construction.
  std::uint64_t IndexedStringRequestCount() const;
  bool IsEnumerationBound() const;
  bool IsHidAccessBound() const;

  // --- HidBackend ---
  bool BindEnumeration() override;
  void ReleaseEnumeration() override;
  bool BindHidAccess() override;
  void ReleaseHidAccess() override;
  bool EnumerateInterfaces(std::vector<InterfaceEntry>& out) override;
  std::string PhysicalDevice(const std::string& path) override;
  Handle Open(const std::string& path, Access access) override;
  void Close(Handle handle) override;
  bool GetAttributes(Handle handle, Attributes& out) override;
  std::unique_ptr<PreparsedData> GetPreparsedData(Handle handle) override;
  bool GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetProductString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                        std::size_t bytes) override;
  bool GetNumInputBuffers(Handle handle, std::uint32_t& count) override;
  bool SetNumInputBuffers(Handle handle, std::uint32_t count) override;
  bool Write(Handle handle, const std::uint8_t* data, std::size_t length,
             std::uint32_t& written) override;
  bool StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) override;
  WaitResult WaitRead(Handle handle, int timeoutMs) override;
  bool GetReadResult(Handle handle, std::uint32_t& bytes) override;
  bool CancelRead(Handle handle) override;
  std::uint32_t LastError() override;
  // Each change is posted to the loop once; changes before it ran join it.
  std::unique_ptr<SourceWatch> WatchChanges(MainLoop& loop,
                                            std::function<void()> onChange) override;

 private:
  class Host;
  struct ChangeListener;
  struct Device;
  struct HandleState;

  void SignalChange();
  void DeliverInput(std::uint32_t deviceId, std::span<const std::uint8_t> report);
  void RequestReenumerate(std::uint32_t deviceId, std::shared_ptr<emulator::DeviceModel> next);
  void Reenumerate(std::uint32_t deviceId, std::shared_ptr<emulator::DeviceModel> next);
  // Looks up a handle whose device is still plugged; sets the last error and
  // returns null otherwise. Caller holds mutex_.
  HandleState* UsableHandle(Handle handle);
  bool CopyString(Handle handle, const std::u16string emulator::DeviceIdentity::*field,
                  void* buffer, std::size_t bytes);

  mutable std::mutex mutex_;
  std::map<std::uint32_t, std::shared_ptr<Device>> devices_;  // by id: plug order
  std::unordered_map<std::string, std::pair<std::shared_ptr<Device>, std::size_t>> paths_;
  std::unordered_map<Handle, std::shared_ptr<HandleState>> handles_;
  std::vector<std::shared_ptr<Host>> hosts_;  // kept: a model may hold its host a little longer
  std::vector<WrittenReport> written_;
  std::uint32_t nextInstance_ = 1;
  Handle nextHandle_ = 1;
  std::uint64_t openCalls_ = 0;
  std::uint64_t indexedStringRequests_ = 0;
  bool failBindEnumeration_ = false;
  bool failBindHidAccess_ = false;
  bool failEnumeration_ = false;
  bool bindingRequired_ = false;
  int enumerationBindings_ = 0;
  bool hidAccessBound_ = false;
  std::mutex listenerMutex_;  // apart from mutex_: changes are signalled under it
  std::shared_ptr<ChangeListener> listener_;
};

}  // namespace hidplatform
