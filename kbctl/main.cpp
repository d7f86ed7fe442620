// kbctl: the keyboard's update and commands from a terminal or a script.
#include <iostream>
#include <string>
#include <vector>

#include "kbctl/KbctlCommands.h"
#include "version/StandardOptions.h"

int main(int argc, char** argv) {
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "kbctl", kbctl::kUsage)) return 0;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return kbctl::Run(arguments, std::cout, std::cerr);
}
