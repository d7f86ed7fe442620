// Decodes JPEG data into a QImage with libjpeg-turbo.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

struct JpegDecodeResult {
  QImage image;  // null when decoding failed
  QString error;
};

JpegDecodeResult DecodeJpeg(const QByteArray& data);

// Reads a JPEG file (also a Qt resource path) and decodes it.
JpegDecodeResult LoadJpeg(const QString& path);
