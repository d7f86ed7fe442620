// Upper-case hexadecimal text of IDs, bytes and error codes: the one
// formatter behind the window's log, the information dialog, hidlist, the
// touchpad's staged lines and the emulator's trace.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

// `value` in upper-case hex digits, zero-padded to at least `digits`:
// UpperHex(0x4D9, 4) is "04D9", UpperHex(0x48F) is "48F".
inline std::string UpperHex(unsigned value, int digits = 0) {
  std::string text;
  do {
    text.insert(text.begin(), kUpperHexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < digits) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  return text;
}
