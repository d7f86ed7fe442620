#include "base/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace hidplatform {

RegularFileReader::RegularFileReader(const std::string& path) {
  // O_NONBLOCK only matters for the open itself: it returns at once for a
  // FIFO, which fstat then refuses. Reads of a regular file ignore it.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) return;
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    status_ = Status::kNotRegular;
    ::close(fd_);
    fd_ = -1;
    return;
  }
  status_ = Status::kOpen;
  size_ = static_cast<std::uint64_t>(info.st_size);
}

RegularFileReader::~RegularFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t RegularFileReader::Read(std::span<std::uint8_t> into) {
  std::size_t filled = 0;
  while (fd_ >= 0 && !failed_ && filled < into.size()) {
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

}  // namespace hidplatform
