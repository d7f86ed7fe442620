#include "keyboard/KeyboardIdentity.h"

#include "base/HexText.h"

namespace keyboard {

DeviceKind KindOf(std::uint16_t vendorId, std::uint16_t productId) {
  if (vendorId == kKeyboardVendorId && productId == kKeyboardProductId)
    return DeviceKind::kKeyboard;
  if (vendorId == kBootLoaderVendorId && productId == kBootLoaderProductId) {
    return DeviceKind::kBootLoader;
  }
  return DeviceKind::kOther;
}

std::string DeviceIdText(std::uint16_t vendorId, std::uint16_t productId) {
  return "Device VID=" + UpperHex(vendorId, 4) + " PID=" + UpperHex(productId, 4);
}

std::string DeviceVersionText(std::uint16_t version) {
  return " VER=" + UpperHex(version, 4);
}

}  // namespace keyboard
