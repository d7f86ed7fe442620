// Conversions between the UTF-16 text of device strings and file names and
// the UTF-8 text of this platform, and the copy of a string into a caller's
// fixed-size buffer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hidplatform {

// Invalid, cut-short, overlong or surrogate sequences become U+FFFD, one per
// byte, so nothing that is not text reaches a file name or a label.
std::u16string Utf8ToUtf16(std::string_view text);

// Empty optional when the text holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// Copies UTF-16 units into a byte buffer (little-endian), zero-terminated only
// when the text is shorter than the buffer.
void CopyWideString(std::u16string_view text, void* buffer, std::size_t bytes);

}  // namespace hidplatform
