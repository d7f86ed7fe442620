// Starting the burner program: one small seam, so that the window's tests see
// what would be started without starting anything. Each front end brings the
// platform's launcher.
#pragma once

#include <string>

#include "keyboard/FirmwareLocation.h"

struct LaunchResult {
  bool started = false;
  std::string error;  // why the program could not be started
};

class BurnerLauncher {
 public:
  virtual ~BurnerLauncher() = default;
  // Starts program (a bare file name) with the one argument, without
  // waiting for it.
  virtual LaunchResult Launch(const std::string& program, const std::string& argument) = 0;
};

using keyboard::BurnerProgramName;
using keyboard::FirmwarePathIn;
