// The keyboard in application mode (2C7A/5B1D): one device model per USB
// interface, sharing the firmware version and the command handling.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "emulator/DeviceModel.h"
#include "emulator/KeyboardReportDescriptors.h"

namespace emulator {

inline constexpr std::uint16_t kKeyboardVendorId = 0x2C7A;
inline constexpr std::uint16_t kKeyboardProductId = 0x5B1D;
inline constexpr char16_t kKeyboardProduct[] = u"USB Keyboard with Touchpad";
inline constexpr char16_t kKeyboardManufacturer[] = u"Keyboard Works";
// What the touchpad version query answers.
inline constexpr std::uint16_t kTouchpadFirmwareVersion = 0x0011;

using LogSink = std::function<void(std::string_view line)>;

class KeyboardModel {
 public:
  struct Options {
    int collections = kDefaultCollectionCount;
    std::uint16_t version = 0x0105;
    InterfaceSplit split = InterfaceSplit::kAsSold;
  };

  // log receives one line per command report; onUpdateCommand runs (on the
  // writing thread) the first time the update command 09 84 57 arrives.
  KeyboardModel(const Options& options, LogSink log, std::function<void()> onUpdateCommand);
  ~KeyboardModel();
  KeyboardModel(const KeyboardModel&) = delete;
  KeyboardModel& operator=(const KeyboardModel&) = delete;

  // The USB interfaces, in interface order, ready to be plugged.
  const std::vector<std::shared_ptr<DeviceModel>>& Interfaces() const { return interfaces_; }
  int CollectionCount() const { return collections_; }

 private:
  class Interface;
  struct Shared;

  int collections_;
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<DeviceModel>> interfaces_;
};

}  // namespace emulator
