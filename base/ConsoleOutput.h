// Text for a console program's standard output and error, UTF-8 on every
// platform.
#pragma once

#include <streambuf>
#include <string>
#include <string_view>

namespace hidplatform {

// Writes the text and flushes it, so it shows at once. On Windows a console
// gets it as UTF-16 (WriteConsoleW; bytes would be read in the console's code
// page) with CR LF line ends; a pipe or a file gets the UTF-8 bytes, also
// with CR LF. Linux writes the bytes as they are.
void WriteStandardOutput(std::string_view text);
void WriteStandardError(std::string_view text);

// A stream buffer that hands its text on line by line, and on every flush,
// through one of the functions above: a script reading a pipe sees each line
// when it is written, not when the buffer fills, and a line redrawn in place
// shows on each flush.
class ConsoleLineBuffer : public std::streambuf {
 public:
  using Writer = void (*)(std::string_view);
  explicit ConsoleLineBuffer(Writer writer) : writer_(writer) {}
  ConsoleLineBuffer(const ConsoleLineBuffer&) = delete;
  ConsoleLineBuffer& operator=(const ConsoleLineBuffer&) = delete;
  ~ConsoleLineBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  Writer writer_;
  std::string pending_;
};

}  // namespace hidplatform
