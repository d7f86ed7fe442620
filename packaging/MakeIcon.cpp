// Makes the desktop icon from the window's picture: the picture scaled to the
// icon's width, centred on a square continued in its own top and bottom
// colours. Usage: kbupdate_icon PICTURE.jpg OUT.png SIZE
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "app/qt/JpegImage.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: kbupdate_icon PICTURE.jpg OUT.png SIZE\n", stderr);
    return 2;
  }
  const int size = std::atoi(argv[3]);
  const JpegDecodeResult picture = LoadJpeg(QString::fromLocal8Bit(argv[1]));
  if (picture.image.isNull() || size <= 0) {
    std::fprintf(stderr, "kbupdate_icon: %s\n", qPrintable(picture.error));
    return 1;
  }
  const QImage scaled = picture.image.scaledToWidth(size, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
  QImage icon(size, size, QImage::Format_RGB32);
  QPainter painter(&icon);
  const int top = (size - scaled.height()) / 2;
  painter.fillRect(0, 0, size, top + 1, scaled.pixelColor(size / 2, 0));
  painter.fillRect(0, top, size, size - top, scaled.pixelColor(size / 2, scaled.height() - 1));
  painter.drawImage(0, top, scaled);
  painter.end();
  if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "kbupdate_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
