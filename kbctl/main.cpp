// kbctl: the keyboard's update and commands from a terminal or a script.
#include <iostream>
#include <string>
#include <vector>

#include "base/ProgramPlace.h"
#include "kbctl/KbctlCommands.h"
#include "version/StandardOptions.h"

int main(int argc, char** argv) {
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "kbctl", kbctl::kUsage)) return 0;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  kbctl::Environment environment;
  environment.programDirectory = hidplatform::ProgramDirectory();
  // A script's input is no answer: update then wants --yes.
  if (hidplatform::StandardInputIsTerminal()) environment.terminal = &std::cin;
  return kbctl::Run(arguments, environment, std::cout, std::cerr);
}
