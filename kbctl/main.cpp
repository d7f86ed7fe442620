// kbctl: the keyboard's update and commands from a terminal or a script.
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "base/ProgramPlace.h"
#include "kbctl/KbctlCommands.h"
#include "version/StandardOptions.h"

int main(int argc, char** argv) {
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "kbctl", kbctl::kUsage)) return 0;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
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
  return kbctl::Run(arguments, environment, std::cout, std::cerr);
}
