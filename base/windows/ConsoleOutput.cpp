#include "base/ConsoleOutput.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/TextEncoding.h"

namespace hidplatform {

namespace {

void Write(DWORD which, std::FILE* stream, std::string_view text) {
  // Whatever the C runtime still holds comes first.
  std::fflush(stream);
  const HANDLE out = GetStdHandle(which);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) {
    // A pipe or a file: stdout is in text mode and ends lines with CR LF.
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    return;
  }
  std::u16string wide;
  for (const char16_t unit : Utf8ToUtf16(text)) {
    if (unit == u'\n' && (wide.empty() || wide.back() != u'\r')) wide += u'\r';
    wide += unit;
  }
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  const auto* next = reinterpret_cast<const wchar_t*>(wide.data());
  std::size_t left = wide.size();
  while (left > 0) {
    // Consoles take a limited amount at once; the rest goes in later calls.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
    DWORD written = 0;
    if (!WriteConsoleW(out, next, chunk, &written, nullptr) || written == 0) return;
    next += written;
    left -= written;
  }
}

}  // namespace

void WriteStandardOutput(std::string_view text) {
  Write(STD_OUTPUT_HANDLE, stdout, text);
}

void WriteStandardError(std::string_view text) {
  Write(STD_ERROR_HANDLE, stderr, text);
}

}  // namespace hidplatform
