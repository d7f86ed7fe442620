#include "base/ProgramPlace.h"

#include <windows.h>

#include <vector>

#include "base/TextEncoding.h"

namespace hidplatform {

std::string ProgramDirectory() {
  // Long paths need more than MAX_PATH: grow until the name fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::u16string name(reinterpret_cast<const char16_t*>(buffer.data()), length);
      const std::size_t slash = name.find_last_of(u"\\/");
      if (slash == std::u16string::npos) return {};
      return Utf16ToUtf8(name.substr(0, slash)).value_or(std::string());
    }
    buffer.resize(buffer.size() * 2);
  }
}

namespace {

// A console answers GetConsoleMode; a file, a pipe or nothing at all does not.
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool StandardInputIsTerminal() {
  return IsConsole(STD_INPUT_HANDLE);
}

bool StandardOutputIsTerminal() {
  return IsConsole(STD_OUTPUT_HANDLE);
}

bool StandardErrorIsTerminal() {
  return IsConsole(STD_ERROR_HANDLE);
}

}  // namespace hidplatform
