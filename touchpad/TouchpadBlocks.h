// The table of block records that a touchpad transfer would send, built back
// out of the staged hex lines. It is kept and checked but not transmitted: the
// touchpad's transfer protocol is unknown, and guessed reports could damage it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace touchpad {

inline constexpr std::size_t kBlockRecordBytes = 19;
inline constexpr int kBlockRecordCount = 2784;
// Records 1 to 2,752 carry program blocks, the rest configuration blocks.
inline constexpr int kProgramBlockRecords = 2752;
inline constexpr std::uint8_t kBlockReportId = 0x0A;
inline constexpr std::uint8_t kProgramBlockCommand = 0x02;
inline constexpr std::uint8_t kConfigBlockCommand = 0x06;

// Byte 0 report id, byte 1 block command, bytes 2..17 the 16 data bytes of
// one staged line, byte 18 zero.
using BlockRecord = std::array<std::uint8_t, kBlockRecordBytes>;

// Read access to the staged lines (index 0 is staged line 1).
class StagedLines {
 public:
  virtual ~StagedLines() = default;
  virtual int LineCount() const = 0;
  virtual std::string Line(int index) const = 0;
};

enum class BlockTableStatus {
  kBuilt,
  kTooFewLines,    // fewer staged lines than records (an empty image)
  kMalformedLine,  // a line that is not 32 upper-case hex digits
};

struct BlockTable {
  BlockTableStatus status = BlockTableStatus::kTooFewLines;
  // Record i (counted from 1) is records[i - 1]; empty unless built.
  std::vector<BlockRecord> records;
  // The first line that could not be used (index from 0), when not built.
  int failedLine = 0;
};

// Builds records 1 to 2,784 from staged lines 1 to 2,784, each pair of
// characters converted with StrToByte.
BlockTable BuildBlockTable(const StagedLines& lines);

}  // namespace touchpad
