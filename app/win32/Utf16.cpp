#include "app/win32/Utf16.h"

#include "base/TextEncoding.h"

namespace win32 {

// wchar_t is one UTF-16 unit on Windows, so the strings convert unit by unit.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Utf16FromUtf8(std::string_view text) {
  const std::u16string wide = hidplatform::Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8FromUtf16(std::wstring_view text) {
  const std::u16string units(text.begin(), text.end());
  return hidplatform::Utf16ToShownUtf8(units);
}

}  // namespace win32
