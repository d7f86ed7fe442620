// The HID layer: the controller that watches the present HID interfaces, the
// device objects it lists and hands out, the plug-and-play record of each
// interface, and the per-device input-report reader.
//
// Everything here runs on the main thread, except the reader threads, which
// reach application code only through blocking hand-overs to the main
// thread. The main thread's loop is reached through hidplatform::MainLoop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "hid/HidEvents.h"
#include "hid/platform/HidBackend.h"
#include "hid/platform/MainLoop.h"

namespace hid {

class THidDevice;
class THidDeviceController;

// Handler types. THidEnumerateEvent returns true to be offered the next device.
using THidPlugEvent = THidEvent<void(THidDevice* HidDev)>;
using THidEnumerateEvent = THidEvent<bool(THidDevice* HidDev, std::int32_t Idx)>;
using THidDataEvent = THidEvent<void(THidDevice* HidDev, std::uint8_t ReportID,
                                     const std::uint8_t* Data, std::uint16_t Size)>;
using THidDataErrorEvent = THidEvent<void(THidDevice* HidDev, std::uint32_t Error)>;
using TNotifyEvent = THidEvent<void(THidDeviceController* Sender)>;

// Raised only by the creation of a device object.
class EControllerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
inline constexpr const char* kDeviceCannotBeOpened = "device cannot be opened";
inline constexpr const char* kDeviceCannotBeIdentified = "device cannot be identified";

struct HIDD_ATTRIBUTES {
  std::uint32_t Size = 12;
  std::uint16_t VendorID = 0;
  std::uint16_t ProductID = 0;
  std::uint16_t VersionNumber = 0;
};

// The capability record; only the three report lengths are used. Lengths
// count the leading report-id byte.
struct HIDP_CAPS {
  std::uint16_t Usage = 0;
  std::uint16_t UsagePage = 0;
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  std::uint16_t FeatureReportByteLength = 0;
  std::uint16_t Reserved[17] = {};
  std::uint16_t NumberLinkCollectionNodes = 0;
  std::uint16_t NumberInputButtonCaps = 0;
  std::uint16_t NumberInputValueCaps = 0;
  std::uint16_t NumberInputDataIndices = 0;
  std::uint16_t NumberOutputButtonCaps = 0;
  std::uint16_t NumberOutputValueCaps = 0;
  std::uint16_t NumberOutputDataIndices = 0;
  std::uint16_t NumberFeatureButtonCaps = 0;
  std::uint16_t NumberFeatureValueCaps = 0;
  std::uint16_t NumberFeatureDataIndices = 0;
};
static_assert(sizeof(HIDP_CAPS) == 64);

// The plug-and-play record of one interface: how to open it, how to
// recognise it across scans, and registry properties read once (empty where
// the platform has none).
class THidPnPInfo {
 public:
  explicit THidPnPInfo(const hidplatform::InterfaceEntry& entry);
  // Takes the entry's path over instead of copying it (a scan makes one
  // record per present interface).
  explicit THidPnPInfo(hidplatform::InterfaceEntry&& entry);

  std::uint32_t DeviceInstance;
  std::string DevicePath;
  std::uint32_t DeviceCapabilities = 0;
  std::string ClassName;
  std::string ClassGuid;
  std::vector<std::string> CompatibleIds;
  std::uint32_t ConfigFlags = 0;
  std::string DeviceDescription;
  std::string DriverKey;
  std::string FriendlyName;
  std::vector<std::string> HardwareIds;
  std::vector<std::string> LowerFilters;
  std::string Manufacturer;
  std::vector<std::string> UpperFilters;
  std::string Address;
  std::uint32_t BusNumber = 0;
  std::string BusTypeGuid;
  std::string Characteristics;
  std::uint32_t DeviceType = 0;
  std::string EnumeratorName;
  std::uint32_t Exclusive = 0;
  std::uint32_t LegacyBusType = 0;
  std::string LocationInformation;
  std::string PhysicalDeviceObjectName;
  std::string SecurityDescriptor;
  std::string ServiceName;
  std::uint32_t UiNumber = 0;
  std::string Property30;

 private:
  void ReadProperties(const hidplatform::InterfaceEntry& entry);
};

// The reader of one device: reads input reports on its own thread and hands
// each report, and each read that could not be started, to the main thread,
// waiting until the handler there has run.
class THidDeviceReadThread {
 public:
  explicit THidDeviceReadThread(THidDevice& device);
  ~THidDeviceReadThread();
  THidDeviceReadThread(const THidDeviceReadThread&) = delete;
  THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

  void Start();
  // Raises the stop flag and waits for the thread's end while serving its
  // pending hand-overs. Called from inside one of this reader's own
  // deliveries it cannot wait (the reader waits for that very delivery): the
  // thread then finishes on its own once the delivery returned. A handler
  // served by this wait may stop or destroy its device: the device's stop
  // keeps this object alive until the wait ended (THidDevice::StopReadThread).
  void Stop();
  // The body ended (stopped, or a handler raised an error).
  bool Finished() const;
  // A report or error waits for the main thread to run its handler.
  bool HandOverPending() const;
  std::uint32_t LastError() const;

  // The state the thread shares with its owner; outlives the owner when the
  // reader had to be let go from inside its own delivery.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  hidplatform::MainLoop& loop_;  // the main thread's; runs the hand-overs
  std::thread thread_;
};

class THidDevice {
  struct Key {};  // objects are made through Create only

 public:
  // Opens the interface (read-write, else query-only) and reads its
  // attributes; raises EControllerError when it can do neither.
  static std::unique_ptr<THidDevice> Create(std::unique_ptr<THidPnPInfo> info,
                                            THidDeviceController* controller);
  THidDevice(Key, std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller);
  // Stops the reader, closes everything, and gives a claimed object back to
  // its controller (a fresh object takes its place while the interface is
  // present). Never raises.
  ~THidDevice();
  THidDevice(const THidDevice&) = delete;
  THidDevice& operator=(const THidDevice&) = delete;

  // --- state ---
  THidDeviceController* Controller() const { return controller_; }
  bool PluggedIn() const { return pluggedIn_; }
  bool Claimed() const { return claimed_; }
  bool Enumerating() const { return enumerating_; }
  hidplatform::Handle DeviceHandle() const { return deviceHandle_; }
  hidplatform::Handle ReadHandle() const { return readHandle_; }
  bool HasReadWriteAccess() const { return hasReadWriteAccess_; }
  const HIDD_ATTRIBUTES& Attributes() const { return attributes_; }
  const THidPnPInfo* PnPInfo() const { return pnpInfo_.get(); }
  std::int32_t ThreadSleepTime() const { return threadSleepTime_; }
  std::uint32_t NumInputBuffers() const { return numInputBuffers_; }
  void SetNumInputBuffers(std::uint32_t count) { numInputBuffers_ = count; }
  std::uint32_t NumReadBuffers() const { return numReadBuffers_; }
  void SetNumReadBuffers(std::uint32_t count) { numReadBuffers_ = count; }
  const THidDataEvent& DataHandler() const { return dataHandler_; }
  const THidDataErrorEvent& DataErrorHandler() const { return dataErrorHandler_; }
  void SetDataErrorHandler(THidDataErrorEvent handler) { dataErrorHandler_ = std::move(handler); }
  const THidPlugEvent& UnplugHandler() const { return unplugHandler_; }
  void SetUnplugHandler(THidPlugEvent handler) { unplugHandler_ = std::move(handler); }
  THidDeviceReadThread* ReadThread() const { return readThread_.get(); }

  // --- handles ---
  // PluggedIn and (Claimed or inside a handler the controller calls for it).
  bool CanOpen() const;
  bool OpenDeviceHandle();
  void CloseDeviceHandle();
  bool OpenReadHandle();
  void CloseReadHandle();
  // Closes both handles, clears PluggedIn and fires the one-shot unplug handler.
  void MarkUnplugged();

  // --- queries (never raise; failures give empty or zero results) ---
  std::u16string GetVendorName();
  std::u16string GetProductName();
  std::u16string GetSerialNumber();
  std::u16string GetIndexedWideString(std::uint8_t index);
  // The same text in the system's 8-bit encoding (UTF-8 here).
  std::string GetIndexedString(std::uint8_t index);
  const std::vector<std::string>& GetLanguageStrings();
  const hidplatform::PreparsedData* GetPreparsedData();
  void GetCapabilities(HIDP_CAPS& caps);
  // Accepted only from 10 to 10000 ms.
  void SetThreadSleepTime(std::int32_t milliseconds);

  // --- reports ---
  bool WriteOutputReport(const void* buffer, std::int32_t length, std::uint32_t& written);
  void SetDataHandler(THidDataEvent handler);
  void StartReadThread();
  void StopReadThread();
  bool StartAsyncRead(std::uint8_t* buffer, std::size_t length);
  std::uint32_t GetReadResult();
  bool CancelPendingRead();

 private:
  friend class THidDeviceController;
  friend class THidDeviceReadThread;

  hidplatform::Handle OpenPath(hidplatform::Access access);
  // A token that expires with this object, so that code calling application
  // handlers can tell whether the handler destroyed the object.
  std::weak_ptr<int> LifeToken() const { return lifeToken_; }

  THidDeviceController* controller_;
  std::atomic<bool> pluggedIn_{true};
  std::atomic<bool> claimed_{false};
  std::atomic<bool> enumerating_{false};
  hidplatform::Handle deviceHandle_ = hidplatform::kInvalidHandle;
  std::atomic<hidplatform::Handle> readHandle_{hidplatform::kInvalidHandle};
  std::mutex readHandleMutex_;  // opening (reader) against closing (main thread)
  HIDD_ATTRIBUTES attributes_;
  std::unique_ptr<THidPnPInfo> pnpInfo_;
  std::u16string vendorString_;
  std::u16string productString_;
  std::unique_ptr<hidplatform::PreparsedData> preparsedData_;
  std::u16string serialString_;
  std::vector<std::string> languageStrings_;
  std::uint32_t numInputBuffers_ = 0;
  std::atomic<std::uint32_t> numReadBuffers_{0};
  std::atomic<std::int32_t> threadSleepTime_{100};
  THidDataEvent dataHandler_;
  THidDataErrorEvent dataErrorHandler_;
  THidPlugEvent unplugHandler_;
  bool hasReadWriteAccess_ = false;
  std::unique_ptr<THidDeviceReadThread> readThread_;
  bool stoppingReader_ = false;  // a stop waits: no new reader starts meanwhile
  std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
};

// Watches the present HID interfaces and reports changes through its events.
// The first scan runs from the event loop after construction, and always
// fires OnDeviceChange.
class THidDeviceController {
 public:
  // loading: the owner is still being set up; assigning OnDeviceChange then
  // does not rescan at once (SetLoading(false) when done). Made on the main
  // thread, whose loop is the current one.
  explicit THidDeviceController(bool loading = false);
  ~THidDeviceController();
  THidDeviceController(const THidDeviceController&) = delete;
  THidDeviceController& operator=(const THidDeviceController&) = delete;

  // Rescans and reconciles the list; fires the events.
  void DeviceChange();
  // Offers each present entry to OnEnumerate; returns how many were offered.
  std::int32_t EnumerateDevices();
  // Claims the entry at the index; the caller then owns the object and gives
  // it back by destroying it. device is set to null first.
  bool ClaimDeviceByIndex(THidDevice*& device, std::int32_t index);
  bool ClaimDevice(THidDevice*& device, std::int32_t index, bool check);
  // The device-change receiver: WM_DEVICECHANGE with DBT_DEVNODES_CHANGED
  // rescans (lParam -1 forces OnDeviceChange); WM_QUERYENDSESSION answers 1.
  // Messages that arrive during a scan (from a nested message loop) make one
  // more scan once it returned.
  std::intptr_t NotifyWindowProc(std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam);

  // The HID device-interface class the scans ask for (the same value on
  // every platform).
  static constexpr const char* HidGuid = "{4D1E55B2-F16F-11CF-88CB-001111000030}";

  bool Loading() const { return loading_; }
  void SetLoading(bool loading) { loading_ = loading; }

  std::int32_t DevThreadSleepTime() const { return devThreadSleepTime_; }
  void SetDevThreadSleepTime(std::int32_t value);
  const std::string& Version() const { return version_; }
  void SetVersion(const std::string& value) { discardedVersion_ = value; }

  const THidPlugEvent& OnArrival() const { return onArrival_; }
  void SetOnArrival(THidPlugEvent handler) { onArrival_ = std::move(handler); }
  const THidEnumerateEvent& OnEnumerate() const { return onEnumerate_; }
  void SetOnEnumerate(THidEnumerateEvent handler);
  const TNotifyEvent& OnDeviceChange() const { return onDeviceChange_; }
  void SetOnDeviceChange(TNotifyEvent handler);
  const THidDataEvent& OnDeviceData() const { return onDeviceData_; }
  void SetOnDeviceData(THidDataEvent handler);
  const THidDataErrorEvent& OnDeviceDataError() const { return onDeviceDataError_; }
  void SetOnDeviceDataError(THidDataErrorEvent handler);
  const THidPlugEvent& OnDeviceUnplug() const { return onDeviceUnplug_; }
  void SetOnDeviceUnplug(THidPlugEvent handler);
  const THidPlugEvent& OnRemoval() const { return onRemoval_; }
  void SetOnRemoval(THidPlugEvent handler) { onRemoval_ = std::move(handler); }

  // The listed device objects, by position (the Idx of OnEnumerate).
  std::int32_t DeviceCount() const { return static_cast<std::int32_t>(devices_.size()); }
  THidDevice* DeviceAt(std::int32_t index) const;
  bool InDeviceChange() const { return inDeviceChange_; }
  // True while a change notification receiver exists (the HID side is bound).
  bool HasNotifyWindow() const { return receiverCreated_; }

 private:
  friend class THidDevice;

  struct Entry {
    THidDevice* device;
    std::unique_ptr<THidDevice> owned;  // empty once claimed
  };

  std::vector<std::unique_ptr<THidDevice>> ScanPresentDevices();
  void DoArrival(THidDevice* device);
  void DoRemoval(THidDevice* device);
  void DoDeviceChange();
  bool DoEnumerate(THidDevice* device, std::int32_t index);
  // The release step of a claimed object's destruction.
  void ReleaseDevice(THidDevice* device) noexcept;
  void OnNotification();

  THidPlugEvent onArrival_;
  TNotifyEvent onDeviceChange_;
  THidEnumerateEvent onEnumerate_;
  THidDataEvent onDeviceData_;
  THidDataErrorEvent onDeviceDataError_;
  THidPlugEvent onDeviceUnplug_;
  THidPlugEvent onRemoval_;
  std::int32_t devThreadSleepTime_ = 100;
  std::string version_ = "1.0.32";
  std::string discardedVersion_;
  std::vector<Entry> devices_;
  bool inDeviceChange_ = false;
  bool missedChange_ = false;  // a message came while a scan ran
  std::int32_t missedChangeParam_ = 0;
  std::int32_t lastChangeParam_ = 0;
  bool loading_ = false;
  bool setupBound_ = false;
  std::unique_ptr<hidplatform::SourceWatch> notifyWindow_;
  // Expires with the controller, so that its queued first scan is dropped.
  std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
  // Set when the HID side was bound; a backend without a change descriptor
  // then has a receiver that is never signalled.
  bool receiverCreated_ = false;
};

// Ownership of a claimed device, for callers that keep it in a smart pointer.
using THidDevicePtr = std::unique_ptr<THidDevice>;

}  // namespace hid
