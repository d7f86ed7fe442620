// The Windows texts of the codes the Linux backend and the virtual bus
// report, so that logs read the same on both platforms.
#include "hid/platform/ErrorMessage.h"

#include "hid/platform/HidBackend.h"

namespace hidplatform {

std::string SystemErrorMessage(std::uint32_t code) {
  switch (code) {
    case kErrorSuccess:
      return "The operation completed successfully.\r\n";
    case kErrorInvalidFunction:
      return "Incorrect function.\r\n";
    case kErrorFileNotFound:
      return "The system cannot find the file specified.\r\n";
    case kErrorAccessDenied:
      return "Access is denied.\r\n";
    case kErrorInvalidHandle:
      return "The handle is invalid.\r\n";
    case kErrorGenFailure:
      return "A device attached to the system is not functioning.\r\n";
    case kErrorInsufficientBuffer:
      return "The data area passed to a system call is too small.\r\n";
    case kErrorOperationAborted:
      return "The I/O operation has been aborted because of either a thread exit or an application "
             "request.\r\n";
    case kErrorIoPending:
      return "Overlapped I/O operation is in progress.\r\n";
    case kErrorDeviceNotConnected:
      return "The device is not connected.\r\n";
    default:
      return "Unknown error " + std::to_string(code) + ".";
  }
}

}  // namespace hidplatform
