// The keyboard's command reports (docs/keyboard-commands.md): output report
// 9 with a code and an argument, written to each interface at that
// interface's own output report length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hid/HidControllerClass.h"

namespace keyboard {

inline constexpr std::uint8_t kCommandReportId = 9;
// Report id plus 64 bytes; a device that declares a longer output report
// gets a zero-filled report of its own length.
inline constexpr std::size_t kCommandReportSize = 65;

struct Command {
  std::uint8_t code;
  std::uint8_t argument;
  std::string_view logSuffix;  // the text the log line ends with
};

inline constexpr Command kFnUnlock{0x54, 0x01, " (Fn Unlock)"};
inline constexpr Command kFnLock{0x54, 0x02, " (Fn Lock)"};
inline constexpr Command kMuteUnlock{0x64, 0x01, " (Mute Unlock)"};
inline constexpr Command kMuteLock{0x64, 0x02, " (Mute Lock)"};
inline constexpr Command kMicUnlock{0x74, 0x01, " (Mic Unlock)"};
inline constexpr Command kMicLock{0x74, 0x02, " (Mic Lock)"};
inline constexpr Command kUpdate{0x84, 0x57, " (Please Re-plug USB)"};
inline constexpr Command kTouchpadVersion{0x95, 0x7E, ""};

// The three locks, each a pair of commands.
struct Lock {
  std::string_view name;   // "fn-lock"
  std::string_view title;  // "Fn lock"
  Command off;
  Command on;
};
inline constexpr Lock kLocks[] = {
    {"fn-lock", "Fn lock", kFnUnlock, kFnLock},
    {"mute-lock", "Mute lock", kMuteUnlock, kMuteLock},
    {"mic-lock", "Mic lock", kMicUnlock, kMicLock},
};
const Lock* FindLock(std::string_view name);

// The bytes of a report at least kCommandReportSize long: the first
// `outputLength` of them are what an interface of that length is written.
std::vector<std::uint8_t> CommandReport(std::uint8_t code, std::uint8_t argument,
                                        std::size_t outputLength);

// "W --> 09 54 02 " and the suffix: each byte followed by one blank.
std::string CommandLogLine(std::uint8_t reportId, std::uint8_t code, std::uint8_t argument,
                           std::string_view suffix);
std::string CommandLogLine(const Command& command);

// Writes the command to one interface at its output report length. Nothing
// when it was written, else the platform's error code.
std::optional<std::uint32_t> WriteCommand(hid::THidDevice& device, std::uint8_t code,
                                          std::uint8_t argument);

}  // namespace keyboard
