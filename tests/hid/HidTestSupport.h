// Shared pieces of the controller tests: a virtual bus installed as the
// backend, device models, and a recorder whose member functions are bound
// as the controller's handlers.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulator/SimpleDeviceModel.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/DBT.h"
#include "hid/platform/NativeMainLoop.h"

namespace hidtest {

using emulator::DeviceIdentity;
using emulator::SimpleDeviceModel;

inline std::shared_ptr<SimpleDeviceModel> MakeModel(std::uint16_t vid, std::uint16_t pid,
                                                    std::vector<std::uint8_t> descriptor = {},
                                                    std::u16string product = u"Device") {
  DeviceIdentity identity;
  identity.vendorId = vid;
  identity.productId = pid;
  identity.versionNumber = 0x0105;
  identity.product = std::move(product);
  identity.manufacturer = u"Maker";
  identity.reportDescriptor =
      descriptor.empty() ? SimpleDeviceModel::VendorDescriptor(0, 8, 8) : std::move(descriptor);
  return std::make_shared<SimpleDeviceModel>(std::move(identity));
}

// The tests' own loop is the platform's: on Windows it also delivers the
// hidden device-change window's messages.
// Runs the loop until the condition holds; false after a generous limit that
// only guards against hangs.
inline bool ProcessUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  return hidplatform::NativeMainLoop::Instance().RunUntil(done, limit);
}
// Does what is queued now, without waiting.
inline void ProcessEvents() {
  hidplatform::NativeMainLoop::Instance().RunOnce(std::chrono::milliseconds(0));
}

// The same without running the event loop, for a state that the loop would
// end (a hand-over the main thread would serve).
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Records every event as text: "arrival:5B1D", "removal:5B1D",
// "unplug:5B1D", "change", "enumerate:5B1D@2".
class Recorder {
 public:
  std::vector<std::string> events;
  // Called from OnEnumerate with the offered device; returns "go on".
  std::function<bool(hid::THidDevice*, std::int32_t)> onEnumerate;
  std::function<void(hid::THidDevice*)> onArrival;
  std::function<void(hid::THidDevice*)> onRemoval;

  static std::string Pid(hid::THidDevice* d) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", d->Attributes().ProductID);
    return text;
  }
  void Arrival(hid::THidDevice* d) {
    events.push_back("arrival:" + Pid(d));
    if (onArrival) onArrival(d);
  }
  void Removal(hid::THidDevice* d) {
    events.push_back("removal:" + Pid(d));
    if (onRemoval) onRemoval(d);
  }
  void Unplug(hid::THidDevice* d) { events.push_back("unplug:" + Pid(d)); }
  void Change(hid::THidDeviceController*) { events.push_back("change"); }
  bool Enumerate(hid::THidDevice* d, std::int32_t idx) {
    events.push_back("enumerate:" + Pid(d) + "@" + std::to_string(idx));
    return onEnumerate ? onEnumerate(d, idx) : true;
  }

  void BindTo(hid::THidDeviceController& c) {
    c.SetOnArrival({this, &Recorder::Arrival});
    c.SetOnRemoval({this, &Recorder::Removal});
    c.SetOnDeviceUnplug({this, &Recorder::Unplug});
    c.SetOnEnumerate({this, &Recorder::Enumerate});
    c.SetOnDeviceChange({this, &Recorder::Change});
  }
  int Count(const std::string& event) const {
    int n = 0;
    for (const auto& e : events) n += e == event;
    return n;
  }
};

// Sends the controller the device-change message the platform would.
inline void Notify(hid::THidDeviceController& c) {
  c.NotifyWindowProc(hidplatform::WM_DEVICECHANGE, hidplatform::DBT_DEVNODES_CHANGED, 0);
}

}  // namespace hidtest
