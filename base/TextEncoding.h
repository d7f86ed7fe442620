// Conversions between the UTF-16 text of device strings, file names and the
// Windows API and the UTF-8 text the rest of the system uses (the one
// converter of the tree, so that bad input is treated alike everywhere), and
// the copy of a string into a caller's fixed-size buffer.
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

// For text a person reads (window texts, system messages): an unpaired
// surrogate becomes U+FFFD rather than costing the whole text.
std::string Utf16ToShownUtf8(std::u16string_view text);

// A file name's bytes as UTF-16 and back without loss, for a name that must
// travel as UTF-16 (ISPDLL's LoadFile) to a platform whose names are bytes.
// Valid UTF-8 converts as text; each byte of anything else becomes a lone
// surrogate U+DC80 to U+DCFF, which Utf16ToFileName turns back into that
// byte. Utf16ToFileName is empty for any other unpaired surrogate.
std::u16string FileNameToUtf16(std::string_view name);
std::optional<std::string> Utf16ToFileName(std::u16string_view name);

// Copies UTF-16 units into a byte buffer (little-endian), zero-terminated only
// when the text is shorter than the buffer.
void CopyWideString(std::u16string_view text, void* buffer, std::size_t bytes);

}  // namespace hidplatform
