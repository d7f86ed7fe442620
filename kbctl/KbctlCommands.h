// What kbctl does, apart from its main: each command writes to the given
// streams and returns the program's exit code, so that tests run it against
// the virtual bus.
#pragma once

#include <chrono>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kbctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// update's stages, each failing with its own code.
inline constexpr int kExitFileRefused = 3;
inline constexpr int kExitKeyboardRefused = 4;  // none, several, or its version
inline constexpr int kExitNoBootLoader = 5;
inline constexpr int kExitBurnFailed = 6;
inline constexpr int kExitNotBack = 7;
inline constexpr int kExitWrongVersion = 8;

extern const char* const kUsage;

// What update needs of the process around it.
struct Environment {
  // Where the default firmware file is looked for.
  std::string programDirectory;
  // Where a yes or no is read from; null when there is no terminal to ask.
  std::istream* terminal = nullptr;
  // Whether the output and the error stream are terminals: the burn then
  // redraws a progress bar in place on the one its stage lines go to.
  bool outputIsTerminal = false;
  bool errorIsTerminal = false;
  // How long the keyboard may take to restart into its boot loader, and to
  // come back from it after the burn. Generous: Windows may first install
  // the driver of a device it has not seen before.
  std::chrono::milliseconds bootLoaderWait{30000};
  std::chrono::milliseconds returnWait{60000};
};

// The arguments after the program's name. An unknown or missing command
// prints the usage to err and returns kExitUsage.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
int Run(const std::vector<std::string>& arguments, const Environment& environment,
        std::ostream& out, std::ostream& err);

// Every keyboard present, in application mode or in its boot loader; other
// HID devices are left out. json: one array of objects (docs/man/kbctl.1).
int List(bool json, std::ostream& out, std::ostream& err);

// Writes the lock's on or off command to every interface of every keyboard
// in application mode, as the window does.
int SetLock(std::string_view lockName, bool on, std::ostream& out, std::ostream& err);

struct UpdateOptions {
  std::string file;    // empty: the firmware file beside the program
  std::string device;  // empty: the only keyboard present
  bool yes = false;
  bool json = false;
  bool allowOlder = false;
  bool reinstall = false;
  // --wait: both waits of the environment, for slow systems.
  std::optional<std::chrono::seconds> wait;
};

// Burns the firmware file into one keyboard: from application mode through
// its boot loader, or straight away when it already is in its boot loader
// (an interrupted update). Returns one of the exit codes above.
int Update(const UpdateOptions& options, const Environment& environment, std::ostream& out,
           std::ostream& err);

// text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

}  // namespace kbctl
