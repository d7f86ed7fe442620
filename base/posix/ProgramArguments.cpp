#include "base/ProgramArguments.h"

namespace hidplatform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace hidplatform
