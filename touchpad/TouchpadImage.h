// The touchpad image as hex text: the file's bytes become lines of 32
// upper-case hex digits, and the flashing code reads its blocks back out of
// those lines. The text form is the only path from the file to the blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace touchpad {

// Looked up in the current working directory, never beside the program.
inline constexpr char kImageFileName[] = "TPIMAGE-QX4410-01.IMG";

inline constexpr std::size_t kReadBufferBytes = 65536;
// Bytes 0 to 255 of every read are a header that is never staged.
inline constexpr std::size_t kStagedWindowOffset = 256;
inline constexpr std::size_t kStagedWindowBytes = 0xB200;  // 45,568
inline constexpr std::size_t kBytesPerLine = 16;
inline constexpr std::size_t kLineLength = 2 * kBytesPerLine;
inline constexpr std::size_t kLinesPerRead = kStagedWindowBytes / kBytesPerLine;  // 2,848
// No touchpad image comes near this (45,824 bytes are used, 64 KiB read);
// anything larger is refused before a line is staged, as every further 64 KiB
// stages 2,848 more lines (about 0.1 s each in the window) and holds the
// window meanwhile. Four reads at most.
inline constexpr std::uint64_t kMaxImageBytes = 4 * kReadBufferBytes;

// Two upper-case hex digits: 0x0A gives "0A", 0xFF gives "FF".
std::string ByteToHex(std::uint8_t value);

// The value whose ByteToHex text equals `text` exactly (case-sensitive);
// nothing for any other text ("0a", "A", " A", "0A ", "").
std::optional<std::uint8_t> StrToByte(std::string_view text);

// Where staged lines go: the window's line store and its progress display.
class StagedLineSink {
 public:
  virtual ~StagedLineSink() = default;
  // Appends one staged line as one entry of the line list.
  virtual void AppendStagedLine(std::string_view line) = 0;
  // Called after every appended line with the new value of the counter.
  virtual void StagedLineCountChanged(std::int32_t count) = 0;
};

// Appends one line per 16 bytes of `data` to `lines`, adding 1 to `counter`
// and reporting it after each line. A trailing partial line is not staged
// (callers always pass whole lines).
void AppendHexLines(std::span<const std::uint8_t> data, StagedLineSink& lines,
                    std::int32_t& counter);

// Raised when the image file cannot be opened; the message names the file.
class ImageOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How a staging run ended.
enum class StageOutcome {
  kStaged,          // read to its end (or to a read error)
  kNotRegularFile,  // a FIFO, device, directory, ...: nothing read
  kTooLarge,        // larger than kMaxImageBytes: nothing read
};
struct StageResult {
  StageOutcome outcome = StageOutcome::kStaged;
  std::uint64_t fileSize = 0;  // as opened; 0 when not a regular file
};

// Reads the image file into staged lines through a 64 KiB buffer that keeps
// its content between reads, so a short read stages the rest of its window
// from the previous read (zeros after ClearBuffer).
class ImageStager {
 public:
  ImageStager();

  // Zero-fills the read buffer; done at the start of every flashing run.
  void ClearBuffer();

  // Reads `path` in blocks of up to 64 KiB until a read returns nothing (end
  // of file or a read error) and stages the 45,568-byte window at offset 256
  // of the buffer after every read that returned data. Only a regular file of
  // at most kMaxImageBytes is read (opening never blocks); any other is
  // refused with nothing staged, and a file that grows while it is read is
  // read no further than the bound. The file is closed on every way out.
  // Throws ImageOpenError("Cannot open file <path>") when the file cannot be
  // opened; nothing is staged then.
  StageResult Stage(const std::string& path, StagedLineSink& lines, std::int32_t& counter);

 private:
  std::vector<std::uint8_t> buffer_;
};

}  // namespace touchpad
