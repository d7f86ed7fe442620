// The ".MTP" firmware file (docs/mtp-format.md): parsing with full validation,
// and writing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace isp {

inline constexpr std::uint32_t kMtpFormatVersion = 2;
// The program's first bytes: the entry the boot loader starts through.
inline constexpr std::size_t kMtpEntrySize = 4;
inline constexpr std::size_t kMtpHeaderSize = 64;
inline constexpr std::size_t kMtpMaxBlockSize = 65535;

struct MtpImage {
  std::uint32_t targetId = 0;
  std::uint16_t pageSize = 0;
  std::uint16_t pageCount = 0;
  std::vector<std::uint8_t> program;
  std::vector<std::uint8_t> option;
  // The note block; absent when the file has none.
  std::optional<std::vector<std::uint8_t>> note;
};

// Why a file was refused; kOk when it was accepted.
enum class MtpError {
  kOk,
  kTooShort,
  kBadMagic,
  kBadVersion,
  kBadHeader,  // header size, reserved bytes, zero page geometry
  kHeaderCrc,
  kBadBlockBounds,  // outside the file, overlapping, trailing bytes
  kBlockTooLarge,
  kEmptyProgram,
  kBlockCrc,
  kProgramTooSmall,  // less than one page, or its entry erased
  kProgramTooLarge,  // more than the header's own code pages
  kNoVersion,        // option block without a firmware version
};

const char* MtpErrorText(MtpError error);

struct MtpParseResult {
  MtpError error = MtpError::kOk;
  MtpImage image;  // valid only when error is kOk
};

MtpParseResult ParseMtp(std::span<const std::uint8_t> file);

// The file bytes of an image. The image must satisfy the rules a reader
// checks (block sizes); Serialize does not validate beyond that.
std::vector<std::uint8_t> SerializeMtp(const MtpImage& image);

// Checks that an image can be burned into a boot loader of this geometry;
// returns an empty string when it can, else the reason.
std::string CheckMtpFitsTarget(const MtpImage& image, std::uint32_t targetId,
                               std::uint16_t pageSize, std::uint16_t pageCount,
                               std::uint16_t optionSize);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out);

}  // namespace isp
