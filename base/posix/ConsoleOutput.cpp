#include "base/ConsoleOutput.h"

#include <cstdio>

namespace hidplatform {

namespace {

void Write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::string_view text) {
  Write(stdout, text);
}

void WriteStandardError(std::string_view text) {
  Write(stderr, text);
}

}  // namespace hidplatform
