#include "app/HistoryLogFile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "base/TextEncoding.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstddef>

namespace historylog {
namespace {

#ifdef _WIN32
int OpenForWriting(const std::string& path) {
  const std::u16string wide = hidplatform::Utf8ToUtf16(path);
  return ::_wopen(reinterpret_cast<const wchar_t*>(wide.c_str()),
                  _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}
int CloseFile(int fd) {
  return ::_close(fd);
}
#else
int OpenForWriting(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}
int CloseFile(int fd) {
  return ::close(fd);
}
#endif

// A file opened for writing, closed when it goes out of scope.
class WriteOnlyFile {
 public:
  explicit WriteOnlyFile(const std::string& path) : fd_(OpenForWriting(path)) {}
  ~WriteOnlyFile() {
    if (fd_ >= 0) CloseFile(fd_);
  }
  WriteOnlyFile(const WriteOnlyFile&) = delete;
  WriteOnlyFile& operator=(const WriteOnlyFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  bool WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const long wrote = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += static_cast<std::size_t>(wrote);
    }
    return true;
  }

  // Closing reports errors of delayed writes (network file systems, quotas).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return CloseFile(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

void WriteHistoryFile(const std::string& path, const std::vector<std::string>& lines) {
  WriteOnlyFile file(path);
  if (!file.IsOpen()) throw HistoryFileError("Cannot create file " + path);
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  // A log that did not reach the disk must not look saved.
  if (!file.WriteAll(text) || !file.Close()) throw HistoryFileError("Cannot write file " + path);
}

}  // namespace historylog
