#include "hid/platform/ErrorMessage.h"

namespace hidplatform {

std::string TrimErrorMessage(std::string_view message) {
  // At most 255 characters, not bytes: a message in a language outside ASCII
  // keeps as many characters as an English one.
  constexpr std::size_t kMaxCharacters = 255;
  std::size_t length = 0;
  for (std::size_t characters = 0; length < message.size(); ++length) {
    const bool startsCharacter = (static_cast<unsigned char>(message[length]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == kMaxCharacters) break;
  }
  while (length > 0) {
    const auto last = static_cast<unsigned char>(message[length - 1]);
    if (last == ' ' || last == '.' || last < 0x20 || last == 0x7F) {
      --length;
    } else {
      break;
    }
  }
  return std::string(message.substr(0, length));
}

std::string ShortErrorMessage(std::uint32_t code) {
  return TrimErrorMessage(SystemErrorMessage(code));
}

}  // namespace hidplatform
