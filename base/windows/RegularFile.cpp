#include "base/RegularFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace hidplatform {

RegularFileReader::RegularFileReader(const std::string& path) {
  // Names arrive as UTF-8; narrow names there are in the ANSI code page.
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  fd_ = _wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd_ < 0) return;
  struct _stat64 info {};
  if (_fstat64(fd_, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    status_ = Status::kNotRegular;
    _close(fd_);
    fd_ = -1;
    return;
  }
  status_ = Status::kOpen;
  size_ = static_cast<std::uint64_t>(info.st_size);
}

RegularFileReader::~RegularFileReader() {
  if (fd_ >= 0) _close(fd_);
}

std::size_t RegularFileReader::Read(std::span<std::uint8_t> into) {
  std::size_t filled = 0;
  while (fd_ >= 0 && !failed_ && filled < into.size()) {
    const int got =
        _read(fd_, into.data() + filled,
              static_cast<unsigned>(std::min<std::size_t>(into.size() - filled, 1 << 20)));
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else {
      failed_ = true;
    }
  }
  return filled;
}

}  // namespace hidplatform
