// Texts for the platform error codes the HID layer reports.
#pragma once

#include <QString>

#include <cstdint>

// The system's message for an error code, as the platform words it.
QString SystemErrorMessage(std::uint32_t code);

// A message made fit for one log line: at most 255 characters, then trailing
// blanks, control characters and full stops removed.
QString TrimErrorMessage(const QString& message);

// An error as one log line shows it: the trimmed message and the code in
// hex, "Access is denied (5)".
QString ErrorLogText(std::uint32_t code);
