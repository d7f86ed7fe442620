#include "tools/kbemu/FlashFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace kbemu {

std::optional<FlashContents> LoadFlash(const std::string& path, std::size_t codeBytes,
                                       std::size_t optionBytes) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path, error)) {
    throw std::runtime_error("cannot read the flash file " + path);
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read the flash file " + path);
  if (bytes.size() != codeBytes + optionBytes) {
    throw std::runtime_error("the flash file " + path + " has " + std::to_string(bytes.size()) +
                             " bytes, not " + std::to_string(codeBytes + optionBytes) +
                             " (code and option area); remove it to start with an empty flash");
  }
  FlashContents flash;
  flash.code.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(codeBytes));
  flash.option.assign(bytes.begin() + static_cast<std::ptrdiff_t>(codeBytes), bytes.end());
  return flash;
}

void SaveFlash(const std::string& path, const FlashContents& flash) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(flash.code.data()),
              static_cast<std::streamsize>(flash.code.size()));
    out.write(reinterpret_cast<const char*>(flash.option.data()),
              static_cast<std::streamsize>(flash.option.size()));
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      throw std::runtime_error("cannot write the flash file " + temporary);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot replace the flash file " + path + ": " + std::strerror(error));
  }
}

}  // namespace kbemu
