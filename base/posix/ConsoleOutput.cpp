#include "base/ConsoleOutput.h"

#include <cstdio>

namespace hidplatform {

void WriteStandardOutput(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace hidplatform
