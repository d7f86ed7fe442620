// What kbctl does, apart from its main: each command writes to the given
// streams and returns the program's exit code, so that tests run it against
// the virtual bus.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kbctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

extern const char* const kUsage;

// The arguments after the program's name. An unknown or missing command
// prints the usage to err and returns kExitUsage.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Every keyboard present, in application mode or in its boot loader; other
// HID devices are left out. json: one array of objects (docs/man/kbctl.1).
int List(bool json, std::ostream& out, std::ostream& err);

// Writes the lock's on or off command to every interface of every keyboard
// in application mode, as the window does.
int SetLock(std::string_view lockName, bool on, std::ostream& out, std::ostream& err);

// text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

}  // namespace kbctl
