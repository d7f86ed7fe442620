// Texts for the platform error codes the HID layer reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The system's message for an error code, as the platform words it.
std::string SystemErrorMessage(std::uint32_t code);

// A message made fit for one log line: at most 255 bytes (never cut inside a
// UTF-8 sequence), then trailing blanks, control characters and full stops
// removed.
std::string TrimErrorMessage(std::string_view message);

// An error as one log line shows it: the trimmed message and the code in
// hex, "Access is denied (5)".
std::string ErrorLogText(std::uint32_t code);
