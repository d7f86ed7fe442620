#include "hid/platform/PlatformBackend.h"

#include "hid/platform/windows/WindowsHidBackend.h"

namespace hidplatform {

HidBackend& PlatformBackend() {
  static WindowsHidBackend backend{WindowsHidBackend::Options{}};
  return backend;
}

}  // namespace hidplatform
