// Text for a console program's standard output, UTF-8 on every platform.
#pragma once

#include <string_view>

namespace hidplatform {

// Writes the text and flushes it, so it shows at once. On Windows a console
// gets it as UTF-16 (WriteConsoleW; bytes would be read in the console's code
// page) with CR LF line ends; a pipe or a file gets the UTF-8 bytes, also
// with CR LF. Linux writes the bytes as they are.
void WriteStandardOutput(std::string_view text);

}  // namespace hidplatform
