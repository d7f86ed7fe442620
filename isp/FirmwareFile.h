// Reading an ".MTP" file as LoadFile does, and judging it without a boot
// loader: the window checks the file before it restarts the keyboard.
#pragma once

#include <cstdint>
#include <string>

#include "isp/MtpFormat.h"

namespace isp {

struct MtpFileResult {
  std::string error;  // empty when the file was read and parsed
  MtpImage image;     // valid only when error is empty
};

// Reads and parses the file; the error names the reason in words.
MtpFileResult ReadMtpFile(const std::string& path);

// Empty when the file is a valid ".MTP" that fits this keyboard's boot
// loader, as far as the file alone tells; else why not.
std::string CheckFirmwareFile(const std::string& path);

// The firmware version the image carries in its option bytes 0..1 (the
// reader refuses an image without one).
std::uint16_t FirmwareVersionOf(const MtpImage& image);

}  // namespace isp
