#include <algorithm>
#include <cstring>
#include <utility>

#include "hid/HidControllerClass.h"

namespace hid {
namespace {

// Registry property codes, read in this order.
enum : std::uint32_t {
  kDeviceDescription = 0,
  kHardwareIds = 1,
  kCompatibleIds = 2,
  kService = 4,
  kClass = 7,
  kClassGuid = 8,
  kDriver = 9,
  kConfigFlags = 10,
  kMfg = 11,
  kFriendlyName = 12,
  kLocationInformation = 13,
  kPhysicalDeviceObjectName = 14,
  kCapabilities = 15,
  kUiNumber = 16,
  kUpperFilters = 17,
  kLowerFilters = 18,
  kBusTypeGuid = 19,
  kLegacyBusType = 20,
  kBusNumber = 21,
  kEnumeratorName = 22,
  kSecurity = 24,
  kDeviceType = 25,
  kExclusive = 26,
  kCharacteristics = 27,
  kAddress = 28,
  kProperty30 = 30,
};

class PropertyReader {
 public:
  explicit PropertyReader(const hidplatform::InterfaceEntry& entry) : entry_(entry) {}

  std::uint32_t Number(std::uint32_t code) {
    std::vector<std::uint8_t> raw;
    std::uint32_t value = 0;
    if (backend_.GetRegistryProperty(entry_, code, raw)) {
      std::memcpy(&value, raw.data(), std::min(raw.size(), sizeof value));
    }
    return value;
  }
  std::string Text(std::uint32_t code) {
    auto items = List(code, 1024);
    return items.empty() ? std::string() : items.front();
  }
  std::vector<std::string> TextList(std::uint32_t code) { return List(code, 16384); }

 private:
  // Items separated by zero bytes, up to the first empty one, within limit.
  std::vector<std::string> List(std::uint32_t code, std::size_t limit) {
    std::vector<std::uint8_t> raw;
    std::vector<std::string> items;
    if (!backend_.GetRegistryProperty(entry_, code, raw)) return items;
    if (raw.size() > limit) raw.resize(limit);
    std::size_t pos = 0;
    while (pos < raw.size() && raw[pos] != 0) {
      std::size_t end = pos;
      while (end < raw.size() && raw[end] != 0) ++end;
      items.emplace_back(raw.begin() + static_cast<std::ptrdiff_t>(pos),
                         raw.begin() + static_cast<std::ptrdiff_t>(end));
      pos = end + 1;
    }
    return items;
  }

  const hidplatform::InterfaceEntry& entry_;
  hidplatform::HidBackend& backend_ = hidplatform::CurrentBackend();
};

}  // namespace

THidPnPInfo::THidPnPInfo(const hidplatform::InterfaceEntry& entry)
    : DeviceInstance(entry.deviceInstance), DevicePath(entry.path) {
  ReadProperties(entry);
}

THidPnPInfo::THidPnPInfo(hidplatform::InterfaceEntry&& entry)
    : DeviceInstance(entry.deviceInstance) {
  ReadProperties(entry);  // the platform may look the record up by its path
  DevicePath = std::move(entry.path);
}

void THidPnPInfo::ReadProperties(const hidplatform::InterfaceEntry& entry) {
  PropertyReader read(entry);
  DeviceCapabilities = read.Number(kCapabilities);
  ClassName = read.Text(kClass);
  ClassGuid = read.Text(kClassGuid);
  CompatibleIds = read.TextList(kCompatibleIds);
  ConfigFlags = read.Number(kConfigFlags);
  DeviceDescription = read.Text(kDeviceDescription);
  DriverKey = read.Text(kDriver);
  FriendlyName = read.Text(kFriendlyName);
  HardwareIds = read.TextList(kHardwareIds);
  LowerFilters = read.TextList(kLowerFilters);
  Manufacturer = read.Text(kMfg);
  UpperFilters = read.TextList(kUpperFilters);
  ServiceName = read.Text(kService);
  Address = read.Text(kAddress);
  BusNumber = read.Number(kBusNumber);
  BusTypeGuid = read.Text(kBusTypeGuid);
  Characteristics = read.Text(kCharacteristics);
  DeviceType = read.Number(kDeviceType);
  EnumeratorName = read.Text(kEnumeratorName);
  Exclusive = read.Number(kExclusive);
  LegacyBusType = read.Number(kLegacyBusType);
  LocationInformation = read.Text(kLocationInformation);
  PhysicalDeviceObjectName = read.Text(kPhysicalDeviceObjectName);
  SecurityDescriptor = read.Text(kSecurity);
  UiNumber = read.Number(kUiNumber);
  Property30 = read.Text(kProperty30);
}

}  // namespace hid
