#include "keyboard/FirmwareLocation.h"

namespace keyboard {

std::string BurnerProgramName() {
#ifdef _WIN32
  return "mcuprog.exe";
#else
  return "mcuprog";
#endif
}

std::string FirmwarePathIn(const std::string& directory) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
  const bool endsWithSeparator =
      !directory.empty() && (directory.back() == '\\' || directory.back() == '/');
#else
  constexpr char kSeparator = '/';
  const bool endsWithSeparator = !directory.empty() && directory.back() == '/';
#endif
  std::string path = directory;
  if (!path.empty() && !endsWithSeparator) path += kSeparator;
  return path + "USBKeyboard.MTP";
}

}  // namespace keyboard
