#include "version/StandardOptions.h"

#include <cstdio>

#include "version/ProductVersion.h"

namespace kbversion {

const char* ProductVersion() {
  return KB_PRODUCT_VERSION;
}

bool AnswerStandardOption(std::string_view argument, std::string_view program,
                          std::string_view usage) {
  if (argument == "--help") {
    std::fwrite(usage.data(), 1, usage.size(), stdout);
  } else if (argument == "--version") {
    std::printf("%.*s %s\n", static_cast<int>(program.size()), program.data(), ProductVersion());
  } else {
    return false;
  }
  std::fflush(stdout);
  return true;
}

}  // namespace kbversion
