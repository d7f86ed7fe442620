// Reading a file that must be a regular file. Opening never blocks (a FIFO
// named like the file would wait for a writer for ever), and a FIFO, device,
// directory or socket is refused, so every read has the bound of a file's
// size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace hidplatform {

class RegularFileReader {
 public:
  enum class Status {
    kOpen,
    kCannotOpen,  // missing, no permission, ...
    kNotRegular,  // opened, but not a regular file: closed again at once
  };

  explicit RegularFileReader(const std::string& path);
  ~RegularFileReader();
  RegularFileReader(const RegularFileReader&) = delete;
  RegularFileReader& operator=(const RegularFileReader&) = delete;

  Status OpenStatus() const { return status_; }
  bool IsOpen() const { return status_ == Status::kOpen; }
  // The size when it was opened; 0 unless open.
  std::uint64_t Size() const { return size_; }

  // Fills `into` as far as the file allows and returns the byte count. A read
  // error ends the fill and is remembered: Failed() is true from then on and
  // every later call returns 0.
  std::size_t Read(std::span<std::uint8_t> into);
  bool Failed() const { return failed_; }

 private:
  int fd_ = -1;
  Status status_ = Status::kCannotOpen;
  std::uint64_t size_ = 0;
  bool failed_ = false;
};

}  // namespace hidplatform
