// One hidraw node as sysfs describes it: the HID device behind it, its
// identity, strings and report descriptor, and the interfaces (one per
// top-level collection) it stands for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hid/platform/HidBackend.h"
#include "hid/platform/ReportDescriptor.h"

namespace hidplatform {

class SysfsHidNode {
 public:
  // Reads the node's sysfs entry under root ("hidraw3"); false when it is
  // not there or has no HID device.
  bool Load(const std::filesystem::path& root, const std::string& nodeName);
  // Where the node's "device" link points: names the HID device behind the
  // node, empty when there is none.
  static std::string DeviceLink(const std::filesystem::path& root, const std::string& nodeName);
  // The same, relative to an open descriptor of the hidraw class directory.
  static std::string DeviceLinkAt(int classDir, const std::string& nodeName);
  const std::string& Link() const { return link_; }

  const std::string& DevicePath() const { return devicePath_; }
  // At least 1: a node whose descriptor cannot be parsed is still listed.
  std::size_t CollectionCount() const;
  // The node itself when it has one collection, else the node with "&colNN".
  std::string InterfacePath(std::size_t collection, std::size_t count) const;
  // From the HID device's sequence number, which the kernel never reuses
  // while it runs (node names and minors are reused).
  std::uint32_t InstanceId(std::size_t collection) const;
  // The HID device is still in sysfs.
  bool Present() const;

  // False when sysfs gave no vendor and product (whether the device is still
  // there is Present's question).
  bool ReadAttributes(Attributes& out) const;
  Capabilities CollectionCaps(std::size_t collection) const;
  bool UsesReportIds() const;
  bool OwnsReport(std::size_t collection, std::uint8_t reportId) const;
  const std::u16string& Manufacturer() const { return manufacturer_; }
  const std::u16string& Product() const { return product_; }
  const std::u16string& SerialNumber() const { return serial_; }
  // The USB device behind the node by its sysfs name ("1-2": bus and
  // port), empty for a device without a USB parent (uhid).
  const std::string& UsbDeviceName() const { return usbDevice_; }
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
  std::string link_;
  std::string devicePath_;  // "<root>/dev/<node>"
  std::filesystem::path hidDir_;
  std::uint32_t sequence_ = 0;
  std::string usbDevice_;
  int usbBus_ = -1;
  int usbAddress_ = -1;
  bool identified_ = false;
  Attributes attributes_;
  std::u16string manufacturer_;
  std::u16string product_;
  std::u16string serial_;
  std::optional<ParsedDescriptor> parsed_;
};

// The hidraw nodes under root as last read, by name. A node is read again
// only when its device link changed: the HID device's directory is named
// with a sequence number the kernel never reuses, and its identity, strings
// and descriptor do not change while it exists. So a rescan reads one link
// per node instead of all its files.
class SysfsNodeCache {
 public:
  explicit SysfsNodeCache(std::filesystem::path root);

  // Every hidraw node present, in node-number order; false when the class
  // directory cannot be read at all (no sysfs).
  bool List(std::vector<std::shared_ptr<const SysfsHidNode>>& out);
  // The node and collection of an interface path made by InterfacePath, as
  // the last List saw it (read now when it did not); null when there is none.
  std::shared_ptr<const SysfsHidNode> FromInterfacePath(const std::string& path,
                                                        std::size_t& collection);

 private:
  // The cached node when its link is still `link`, else a fresh read.
  std::shared_ptr<const SysfsHidNode> Node(const std::string& name, const std::string& link);

  std::filesystem::path root_;
  std::string devPrefix_;  // "<root>/dev/"
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const SysfsHidNode>> nodes_;
};

}  // namespace hidplatform
