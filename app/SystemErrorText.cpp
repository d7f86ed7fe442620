#include "app/SystemErrorText.h"

#include "hid/info/HexText.h"
#include "hid/platform/HidBackend.h"

QString SystemErrorMessage(std::uint32_t code) {
  switch (code) {
    case hidplatform::kErrorSuccess:
      return QStringLiteral("The operation completed successfully.\r\n");
    case hidplatform::kErrorFileNotFound:
      return QStringLiteral("The system cannot find the file specified.\r\n");
    case hidplatform::kErrorAccessDenied:
      return QStringLiteral("Access is denied.\r\n");
    case hidplatform::kErrorInvalidHandle:
      return QStringLiteral("The handle is invalid.\r\n");
    case hidplatform::kErrorGenFailure:
      return QStringLiteral("A device attached to the system is not functioning.\r\n");
    case hidplatform::kErrorInsufficientBuffer:
      return QStringLiteral("The data area passed to a system call is too small.\r\n");
    case hidplatform::kErrorOperationAborted:
      return QStringLiteral(
          "The I/O operation has been aborted because of either a thread exit or an application "
          "request.\r\n");
    case hidplatform::kErrorIoPending:
      return QStringLiteral("Overlapped I/O operation is in progress.\r\n");
    case hidplatform::kErrorDeviceNotConnected:
      return QStringLiteral("The device is not connected.\r\n");
    default:
      return QStringLiteral("Unknown error %1.").arg(code);
  }
}

QString TrimErrorMessage(const QString& message) {
  QString text = message.left(255);
  while (!text.isEmpty()) {
    const QChar last = text.back();
    if (last.isSpace() || last.category() == QChar::Other_Control || last == QLatin1Char('.')) {
      text.chop(1);
    } else {
      break;
    }
  }
  return text;
}

QString ErrorLogText(std::uint32_t code) {
  return QStringLiteral("%1 (%2)").arg(TrimErrorMessage(SystemErrorMessage(code)), UpperHex(code));
}
