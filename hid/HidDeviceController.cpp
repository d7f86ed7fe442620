#include <algorithm>
#include <utility>
#include <vector>

#include "hid/HidControllerClass.h"
#include "hid/platform/DBT.h"
#include "hid/platform/Hid.h"
#include "hid/platform/SetupApi.h"

namespace hid {
namespace {

// Runs a handler with the device's Enumerating flag set. False when the
// handler destroyed the device.
template <typename Call>
bool WithEnumerating(std::weak_ptr<int> alive, std::atomic<bool>& flag, Call call) {
  flag = true;
  try {
    call();
  } catch (...) {
    if (!alive.expired()) flag = false;
    throw;
  }
  if (alive.expired()) return false;
  flag = false;
  return true;
}

std::vector<std::uint32_t> SortedInstances(
    const std::vector<std::unique_ptr<THidDevice>>& devices) {
  std::vector<std::uint32_t> ids;
  ids.reserve(devices.size());
  for (const auto& device : devices) ids.push_back(device->PnPInfo()->DeviceInstance);
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool Contains(const std::vector<std::uint32_t>& sorted, std::uint32_t id) {
  return std::binary_search(sorted.begin(), sorted.end(), id);
}

}  // namespace

THidDeviceController::THidDeviceController(bool loading) : loading_(loading) {
  setupBound_ = hidplatform::BindSetupApi();
  if (setupBound_) hidplatform::BindHid();
  if (hidplatform::IsHidBound()) {
    receiverCreated_ = true;
    hidplatform::MainLoop& loop = hidplatform::CurrentMainLoop();
    notifyWindow_ = hidplatform::CurrentBackend().WatchChanges(loop, [this] { OnNotification(); });
    // Queued, so that the first scan runs from the event loop once the owner
    // has assigned its handlers; -1 makes it report a change in any case.
    loop.Post([this, alive = std::weak_ptr<int>(lifeToken_)] {
      if (alive.expired()) return;
      NotifyWindowProc(hidplatform::WM_DEVICECHANGE, hidplatform::DBT_DEVNODES_CHANGED, -1);
    });
  }
}

THidDeviceController::~THidDeviceController() {
  onDeviceChange_ = {};
  onDeviceUnplug_ = {};
  SetOnEnumerate({});
  notifyWindow_.reset();
  std::vector<Entry> entries = std::move(devices_);
  devices_.clear();
  for (Entry& entry : entries) {
    entry.device->controller_ = nullptr;
    if (entry.device->Claimed()) {
      entry.device->MarkUnplugged();  // stays the application's to destroy
    } else {
      entry.owned.reset();
    }
  }
  // Every successful setup binding is given back, also when the HID side
  // could not be bound (the reference would otherwise stay taken for good).
  if (setupBound_) hidplatform::ReleaseSetupApi();
  hidplatform::ReleaseHid();
}

THidDevice* THidDeviceController::DeviceAt(std::int32_t index) const {
  if (index < 0 || index >= DeviceCount()) return nullptr;
  return devices_[static_cast<std::size_t>(index)].device;
}

void THidDeviceController::OnNotification() {
  NotifyWindowProc(hidplatform::WM_DEVICECHANGE, hidplatform::DBT_DEVNODES_CHANGED, 0);
}

std::intptr_t THidDeviceController::NotifyWindowProc(std::uint32_t message, std::uintptr_t wParam,
                                                     std::intptr_t lParam) {
  if (message == hidplatform::WM_QUERYENDSESSION) return 1;
  if (message != hidplatform::WM_DEVICECHANGE || wParam != hidplatform::DBT_DEVNODES_CHANGED) {
    return 0;
  }
  if (inDeviceChange_) {
    // From a nested message loop: not handled inside the running scan, but
    // the scan may have listed the devices before this change, so one more
    // scan follows once it returns (however many messages were missed).
    missedChange_ = true;
    if (lParam == -1) missedChangeParam_ = -1;
    return 0;
  }
  lastChangeParam_ = static_cast<std::int32_t>(lParam);
  inDeviceChange_ = true;
  struct Reset {
    THidDeviceController& c;
    // After a handler's error the missed change waits for the next message.
    ~Reset() { c.inDeviceChange_ = c.missedChange_ = false; }
  } reset{*this};
  DeviceChange();
  while (missedChange_) {
    missedChange_ = false;
    lastChangeParam_ = std::exchange(missedChangeParam_, 0);
    DeviceChange();
  }
  return 0;
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::ScanPresentDevices() {
  std::vector<std::unique_ptr<THidDevice>> found;
  if (!hidplatform::IsHidBound()) return found;
  std::vector<hidplatform::InterfaceEntry> entries;
  if (!hidplatform::CurrentBackend().EnumerateInterfaces(entries)) return found;
  found.reserve(entries.size());
  for (auto& entry : entries) {
    if (entry.path.empty()) continue;
    try {
      found.push_back(THidDevice::Create(std::make_unique<THidPnPInfo>(std::move(entry)), this));
    } catch (const EControllerError&) {
      // An interface that cannot be opened or identified is skipped.
    }
  }
  return found;
}

void THidDeviceController::DeviceChange() {
  bool changed = lastChangeParam_ == -1;
  std::vector<std::unique_ptr<THidDevice>> found = ScanPresentDevices();

  // Sorted id lists, not hash sets: one allocation each instead of one per
  // interface (a heap with many live blocks, Wine's, makes those add up).
  const std::vector<std::uint32_t> foundInstances = SortedInstances(found);

  // Removal pass, last to first. Handlers may destroy claimed objects, which
  // changes the list: every step looks its entry up again.
  for (std::size_t i = devices_.size(); i-- > 0;) {
    if (i >= devices_.size()) continue;
    THidDevice* device = devices_[i].device;
    const bool present =
        device->PluggedIn() && Contains(foundInstances, device->PnPInfo()->DeviceInstance);
    if (present) continue;
    changed = true;
    std::weak_ptr<int> alive = device->LifeToken();
    device->MarkUnplugged();
    if (alive.expired()) continue;
    DoRemoval(device);
    if (alive.expired() || device->Claimed()) continue;
    for (std::size_t j = 0; j < devices_.size(); ++j) {
      if (devices_[j].device == device) {
        std::unique_ptr<THidDevice> owned = std::move(devices_[j].owned);
        devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(j));
        owned.reset();
        break;
      }
    }
  }

  // Duplicate pass: one lookup per found object, not one list search.
  std::vector<std::uint32_t> listed;
  listed.reserve(devices_.size());
  for (const Entry& entry : devices_) {
    if (entry.device->PluggedIn()) listed.push_back(entry.device->PnPInfo()->DeviceInstance);
  }
  std::sort(listed.begin(), listed.end());
  for (auto& device : found) {
    if (Contains(listed, device->PnPInfo()->DeviceInstance)) {
      device->controller_ = nullptr;
      device.reset();
    }
  }

  // Arrival pass, in scan order.
  for (auto& device : found) {
    if (!device) continue;
    THidDevice* raw = device.get();
    devices_.push_back(Entry{raw, std::move(device)});
    changed = true;
    DoArrival(raw);
  }

  if (changed) DoDeviceChange();
}

void THidDeviceController::DoArrival(THidDevice* device) {
  if (!onArrival_) return;
  THidPlugEvent handler = onArrival_;
  WithEnumerating(device->LifeToken(), device->enumerating_, [&] { handler(device); });
}

void THidDeviceController::DoRemoval(THidDevice* device) {
  if (!onRemoval_) return;
  THidPlugEvent handler = onRemoval_;
  WithEnumerating(device->LifeToken(), device->enumerating_, [&] { handler(device); });
}

void THidDeviceController::DoDeviceChange() {
  if (!onDeviceChange_) return;
  TNotifyEvent handler = onDeviceChange_;
  handler(this);
}

bool THidDeviceController::DoEnumerate(THidDevice* device, std::int32_t index) {
  if (!onEnumerate_) return false;
  THidEnumerateEvent handler = onEnumerate_;
  bool result = false;
  if (!WithEnumerating(device->LifeToken(), device->enumerating_,
                       [&] { result = handler(device, index); })) {
    return result;  // the handler destroyed the object
  }
  if (!device->Claimed()) {
    device->CloseDeviceHandle();
    device->CloseReadHandle();
  }
  return result;
}

std::int32_t THidDeviceController::EnumerateDevices() {
  std::int32_t count = 0;
  // Handlers claim and give back objects while this runs; a given-back
  // object is replaced at the same position, so positions stay valid.
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    THidDevice* device = devices_[i].device;
    if (!device->PluggedIn()) continue;
    ++count;
    if (!DoEnumerate(device, static_cast<std::int32_t>(i))) break;
  }
  return count;
}

bool THidDeviceController::ClaimDeviceByIndex(THidDevice*& device, std::int32_t index) {
  device = nullptr;
  if (index < 0 || index >= DeviceCount()) return false;
  return ClaimDevice(device, index, true);
}

bool THidDeviceController::ClaimDevice(THidDevice*& device, std::int32_t index, bool check) {
  // The range is checked here too: an index past the list would otherwise
  // read a nonexistent entry.
  if (!check || index < 0 || index >= DeviceCount()) return false;
  Entry& entry = devices_[static_cast<std::size_t>(index)];
  if (entry.device->Claimed()) return false;
  device = entry.device;
  entry.device->claimed_ = true;
  (void)entry.owned.release();  // the application owns it from now on
  device->StartReadThread();
  return true;
}

void THidDeviceController::ReleaseDevice(THidDevice* device) noexcept {
  std::size_t position = devices_.size();
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].device == device) {
      position = i;
      break;
    }
  }
  if (position == devices_.size()) return;
  if (!device->PluggedIn()) {
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(position));
    return;
  }
  try {
    auto replacement = THidDevice::Create(std::move(device->pnpInfo_), this);
    replacement->SetDataHandler(device->dataHandler_);
    replacement->unplugHandler_ = device->unplugHandler_;
    replacement->SetThreadSleepTime(device->threadSleepTime_);
    THidDevice* raw = replacement.get();
    devices_[position] = Entry{raw, std::move(replacement)};
  } catch (...) {
    // The interface is present but can no longer be opened or identified:
    // the entry goes (the record went with the failed replacement), and the
    // application's destroy call returns normally.
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(position));
  }
}

void THidDeviceController::SetOnEnumerate(THidEnumerateEvent handler) {
  onEnumerate_ = std::move(handler);
}

void THidDeviceController::SetOnDeviceChange(TNotifyEvent handler) {
  if (!handler.SameCode(onDeviceChange_)) onDeviceChange_ = std::move(handler);
  if (!loading_) DeviceChange();
}

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
  if (handler.SameCode(onDeviceData_)) return;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    THidDevice* device = devices_[i].device;
    if (device->DataHandler().SameCode(onDeviceData_)) device->SetDataHandler(handler);
  }
  onDeviceData_ = std::move(handler);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent handler) {
  if (handler.SameCode(onDeviceDataError_)) return;
  for (const Entry& entry : devices_) {
    if (entry.device->DataErrorHandler().SameCode(onDeviceDataError_)) {
      entry.device->dataErrorHandler_ = handler;
    }
  }
  onDeviceDataError_ = std::move(handler);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
  if (handler.SameCode(onDeviceUnplug_)) return;
  for (const Entry& entry : devices_) {
    if (entry.device->UnplugHandler().SameCode(onDeviceUnplug_)) {
      entry.device->unplugHandler_ = handler;
    }
  }
  onDeviceUnplug_ = std::move(handler);
}

void THidDeviceController::SetDevThreadSleepTime(std::int32_t value) {
  if (value == devThreadSleepTime_) return;
  for (const Entry& entry : devices_) {
    if (entry.device->ThreadSleepTime() == devThreadSleepTime_) {
      entry.device->SetThreadSleepTime(value);
    }
  }
  devThreadSleepTime_ = value;
}

}  // namespace hid
