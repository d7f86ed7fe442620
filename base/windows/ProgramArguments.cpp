#include "base/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "base/TextEncoding.h"

namespace hidplatform {
namespace {

struct LocalFreeDeleter {
  void operator()(LPWSTR* block) const { LocalFree(block); }
};

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreeDeleter> wide(
      CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide || count != argc) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto* text = reinterpret_cast<const char16_t*>(wide.get()[i]);
    // A name with an unpaired surrogate has no UTF-8 form: the ANSI one is
    // the best there is.
    auto utf8 = Utf16ToUtf8(text);
    arguments.push_back(utf8 ? std::move(*utf8) : std::string(argv[i]));
  }
  return arguments;
}

}  // namespace hidplatform
