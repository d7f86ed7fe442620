// kbctl: the keyboard's update and commands from a terminal or a script.
#include <filesystem>
#include <iostream>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "base/ConsoleOutput.h"
#include "base/ProgramArguments.h"
#include "base/ProgramPlace.h"
#include "kbctl/KbctlCommands.h"
#include "version/StandardOptions.h"

int main(int argc, char** argv) {
  // As UTF-8 on every platform: on Windows argv is in the ANSI code page,
  // which cannot name every firmware file.
  std::vector<std::string> arguments = hidplatform::ProgramArguments(argc, argv);
  if (arguments.size() == 2 &&
      kbversion::AnswerStandardOption(arguments[1], "kbctl", kbctl::kUsage))
    return 0;
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own name
  kbctl::Environment environment;
  environment.programDirectory = hidplatform::ProgramDirectory();
#if defined(KBCTL_WINDOW_DIRECTORY)
  // Installed, kbctl is in bin/ but the window and its firmware file are in
  // the private directory: the default file is the window's.
  const std::filesystem::path windowDirectory =
      std::filesystem::path(environment.programDirectory) / KBCTL_WINDOW_DIRECTORY;
  std::error_code error;
  if (!environment.programDirectory.empty() &&
      std::filesystem::is_directory(windowDirectory, error)) {
    environment.programDirectory = windowDirectory.lexically_normal().string();
  }
#endif
  // A script's input is no answer: update then wants --yes.
  if (hidplatform::StandardInputIsTerminal()) environment.terminal = &std::cin;
  environment.outputIsTerminal = hidplatform::StandardOutputIsTerminal();
  environment.errorIsTerminal = hidplatform::StandardErrorIsTerminal();
  // Line by line, so that a script reading a pipe sees each stage when it
  // happens; on a Windows console as UTF-16, which keeps file names whole.
  hidplatform::ConsoleLineBuffer outBuffer(hidplatform::WriteStandardOutput);
  hidplatform::ConsoleLineBuffer errBuffer(hidplatform::WriteStandardError);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  const int code = kbctl::Run(arguments, environment, out, err);
  out.flush();
  err.flush();
  return code;
}
