// Starts the burner on Windows: the shell "opens" mcuprog.exe from kbupdate's
// own directory (never the current one) with the firmware path as one
// quoted argument, however long it is and whatever blanks it holds. A failed
// start is told in the system's words, as the log shows any error code.
#pragma once

#include <string>
#include <string_view>

#include "app/BurnerLauncher.h"

namespace win32 {

// One command-line argument as the C runtime's parser (CommandLineToArgvW)
// takes it apart again: in quotation marks, with the backslashes before a
// quotation mark or the end doubled and quotation marks escaped.
std::wstring QuotedArgument(std::wstring_view argument);

// The program's full path: program (a bare name) in directory.
std::wstring ProgramPathIn(std::string_view directory, std::string_view program);

class ShellBurnerLauncher : public BurnerLauncher {
 public:
  // directory: where the burner is (kbupdate's own directory).
  explicit ShellBurnerLauncher(std::string directory) : directory_(std::move(directory)) {}
  LaunchResult Launch(const std::string& program, const std::string& argument) override;

 private:
  std::string directory_;
};

}  // namespace win32
