// Where the programs find the burner and the firmware file: both beside the
// program that starts the update.
#pragma once

#include <string>

namespace keyboard {

// The burner's file name on this platform.
std::string BurnerProgramName();

// The firmware file handed to the burner: "USBKeyboard.MTP" in the given
// directory.
std::string FirmwarePathIn(const std::string& directory);

}  // namespace keyboard
