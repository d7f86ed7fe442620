#include "app/TouchpadImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace touchpad {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// Value of one upper-case hex digit, or -1. Lower-case digits are no digits
// here: staged text is always upper case and must round-trip exactly.
int UpperHexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An open read-only file descriptor, closed when it goes out of scope.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  // Fills `into` as far as the file allows. Returns the byte count; a read
  // error ends the fill and is remembered, so the next call returns 0.
  std::size_t Read(std::span<std::uint8_t> into) {
    std::size_t filled = 0;
    while (!failed_ && filled < into.size()) {
      const ssize_t got = ::read(fd_, into.data() + filled, into.size() - filled);
      if (got > 0) {
        filled += static_cast<std::size_t>(got);
      } else if (got == 0) {
        break;
      } else if (errno != EINTR) {
        failed_ = true;
      }
    }
    return filled;
  }

 private:
  int fd_;
  bool failed_ = false;
};

}  // namespace

std::string ByteToHex(std::uint8_t value) {
  return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
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
      line[2 * b] = kHexDigits[value >> 4];
      line[2 * b + 1] = kHexDigits[value & 0x0F];
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

void ImageStager::Stage(const std::string& path, StagedLineSink& lines, std::int32_t& counter) {
  ReadOnlyFile file(path);
  if (!file.IsOpen()) throw ImageOpenError("Cannot open file " + path);
  const std::span<const std::uint8_t> window(buffer_.data() + kStagedWindowOffset,
                                             kStagedWindowBytes);
  while (file.Read(buffer_) != 0) AppendHexLines(window, lines, counter);
}

}  // namespace touchpad
