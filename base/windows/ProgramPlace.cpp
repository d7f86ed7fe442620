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

bool StandardInputIsTerminal() {
  DWORD mode = 0;
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  return in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) != 0;
}

}  // namespace hidplatform
