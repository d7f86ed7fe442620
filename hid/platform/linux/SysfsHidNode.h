// One hidraw node as sysfs describes it: the HID device behind it, its
// identity, strings and report descriptor, and the interfaces (one per
// top-level collection) it stands for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hid/platform/HidBackend.h"
#include "hid/platform/ReportDescriptor.h"

namespace hidplatform {

class SysfsHidNode {
 public:
  // Reads the node's sysfs entry under root ("hidraw3"); false when it is
  // not there or has no HID device.
  bool Load(const std::filesystem::path& root, const std::string& nodeName);
  // Parses an interface path made by InterfacePath back into its node and
  // collection.
  static bool FromInterfacePath(const std::filesystem::path& root, const std::string& path,
                                SysfsHidNode& node, std::size_t& collection);

  std::string DevicePath() const;
  // At least 1: a node whose descriptor cannot be parsed is still listed.
  std::size_t CollectionCount() const;
  // The node itself when it has one collection, else the node with "&colNN".
  std::string InterfacePath(std::size_t collection, std::size_t count) const;
  // From the HID device's sequence number, which the kernel never reuses
  // while it runs (node names and minors are reused).
  std::uint32_t InstanceId(std::size_t collection) const;
  // The HID device is still in sysfs.
  bool Present() const;

  bool ReadAttributes(Attributes& out) const;
  Capabilities CollectionCaps(std::size_t collection) const;
  bool UsesReportIds() const;
  bool OwnsReport(std::size_t collection, std::uint8_t reportId) const;
  const std::u16string& Manufacturer() const { return manufacturer_; }
  const std::u16string& Product() const { return product_; }
  const std::u16string& SerialNumber() const { return serial_; }
  // Bus number and address of the USB device behind the node; false for a
  // device without a USB parent.
  bool UsbAddress(int& bus, int& address) const {
    bus = usbBus_;
    address = usbAddress_;
    return usbBus_ >= 0 && usbAddress_ >= 0;
  }

 private:
  std::filesystem::path root_;
  std::string nodeName_;
  std::filesystem::path hidDir_;
  std::uint32_t sequence_ = 0;
  int usbBus_ = -1;
  int usbAddress_ = -1;
  bool identified_ = false;
  Attributes attributes_;
  std::u16string manufacturer_;
  std::u16string product_;
  std::u16string serial_;
  std::optional<ParsedDescriptor> parsed_;
};

// Every hidraw node under root, in node-number order; false when the class
// directory cannot be read at all (no sysfs).
bool ListHidrawNodes(const std::filesystem::path& root, std::vector<SysfsHidNode>& out);

}  // namespace hidplatform
