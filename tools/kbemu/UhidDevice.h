// One device on the kernel's uhid interface: created from a model's
// identity, destroyed with the object.
#pragma once

#include <linux/uhid.h>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "emulator/DeviceModel.h"

namespace kbemu {

class UhidError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class UhidDevice {
 public:
  // Opens devicePath (normally /dev/uhid) and creates the device. Throws
  // UhidError with a message a user can act on.
  UhidDevice(const std::string& devicePath, const emulator::DeviceIdentity& identity,
             const std::string& physicalPath);
  // Destroys the device: the kernel removes its hidraw node.
  ~UhidDevice();
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;

  int Fd() const { return fd_; }

  // One input report; byte 0 is the report id (0 for a device without ids,
  // which is then not sent). Safe from any thread. False when the kernel
  // refused it.
  bool SendInput(std::span<const std::uint8_t> report);
  // Reads the next event without blocking; nothing when none is queued.
  std::optional<uhid_event> ReadEvent();
  void ReplyGetReport(std::uint32_t id, std::uint16_t error);
  void ReplySetReport(std::uint32_t id, std::uint16_t error);

 private:
  bool Write(const uhid_event& event);

  int fd_ = -1;
  bool usesReportIds_ = false;
};

// Opens and closes devicePath, so that a missing uhid module or missing
// access is reported before anything else happens. Throws UhidError with a
// message a user can act on.
void CheckUhidAccess(const std::string& devicePath);

// True when the descriptor declares report ids, as the host's parser reads
// it; false for a descriptor it cannot parse.
bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor);

}  // namespace kbemu
