#include "app/SystemErrorText.h"

#include "base/HexText.h"
#include "hid/platform/ErrorMessage.h"

std::string ErrorLogText(std::uint32_t code) {
  return hidplatform::ShortErrorMessage(code) + " (" + UpperHex(code) + ")";
}
