// Error codes as the window's log shows them. The message itself is the
// system's (hidplatform::SystemErrorMessage).
#pragma once

#include <cstdint>
#include <string>

// An error as one log line shows it: the trimmed message and the code in
// hex without padding, "Access is denied (5)".
std::string ErrorLogText(std::uint32_t code);
