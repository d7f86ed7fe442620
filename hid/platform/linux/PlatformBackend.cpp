#include "hid/platform/PlatformBackend.h"

#include "hid/platform/linux/LinuxHidBackend.h"

namespace hidplatform {

HidBackend& PlatformBackend() {
  static LinuxHidBackend backend{LinuxHidBackend::Options{}};
  return backend;
}

}  // namespace hidplatform
