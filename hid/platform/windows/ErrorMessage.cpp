// The system's own message, in the user's language.
#include "hid/platform/ErrorMessage.h"

#include <windows.h>

#include <memory>
#include <string_view>

#include "base/TextEncoding.h"

namespace hidplatform {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* block) const { LocalFree(block); }
};

}  // namespace

std::string SystemErrorMessage(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  // The system sizes the buffer: a message has no length limit of its own.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(buffer);
  if (length == 0 || !owned) return "Unknown error " + std::to_string(code) + ".";
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return Utf16ToShownUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(owned.get()), length));
}

}  // namespace hidplatform
