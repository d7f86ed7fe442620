// The command line arrives as UTF-8; ISPDLL takes file names as UTF-16.
#pragma once

#include <string>

namespace burner {

// Bytes that are not valid UTF-8 become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace burner
