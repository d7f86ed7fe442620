// kbctl's command line: which command, with which options.
#include <charconv>
#include <chrono>
#include <optional>

#include "kbctl/KbctlCommands.h"
#include "keyboard/CommandReport.h"

namespace kbctl {

const char* const kUsage =
    "usage: kbctl list [--json]\n"
    "       kbctl fn-lock|mute-lock|mic-lock on|off\n"
    "       kbctl update [FILE] [--yes] [--json] [--device NAME]\n"
    "                    [--allow-older | --reinstall] [--wait SECONDS]\n"
    "       kbctl --help | --version\n"
    "list:  every keyboard present, in application mode or in its boot loader,\n"
    "       and whether this user may write to it.\n"
    "fn-lock, mute-lock, mic-lock: sets the lock on every keyboard present.\n"
    "update: burns FILE (default USBKeyboard.MTP beside kbctl) into the keyboard,\n"
    "       also one left in its boot loader by an interrupted update. It refuses\n"
    "       an older or the same version unless --allow-older or --reinstall, and\n"
    "       asks first on a terminal unless --yes. --device picks a keyboard by the\n"
    "       name list prints; --json ends with one JSON object. --wait gives the\n"
    "       keyboard up to SECONDS (1 to 3600) to restart into its boot loader and\n"
    "       again to come back (default 30 and 60).\n"
    "Exit codes: 0 done, 1 failed, 2 bad command line, update only: 3 file\n"
    "refused, 4 no keyboard, several or its version refused, 5 boot loader did\n"
    "not appear, 6 burn failed (rerun to recover), 7 keyboard did not come back,\n"
    "8 wrong version after the update.\n";

namespace {

// 1 to 3600 whole seconds, else nothing.
std::optional<int> WaitSeconds(const std::string& text) {
  int seconds = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end || seconds < 1 || seconds > 3600) return std::nullopt;
  return seconds;
}

// Nothing, and why in problem, when the arguments after "update" are not a
// valid command line.
std::optional<UpdateOptions> ParseUpdate(const std::vector<std::string>& arguments,
                                         std::string& problem) {
  UpdateOptions options;
  bool haveFile = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--yes") {
      options.yes = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--allow-older") {
      options.allowOlder = true;
    } else if (argument == "--reinstall") {
      options.reinstall = true;
    } else if (argument == "--wait") {
      const std::optional<int> seconds =
          ++i < arguments.size() ? WaitSeconds(arguments[i]) : std::nullopt;
      if (!seconds) {
        problem = "--wait takes whole seconds, 1 to 3600";
        return std::nullopt;
      }
      options.wait = std::chrono::seconds(*seconds);
    } else if (argument == "--device") {
      if (++i == arguments.size() || arguments[i].empty()) {
        problem = "--device takes a name that kbctl list prints";
        return std::nullopt;
      }
      options.device = arguments[i];
    } else if (argument.starts_with("-") || argument.empty()) {
      problem = "unknown option '" + argument + "'";
      return std::nullopt;
    } else if (haveFile) {
      problem = "one firmware file only, not also '" + argument + "'";
      return std::nullopt;
    } else {
      options.file = argument;
      haveFile = true;
    }
  }
  // One says the file is older, the other that it is the same: not both.
  if (options.allowOlder && options.reinstall) {
    problem = "--allow-older and --reinstall exclude each other";
    return std::nullopt;
  }
  return options;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  return Run(arguments, Environment{}, out, err);
}

int Run(const std::vector<std::string>& arguments, const Environment& environment,
        std::ostream& out, std::ostream& err) {
  if (!arguments.empty() && arguments[0] == "update") {
    std::string problem;
    if (const std::optional<UpdateOptions> options = ParseUpdate(arguments, problem)) {
      return Update(*options, environment, out, err);
    }
    err << "kbctl: update: " << problem << "\n" << kUsage;
    return kExitUsage;
  }
  if (arguments.size() == 2 && arguments[0] == "list" && arguments[1] == "--json") {
    return List(true, out, err);
  }
  if (arguments.size() == 1 && arguments[0] == "list") return List(false, out, err);
  const bool lock = !arguments.empty() && keyboard::FindLock(arguments[0]) != nullptr;
  if (lock && arguments.size() == 2 && (arguments[1] == "on" || arguments[1] == "off")) {
    return SetLock(arguments[0], arguments[1] == "on", out, err);
  }
  // Why, before the usage: nothing when nothing was asked.
  if (!arguments.empty()) {
    if (arguments[0] == "list") {
      err << "kbctl: list takes --json and nothing else\n";
    } else if (lock) {
      err << "kbctl: " << arguments[0] << " takes on or off\n";
    } else {
      err << "kbctl: unknown command '" << arguments[0] << "'\n";
    }
  }
  err << kUsage;
  return kExitUsage;
}

}  // namespace kbctl
