// --help and --version, answered the same way by every program.
#pragma once

#include <string_view>

namespace kbversion {

// The product version, "1.0.0".
const char* ProductVersion();

// When argument is "--help" or "--version", prints the usage text or
// "program version" to standard output and returns true; the caller then
// ends with exit code 0. Any other argument: prints nothing, false.
bool AnswerStandardOption(std::string_view argument, std::string_view program,
                          std::string_view usage);

}  // namespace kbversion
