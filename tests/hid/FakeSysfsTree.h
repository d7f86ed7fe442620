// A sysfs and /dev tree laid out as the kernel does, in a temporary folder,
// for running the Linux backend without devices.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace hidtest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class FakeTree {
 public:
  enum class Node { kNone, kRegularFile, kFifo };

  FakeTree() {
    std::string pattern = (fs::temp_directory_path() / "kbhid-XXXXXX").string();
    root = mkdtemp(pattern.data());
    fs::create_directories(root / "sys" / "class" / "hidraw");
    fs::create_directories(root / "dev");
  }
  ~FakeTree() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  struct Usb {
    std::string bcdDevice = "0105";
    std::string manufacturer = "Maker Inc.";
    std::string product = "Touch Keyboard";
    std::string serial = "SN-77";
  };

  // A HID device on a USB interface, with its hidraw node.
  void AddUsb(const std::string& node, const std::string& hidName, const Bytes& descriptor,
              const Usb& usb, Node kind = Node::kRegularFile) {
    const fs::path usbDir = root / "sys/devices/pci0000:00/usb1" / ("1-" + node);
    WriteFile(usbDir / "idVendor", hidName.substr(5, 4) + "\n");
    WriteFile(usbDir / "bcdDevice", usb.bcdDevice + "\n");
    // A bus that does not exist: string descriptors cannot be read from it.
    WriteFile(usbDir / "busnum", "250\n");
    WriteFile(usbDir / "devnum", "1\n");
    if (!usb.manufacturer.empty()) WriteFile(usbDir / "manufacturer", usb.manufacturer + "\n");
    if (!usb.product.empty()) WriteFile(usbDir / "product", usb.product + "\n");
    if (!usb.serial.empty()) WriteFile(usbDir / "serial", usb.serial + "\n");
    AddHid(usbDir / ("1-" + node + ":1.0") / hidName, node, hidName, descriptor, "USB thing", kind);
  }

  // A uhid device: no USB parent; its version is on the input device.
  void AddUhid(const std::string& node, const std::string& hidName, const Bytes& descriptor,
               const std::string& inputVersion, Node kind = Node::kRegularFile) {
    const fs::path hidDir = root / "sys/devices/virtual/misc/uhid" / hidName;
    if (!inputVersion.empty()) WriteFile(hidDir / "input/input7/id/version", inputVersion + "\n");
    AddHid(hidDir, node, hidName, descriptor, "uhid keyboard", kind);
  }

  void Remove(const std::string& node) {
    const fs::path link = root / "sys/class/hidraw" / node;
    const fs::path hidDir = fs::canonical(link / "device");
    fs::remove_all(link);
    fs::remove_all(hidDir);
    fs::remove(root / "dev" / node);
  }

  fs::path root;

 private:
  void AddHid(const fs::path& hidDir, const std::string& node, const std::string& hidName,
              const Bytes& descriptor, const std::string& name, Node kind) {
    const std::string vid = hidName.substr(5, 4);
    const std::string pid = hidName.substr(10, 4);
    WriteFile(hidDir / "uevent", "DRIVER=hid-generic\nHID_ID=0003:0000" + vid + ":0000" + pid +
                                     "\nHID_NAME=" + name + "\nHID_PHYS=usb\n");
    WriteFile(hidDir / "report_descriptor", Text(descriptor));
    fs::create_directories(hidDir / "hidraw" / node);
    const fs::path classDir = root / "sys/class/hidraw" / node;
    fs::create_directories(classDir);
    fs::create_symlink(fs::relative(hidDir, classDir), classDir / "device");
    const fs::path dev = root / "dev" / node;
    if (kind == Node::kRegularFile) WriteFile(dev, "");
    if (kind == Node::kFifo) mkfifo(dev.c_str(), 0600);
  }
};

}  // namespace hidtest
