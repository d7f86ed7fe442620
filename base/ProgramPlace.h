// Where the running program lives and whether a person sits at its input:
// console programs find files beside them and ask only on a terminal.
#pragma once

#include <string>

namespace hidplatform {

// The directory of the running executable (UTF-8); empty when unknown.
std::string ProgramDirectory();

// Whether standard input is a terminal (a console on Windows).
bool StandardInputIsTerminal();

// Whether standard output or standard error is a terminal (a console on
// Windows): only there is a line redrawn in place.
bool StandardOutputIsTerminal();
bool StandardErrorIsTerminal();

}  // namespace hidplatform
