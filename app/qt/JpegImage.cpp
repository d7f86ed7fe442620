#include "app/qt/JpegImage.h"

#include <turbojpeg.h>

#include <QFile>

#include <memory>

namespace {

struct TurboJpegDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegDeleter>;

QString LastTurboJpegError(void* handle) {
  return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

}  // namespace

JpegDecodeResult DecodeJpeg(const QByteArray& data) {
  JpegDecodeResult result;
  if (data.isEmpty()) {
    result.error = QStringLiteral("no JPEG data");
    return result;
  }
  TurboJpegHandle handle(tjInitDecompress());
  if (!handle) {
    result.error = QStringLiteral("cannot start the JPEG decoder");
    return result;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  const auto size = static_cast<unsigned long>(data.size());
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(handle.get(), bytes, size, &width, &height, &subsampling, &colorspace) !=
      0) {
    result.error = LastTurboJpegError(handle.get());
    return result;
  }
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    result.error = QStringLiteral("JPEG size %1 x %2 is not supported").arg(width).arg(height);
    return result;
  }
  QImage image(width, height, QImage::Format_RGB888);
  if (image.isNull()) {
    result.error = QStringLiteral("out of memory for a %1 x %2 picture").arg(width).arg(height);
    return result;
  }
  // Rows of a QImage are padded to four bytes; the pitch tells the decoder.
  if (tjDecompress2(handle.get(), bytes, size, image.bits(), width,
                    static_cast<int>(image.bytesPerLine()), height, TJPF_RGB, 0) != 0) {
    // A warning (for example a truncated stream) still fills the picture, but
    // a damaged picture is not shown.
    result.error = LastTurboJpegError(handle.get());
    return result;
  }
  result.image = std::move(image);
  return result;
}

JpegDecodeResult LoadJpeg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    JpegDecodeResult result;
    result.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
    return result;
  }
  return DecodeJpeg(file.readAll());
}
