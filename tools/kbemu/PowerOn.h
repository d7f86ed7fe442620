// What the keyboard is when kbemu switches it on: the boot loader's
// power-on rule applied to the flash it starts with.
#pragma once

#include <cstdint>
#include <optional>

#include "emulator/BootLoaderModel.h"

namespace kbemu {

struct PowerOn {
  emulator::BootLoaderModel::Flash flash;
  bool bootLoader = false;
  std::uint16_t version = 0;
};

// A flash as the keyboard leaves the factory: a small firmware with this
// version and its integrity record.
emulator::BootLoaderModel::Flash FactoryFlash(std::uint16_t version);

// The loaded flash, or the factory one when there is none. The user firmware
// runs only when the flash holds a valid record; otherwise, or when asked
// to, the keyboard starts as its boot loader. The version is the flash's.
PowerOn DecidePowerOn(std::optional<emulator::BootLoaderModel::Flash> loaded,
                      std::uint16_t factoryVersion, bool askedForBootLoader);

}  // namespace kbemu
