// Everything the device information dialog shows, copied out of a device
// object at one moment. The dialog keeps this copy, never the device, so the
// device may go away while the dialog is open. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hid {
class THidDevice;
}  // namespace hid

struct DeviceInfo {
  std::string vendorName;
  std::string productName;
  std::string serialNumber;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
  // Report lengths as the capabilities give them, counting the report-id byte.
  int inputReportLength = 0;
  int outputReportLength = 0;
  int featureReportLength = 0;
  // The non-empty strings among indices 1 to 255, in ascending order.
  std::vector<std::pair<int, std::string>> indexedStrings;
  std::vector<std::string> languages;
};

// Asks the device for all of it, in the dialog's order: names, attributes,
// capabilities, indexed strings from 1 (up to 255, bounded in number and
// time), language names.
DeviceInfo ReadDeviceInfo(hid::THidDevice& device);

// A device's UTF-16 text as the window shows it: UTF-8, with U+FFFD for each
// unit of an unpaired surrogate.
std::string DisplayText(std::u16string_view text);
