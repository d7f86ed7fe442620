#include "hid/platform/linux/SysfsHidNode.h"

#include "base/TextEncoding.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace hidplatform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kColSuffix = "&col";

// The whole file; sysfs reports sizes such as 4096 for short attributes, so
// read to the end instead of trusting stat.
std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return content;
}

std::string ReadLine(const fs::path& path) {
  auto content = ReadFile(path);
  if (!content) return {};
  const auto end = content->find('\n');
  return end == std::string::npos ? *content : content->substr(0, end);
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

// KEY=value lines of a uevent file.
std::string UeventValue(const std::string& uevent, const std::string& key) {
  std::istringstream lines(uevent);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
        line[key.size()] == '=') {
      return line.substr(key.size() + 1);
    }
  }
  return {};
}

// The USB device above the HID device (it has idVendor and bcdDevice), if any.
std::optional<fs::path> UsbDeviceOf(const fs::path& hidDir, const fs::path& root) {
  const fs::path devices = root / "sys" / "devices";
  fs::path dir = hidDir.parent_path();
  for (int depth = 0; depth < 4 && dir.string().size() > devices.string().size(); ++depth) {
    std::error_code ec;
    if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "bcdDevice", ec)) return dir;
    dir = dir.parent_path();
  }
  return std::nullopt;
}

std::uint32_t NodeNumber(const std::string& name) {
  std::uint32_t n = 0;
  const std::string digits = name.substr(std::min<std::size_t>(name.size(), 6));
  std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return n;
}

}  // namespace

bool SysfsHidNode::Load(const fs::path& root, const std::string& nodeName) {
  if (nodeName.rfind("hidraw", 0) != 0 || nodeName.find('/') != std::string::npos) return false;
  root_ = root;
  nodeName_ = nodeName;
  link_ = DeviceLink(root, nodeName);
  devicePath_ = ((root / "dev").lexically_normal() / nodeName).string();
  std::error_code ec;
  hidDir_ = fs::canonical(root / "sys" / "class" / "hidraw" / nodeName / "device", ec);
  if (ec) return false;

  // "0003:2C7A:5B1D.000A": the part after the dot is the sequence number.
  const std::string name = hidDir_.filename().string();
  const auto dot = name.rfind('.');
  std::optional<std::uint32_t> sequence;
  if (dot != std::string::npos) sequence = ParseHex(std::string_view(name).substr(dot + 1));
  sequence_ =
      sequence ? *sequence : static_cast<std::uint32_t>(std::hash<std::string>{}(hidDir_.string()));

  const std::string uevent = ReadFile(hidDir_ / "uevent").value_or("");
  // HID_ID=0003:00002C7A:00005B1D
  const std::string hidId = UeventValue(uevent, "HID_ID");
  const auto first = hidId.find(':');
  const auto second = hidId.find(':', first == std::string::npos ? 0 : first + 1);
  if (first != std::string::npos && second != std::string::npos) {
    auto vid = ParseHex(std::string_view(hidId).substr(first + 1, second - first - 1));
    auto pid = ParseHex(std::string_view(hidId).substr(second + 1));
    if (vid && pid) {
      attributes_.vendorId = static_cast<std::uint16_t>(*vid);
      attributes_.productId = static_cast<std::uint16_t>(*pid);
      identified_ = true;
    }
  }

  if (auto usb = UsbDeviceOf(hidDir_, root)) {
    usbDevice_ = usb->filename().string();
    int bus = 0;
    int address = 0;
    const std::string busText = ReadLine(*usb / "busnum");
    const std::string addressText = ReadLine(*usb / "devnum");
    if (std::from_chars(busText.data(), busText.data() + busText.size(), bus).ec == std::errc() &&
        std::from_chars(addressText.data(), addressText.data() + addressText.size(), address).ec ==
            std::errc()) {
      usbBus_ = bus;
      usbAddress_ = address;
    }
    attributes_.versionNumber =
        static_cast<std::uint16_t>(ParseHex(ReadLine(*usb / "bcdDevice")).value_or(0));
    manufacturer_ = Utf8ToUtf16(ReadLine(*usb / "manufacturer"));
    product_ = Utf8ToUtf16(ReadLine(*usb / "product"));
    serial_ = Utf8ToUtf16(ReadLine(*usb / "serial"));
  } else {
    // No USB parent (a uhid device): the version of its input device.
    for (const auto& input : fs::directory_iterator(hidDir_ / "input", ec)) {
      if (auto version = ParseHex(ReadLine(input.path() / "id" / "version"))) {
        attributes_.versionNumber = static_cast<std::uint16_t>(*version);
        break;
      }
    }
  }
  if (product_.empty()) product_ = Utf8ToUtf16(UeventValue(uevent, "HID_NAME"));
  if (serial_.empty()) serial_ = Utf8ToUtf16(UeventValue(uevent, "HID_UNIQ"));

  if (auto descriptor = ReadFile(hidDir_ / "report_descriptor")) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(descriptor->data());
    parsed_ = ParseReportDescriptor(std::span(bytes, descriptor->size()));
  }
  return true;
}

std::string SysfsHidNode::DeviceLink(const fs::path& root, const std::string& nodeName) {
  const std::string classDir = (root / "sys" / "class" / "hidraw").string();
  return DeviceLinkAt(AT_FDCWD, classDir + "/" + nodeName);
}

std::string SysfsHidNode::DeviceLinkAt(int classDir, const std::string& nodeName) {
  char target[PATH_MAX];
  const ssize_t n = ::readlinkat(classDir, (nodeName + "/device").c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

std::size_t SysfsHidNode::CollectionCount() const {
  return parsed_ && !parsed_->collections.empty() ? parsed_->collections.size() : 1;
}

std::string SysfsHidNode::InterfacePath(std::size_t collection, std::size_t count) const {
  if (count <= 1) return DevicePath();
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%s%02zu", kColSuffix, collection + 1);
  return DevicePath() + suffix;
}

std::uint32_t SysfsHidNode::InstanceId(std::size_t collection) const {
  return (sequence_ << 8) | static_cast<std::uint32_t>(collection & 0xFF);
}

bool SysfsHidNode::Present() const {
  std::error_code ec;
  return fs::exists(hidDir_, ec);
}

bool SysfsHidNode::ReadAttributes(Attributes& out) const {
  if (!identified_) return false;
  out = attributes_;
  return true;
}

Capabilities SysfsHidNode::CollectionCaps(std::size_t collection) const {
  if (!parsed_ || collection >= parsed_->collections.size()) return {};
  const auto& c = parsed_->collections[collection];
  return Capabilities{c.usage, c.usagePage, c.inputReportByteLength, c.outputReportByteLength,
                      c.featureReportByteLength};
}

bool SysfsHidNode::UsesReportIds() const {
  return parsed_ && parsed_->usesReportIds;
}

bool SysfsHidNode::OwnsReport(std::size_t collection, std::uint8_t reportId) const {
  if (!parsed_ || parsed_->collections.size() <= 1) return true;
  auto owner = CollectionOfReport(*parsed_, reportId);
  return owner && *owner == collection;
}

SysfsNodeCache::SysfsNodeCache(fs::path root)
    : root_(std::move(root)), devPrefix_((root_ / "dev").lexically_normal().string() + "/") {}

std::shared_ptr<const SysfsHidNode> SysfsNodeCache::Node(const std::string& name,
                                                         const std::string& link) {
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(name);
    if (it != nodes_.end() && it->second->Link() == link) return it->second;
  }
  auto node = std::make_shared<SysfsHidNode>();
  if (!node->Load(root_, name)) return nullptr;
  std::lock_guard lock(mutex_);
  nodes_[name] = node;
  return node;
}

bool SysfsNodeCache::List(std::vector<std::shared_ptr<const SysfsHidNode>>& out) {
  out.clear();
  std::error_code ec;
  const fs::path classDir = root_ / "sys" / "class" / "hidraw";
  if (!fs::exists(root_ / "sys" / "class", ec)) return false;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(classDir, ec)) {
    names.push_back(entry.path().filename().string());
  }
  // No hidraw class directory just means no HID device (the module is not loaded).
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return NodeNumber(a) < NodeNumber(b);
  });
  // Links read relative to the class directory: a path walk of two steps.
  const int classFd = ::open(classDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::unordered_map<std::string, std::shared_ptr<const SysfsHidNode>> present;
  for (const auto& name : names) {
    const std::string link = SysfsHidNode::DeviceLinkAt(classFd, name);
    if (link.empty()) continue;
    if (auto node = Node(name, link)) {
      present[name] = node;
      out.push_back(std::move(node));
    }
  }
  if (classFd >= 0) ::close(classFd);
  std::lock_guard lock(mutex_);
  nodes_ = std::move(present);  // nodes that went are forgotten
  return true;
}

std::shared_ptr<const SysfsHidNode> SysfsNodeCache::FromInterfacePath(const std::string& path,
                                                                      std::size_t& collection) {
  collection = 0;
  if (path.compare(0, devPrefix_.size(), devPrefix_) != 0) return nullptr;
  std::string name = path.substr(devPrefix_.size());
  const auto suffix = name.rfind(kColSuffix);
  if (suffix != std::string::npos) {
    unsigned number = 0;
    const char* begin = name.data() + suffix + std::char_traits<char>::length(kColSuffix);
    auto [end, error] = std::from_chars(begin, name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size() || number == 0) return nullptr;
    collection = number - 1;
    name.resize(suffix);
  }
  if (name.rfind("hidraw", 0) != 0 || name.find('/') != std::string::npos) return nullptr;
  std::shared_ptr<const SysfsHidNode> node;
  {
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(name);
    if (it != nodes_.end()) node = it->second;
  }
  // A path the last listing did not see (or a node that went since) is read now.
  if (!node) node = Node(name, SysfsHidNode::DeviceLink(root_, name));
  if (!node || collection >= node->CollectionCount()) return nullptr;
  return node;
}

}  // namespace hidplatform
