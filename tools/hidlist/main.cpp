// hidlist: every HID interface the update window would see, one line each,
// with whether it can be opened read-write. The first thing to run when the
// window says "Not Connect..".
#include <cstring>
#include <iostream>
#include <optional>

#include "tools/hidlist/HidList.h"
#include "version/StandardOptions.h"

#if !defined(_WIN32)
#include "hid/platform/linux/LinuxHidBackend.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: hidlist [--root DIR]\n"
    "       hidlist --help | --version\n"
    "Lists every HID interface with its identity, version, product, report\n"
    "lengths (input, output, feature), path, device instance and access.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "hidlist", kUsage)) return 0;
#if !defined(_WIN32)
  std::optional<hidplatform::LinuxHidBackend> backend;
  std::optional<hidplatform::ScopedBackend> scope;
#endif
  for (int i = 1; i < argc; ++i) {
#if !defined(_WIN32)
    if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      // Another sysfs and /dev tree than the machine's (for tests).
      backend.emplace(hidplatform::LinuxHidBackend::Options{.root = argv[++i]});
      scope.emplace(*backend);
      continue;
    }
#endif
    std::cerr << kUsage;
    return 1;
  }
  return hidlist::ListInterfaces(std::cout, std::cerr);
}
