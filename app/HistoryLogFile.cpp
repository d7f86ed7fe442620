#include "app/HistoryLogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>

#include <cerrno>

namespace historylog {
namespace {

// A file opened for writing, closed when it goes out of scope.
class WriteOnlyFile {
 public:
  explicit WriteOnlyFile(const QByteArray& path)
      : fd_(::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}
  ~WriteOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  WriteOnlyFile(const WriteOnlyFile&) = delete;
  WriteOnlyFile& operator=(const WriteOnlyFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  bool WriteAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t wrote =
          ::write(fd_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += wrote;
    }
    return true;
  }

  // Closing reports errors of delayed writes (network file systems, quotas).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

void WriteHistoryFile(const QString& path, const QStringList& lines) {
  const std::string name = path.toLocal8Bit().toStdString();
  WriteOnlyFile file(path.toLocal8Bit());
  if (!file.IsOpen()) throw HistoryFileError("Cannot create file " + name);
  QByteArray text;
  for (const QString& line : lines) {
    text += line.toLocal8Bit();
    text += "\r\n";
  }
  // A log that did not reach the disk must not look saved.
  if (!file.WriteAll(text) || !file.Close()) throw HistoryFileError("Cannot write file " + name);
}

}  // namespace historylog
