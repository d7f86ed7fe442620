// One scan of the HID interfaces that keeps the keyboard's and its boot
// loader's, grouped into keyboards: what every kbctl command starts from.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "hid/HidControllerClass.h"
#include "keyboard/CommandReport.h"
#include "keyboard/KeyboardIdentity.h"

namespace kbctl {

struct Interface {
  keyboard::DeviceKind kind = keyboard::DeviceKind::kOther;
  std::string path;
  std::string problem;      // empty: writable
  std::int32_t index = -1;  // in the scan's controller
};

// What writing one command to interfaces came to.
struct WriteCount {
  int tried = 0;
  int written = 0;
  std::optional<std::uint32_t> firstError;  // of the first write that failed
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

class KeyboardScan {
 public:
  // False (with the reason on err) when no device can be seen at all.
  bool Run(std::ostream& err);

  // Runs the main loop until a scan satisfies done; false when the limit
  // passed first. Each device change ends the wait for it, not a timer.
  bool WaitFor(const std::function<bool(const std::vector<Keyboard>&)>& done,
               std::chrono::milliseconds limit);

  // Writes the command to every interface in application mode that pick
  // accepts, each claimed from the controller for its write only: a claimed
  // device holds a handle and a pending read, and Wine does not finish
  // removing a device while a process holds one, nor lists a new one.
  WriteCount WriteCommand(const keyboard::Command& command,
                          const std::function<bool(const Interface&)>& pick);

  const std::vector<Keyboard>& Keyboards() const { return keyboards_; }

 private:
  bool Enumerate(hid::THidDevice* device, std::int32_t index);
  void Change(hid::THidDeviceController* sender);

  hid::THidDeviceController controller_{true};
  std::vector<Interface> interfaces_;
  std::vector<Keyboard> keyboards_;
  // By IDs, serial number and physical device.
  std::map<std::tuple<std::uint16_t, std::uint16_t, std::string, std::string>, std::size_t> groups_;
  bool done_ = false;
};

}  // namespace kbctl
