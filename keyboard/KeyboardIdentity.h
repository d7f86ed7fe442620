// Which USB devices are the keyboard: in application mode and in its boot
// loader, from the IDs every HID interface reports.
#pragma once

#include <cstdint>
#include <string>

namespace keyboard {

inline constexpr std::uint16_t kKeyboardVendorId = 0x2C7A;
inline constexpr std::uint16_t kKeyboardProductId = 0x5B1D;
inline constexpr std::uint16_t kBootLoaderVendorId = 0x04D9;
inline constexpr std::uint16_t kBootLoaderProductId = 0x8022;

enum class DeviceKind {
  kOther,
  kKeyboard,    // application mode: takes the command reports
  kBootLoader,  // restarted for an update: takes only the burner's protocol
};

DeviceKind KindOf(std::uint16_t vendorId, std::uint16_t productId);

// "Device VID=2C7A PID=5B1D", the form the window's log uses.
std::string DeviceIdText(std::uint16_t vendorId, std::uint16_t productId);
// " VER=0105" (with its leading blank).
std::string DeviceVersionText(std::uint16_t version);

}  // namespace keyboard
