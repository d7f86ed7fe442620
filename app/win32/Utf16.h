// Texts cross into the Windows API as UTF-16 and come back as UTF-8, the
// encoding the window's behaviour uses. Only the string types are adapted
// here: the conversion is the platform layer's (TextEncoding).
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Invalid UTF-8 bytes and unpaired surrogates become U+FFFD.
std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

}  // namespace win32
