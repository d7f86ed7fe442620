#include "touchpad/TouchpadImage.h"

#include <algorithm>
#include <array>

#include "base/HexText.h"
#include "base/RegularFile.h"

namespace touchpad {
namespace {

// Value of one upper-case hex digit, or -1. Lower-case digits are no digits
// here: staged text is always upper case and must round-trip exactly.
int UpperHexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ByteToHex(std::uint8_t value) {
  return UpperHex(value, 2);
}

std::optional<std::uint8_t> StrToByte(std::string_view text) {
  if (text.size() != 2) return std::nullopt;
  const int high = UpperHexDigitValue(text[0]);
  const int low = UpperHexDigitValue(text[1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high * 16 + low);
}

void AppendHexLines(std::span<const std::uint8_t> data, StagedLineSink& lines,
                    std::int32_t& counter) {
  std::array<char, kLineLength> line{};
  const std::size_t wholeLines = data.size() / kBytesPerLine;
  for (std::size_t l = 0; l < wholeLines; ++l) {
    for (std::size_t b = 0; b < kBytesPerLine; ++b) {
      const std::uint8_t value = data[l * kBytesPerLine + b];
      line[2 * b] = kUpperHexDigits[value >> 4];
      line[2 * b + 1] = kUpperHexDigits[value & 0x0F];
    }
    lines.AppendStagedLine(std::string_view(line.data(), line.size()));
    ++counter;
    lines.StagedLineCountChanged(counter);
  }
}

ImageStager::ImageStager() : buffer_(kReadBufferBytes, 0) {}

void ImageStager::ClearBuffer() {
  std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
}

StageResult ImageStager::Stage(const std::string& path, StagedLineSink& lines,
                               std::int32_t& counter) {
  hidplatform::RegularFileReader file(path);
  switch (file.OpenStatus()) {
    case hidplatform::RegularFileReader::Status::kCannotOpen:
      throw ImageOpenError("Cannot open file " + path);
    case hidplatform::RegularFileReader::Status::kNotRegular:
      return {StageOutcome::kNotRegularFile, 0};
    case hidplatform::RegularFileReader::Status::kOpen:
      break;
  }
  if (file.Size() > kMaxImageBytes) return {StageOutcome::kTooLarge, file.Size()};
  const std::span<const std::uint8_t> window(buffer_.data() + kStagedWindowOffset,
                                             kStagedWindowBytes);
  for (std::uint64_t read = 0; read < kMaxImageBytes;) {
    const std::size_t got = file.Read(buffer_);
    if (got == 0) break;
    read += got;
    AppendHexLines(window, lines, counter);
  }
  return {StageOutcome::kStaged, file.Size()};
}

}  // namespace touchpad
