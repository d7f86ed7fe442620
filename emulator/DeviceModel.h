// A device model: what an emulated HID device is and does, independent of
// the transport that carries it (the in-process virtual bus, or uhid on the
// real kernel).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace emulator {

struct DeviceIdentity {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
  std::u16string manufacturer;
  std::u16string product;
  std::u16string serialNumber;
  // The HID report descriptor. Several top-level collections may share one
  // descriptor; a Windows host lists one interface per collection.
  std::vector<std::uint8_t> reportDescriptor;
  // Language ids of the string descriptors (string index 0).
  std::vector<std::uint16_t> languages{0x0409};
  // Further string descriptors by index (1..255).
  std::map<std::uint8_t, std::u16string> indexedStrings;
};

class DeviceModel;

// The transport's side, handed to a model while it is attached.
class DeviceHost {
 public:
  virtual ~DeviceHost() = default;
  // Queues an input report for the host's readers; byte 0 is the report id
  // (0 for a device without report ids).
  virtual void SendInputReport(std::span<const std::uint8_t> report) = 0;
  // The device leaves the bus and, when next is set, comes back as that
  // model (a new device instance). Safe to call from OnOutputReport; takes
  // effect after it returns.
  virtual void Reenumerate(std::shared_ptr<DeviceModel> next) = 0;
};

class DeviceModel {
 public:
  virtual ~DeviceModel() = default;
  virtual const DeviceIdentity& Identity() const = 0;
  // Called when the transport attaches the model (host set) and detaches it
  // (host null). The host outlives the attachment.
  virtual void Attach(DeviceHost* host) = 0;
  // One output report as written by the host; byte 0 is the report id.
  // Called on the writing thread.
  virtual void OnOutputReport(std::span<const std::uint8_t> report) = 0;
};

}  // namespace emulator
