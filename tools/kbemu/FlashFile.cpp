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
                                       std::size_t optionBytes, std::size_t recordBytes) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path, error)) {
    throw std::runtime_error("cannot read the flash file " + path);
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read the flash file " + path);
  if (bytes.size() != codeBytes + optionBytes + recordBytes) {
    throw std::runtime_error(
        "the flash file " + path + " has " + std::to_string(bytes.size()) + " bytes, not " +
        std::to_string(codeBytes + optionBytes + recordBytes) +
        " (code, option area and record); remove it to start with a factory flash");
  }
  const auto at = [&bytes](std::size_t offset) {
    return bytes.begin() + static_cast<std::ptrdiff_t>(offset);
  };
  FlashContents flash;
  flash.code.assign(at(0), at(codeBytes));
  flash.option.assign(at(codeBytes), at(codeBytes + optionBytes));
  flash.record.assign(at(codeBytes + optionBytes), bytes.end());
  return flash;
}

void SaveFlash(const std::string& path, const FlashContents& flash) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const auto* part : {&flash.code, &flash.option, &flash.record}) {
      out.write(reinterpret_cast<const char*>(part->data()),
                static_cast<std::streamsize>(part->size()));
    }
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
