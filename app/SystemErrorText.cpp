#include "app/SystemErrorText.h"

#include <algorithm>

#include "base/HexText.h"
#include "hid/platform/HidBackend.h"

std::string SystemErrorMessage(std::uint32_t code) {
  switch (code) {
    case hidplatform::kErrorSuccess:
      return "The operation completed successfully.\r\n";
    case hidplatform::kErrorFileNotFound:
      return "The system cannot find the file specified.\r\n";
    case hidplatform::kErrorAccessDenied:
      return "Access is denied.\r\n";
    case hidplatform::kErrorInvalidHandle:
      return "The handle is invalid.\r\n";
    case hidplatform::kErrorGenFailure:
      return "A device attached to the system is not functioning.\r\n";
    case hidplatform::kErrorInsufficientBuffer:
      return "The data area passed to a system call is too small.\r\n";
    case hidplatform::kErrorOperationAborted:
      return "The I/O operation has been aborted because of either a thread exit or an application "
             "request.\r\n";
    case hidplatform::kErrorIoPending:
      return "Overlapped I/O operation is in progress.\r\n";
    case hidplatform::kErrorDeviceNotConnected:
      return "The device is not connected.\r\n";
    default:
      return "Unknown error " + std::to_string(code) + ".";
  }
}

std::string TrimErrorMessage(std::string_view message) {
  std::size_t length = std::min<std::size_t>(message.size(), 255);
  // A cut inside a multi-byte sequence goes back to its first byte.
  if (length < message.size()) {
    while (length > 0 && (static_cast<unsigned char>(message[length]) & 0xC0) == 0x80) --length;
  }
  while (length > 0) {
    const auto last = static_cast<unsigned char>(message[length - 1]);
    if (last == ' ' || last == '.' || last < 0x20 || last == 0x7F) {
      --length;
    } else {
      break;
    }
  }
  return std::string(message.substr(0, length));
}

std::string ErrorLogText(std::uint32_t code) {
  return TrimErrorMessage(SystemErrorMessage(code)) + " (" + UpperHex(code) + ")";
}
