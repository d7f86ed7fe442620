// Error codes as the window's log shows them. The message itself is the
// system's (hidplatform::SystemErrorMessage).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A message made fit for one log line: at most 255 characters (UTF-8, never
// cut inside a character), then trailing blanks, control characters and full
// stops removed.
std::string TrimErrorMessage(std::string_view message);

// An error as one log line shows it: the trimmed message and the code in
// hex without padding, "Access is denied (5)".
std::string ErrorLogText(std::uint32_t code);
