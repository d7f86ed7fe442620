// The operating system's own text for an error code the platform layer
// reports (the codes of HidBackend.h, or any code the system gives).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hidplatform {

// UTF-8, worded as the system words it, possibly ending in a full stop and a
// line break. Windows asks the system in the user's language; Linux, whose
// backend maps errno to the Windows codes, has the Windows texts of those
// codes. A code the system has no text for gets "Unknown error N.".
std::string SystemErrorMessage(std::uint32_t code);

// A message made fit for one line: at most 255 characters (UTF-8, never cut
// inside a character), then trailing blanks, control characters and full
// stops removed.
std::string TrimErrorMessage(std::string_view message);

// The system's text for code, trimmed so.
std::string ShortErrorMessage(std::uint32_t code);

}  // namespace hidplatform
