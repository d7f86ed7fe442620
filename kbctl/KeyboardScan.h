// One scan of the HID interfaces that keeps the keyboard's and its boot
// loader's, grouped into keyboards: what every kbctl command starts from.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "hid/HidControllerClass.h"
#include "keyboard/KeyboardIdentity.h"

namespace kbctl {

struct Interface {
  // Claimed from the scan's controller for writing; null when the scan does
  // not claim or the claim failed.
  std::unique_ptr<hid::THidDevice> device;
  keyboard::DeviceKind kind = keyboard::DeviceKind::kOther;
  std::string path;
  std::string problem;  // empty: writable
};

// One keyboard: the interfaces of one USB device.
struct Keyboard {
  keyboard::DeviceKind kind = keyboard::DeviceKind::kOther;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  // 0 when the system does not report it (Wine's HID bus, for one).
  std::uint16_t version = 0;
  std::string serial;
  std::string product;
  std::vector<std::string> paths;
  std::string problem;  // the first interface's that cannot be written

  // The name a command can pick this keyboard by: its serial number, else
  // its first interface's path.
  std::string Name() const { return serial.empty() ? paths.front() : serial; }
  bool VersionKnown() const { return version != 0; }
};

// The claimed devices go back before the controller.
class KeyboardScan {
 public:
  // Whether the interfaces are claimed, to be written to. A claimed device
  // holds a handle and a pending read; Wine does not finish removing a
  // device while a process holds one, and lists no new device until then.
  enum class Claim { kNo, kYes };
  explicit KeyboardScan(Claim claim) : claim_(claim == Claim::kYes) {}

  // False (with the reason on err) when no device can be seen at all.
  bool Run(std::ostream& err);

  // Runs the main loop until a scan satisfies done; false when the limit
  // passed first. Each device change ends the wait for it, not a timer.
  bool WaitFor(const std::function<bool(const std::vector<Keyboard>&)>& done,
               std::chrono::milliseconds limit);

  // Gives the claimed devices back, now and in later scans: before a wait
  // for the keyboard to leave.
  void StopClaiming();

  std::vector<Interface>& Interfaces() { return interfaces_; }
  const std::vector<Keyboard>& Keyboards() const { return keyboards_; }

 private:
  bool Enumerate(hid::THidDevice* device, std::int32_t index);
  void Change(hid::THidDeviceController* sender);

  hid::THidDeviceController controller_{true};
  std::vector<Interface> interfaces_;
  std::vector<Keyboard> keyboards_;
  // By IDs, serial number and physical device.
  std::map<std::tuple<std::uint16_t, std::uint16_t, std::string, std::string>, std::size_t> groups_;
  bool claim_;
  bool done_ = false;
};

}  // namespace kbctl
