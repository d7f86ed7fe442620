// A console program's command-line arguments as UTF-8, the text every file
// name of this system travels as. On Linux they are argv's bytes as given; on
// Windows argv is in the ANSI code page, which cannot name every file, so the
// arguments come from the wide command line instead.
#pragma once

#include <string>
#include <vector>

namespace hidplatform {

// The program's name first, as in argv.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace hidplatform
