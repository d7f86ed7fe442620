// UTF-16 to UTF-8, for file names handed over as 16-bit characters.
#pragma once

#include <optional>
#include <string>

namespace isp {

// Converts a NUL-terminated UTF-16 string; empty when it holds an unpaired
// surrogate.
std::optional<std::string> Utf16ToUtf8(const char16_t* text);

}  // namespace isp
