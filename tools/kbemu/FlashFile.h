// The boot loader's flash kept in a file between runs of kbemu: the code
// pages, the option area, then the integrity record, as raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"

namespace kbemu {

using FlashContents = emulator::BootLoaderModel::Flash;

// Nothing when the file does not exist. Throws std::runtime_error when it
// exists but cannot be read or has the wrong size for the given layout.
std::optional<FlashContents> LoadFlash(const std::string& path, std::size_t codeBytes,
                                       std::size_t optionBytes, std::size_t recordBytes);

// Writes a temporary file and renames it over path, so that a reader never
// sees half a flash. Throws std::runtime_error.
void SaveFlash(const std::string& path, const FlashContents& flash);

}  // namespace kbemu
