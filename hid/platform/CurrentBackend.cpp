#include "hid/platform/HidBackend.h"

#if defined(_WIN32)
#include "hid/platform/windows/WindowsHidBackend.h"
#else
#include "hid/platform/linux/LinuxHidBackend.h"
#endif

namespace hidplatform {
namespace {

HidBackend*& Override() {
  static HidBackend* backend = nullptr;
  return backend;
}

HidBackend& PlatformBackend() {
#if defined(_WIN32)
  static WindowsHidBackend backend{WindowsHidBackend::Options{}};
#else
  static LinuxHidBackend backend{LinuxHidBackend::Options{}};
#endif
  return backend;
}

}  // namespace

HidBackend& CurrentBackend() {
  if (HidBackend* replaced = Override()) return *replaced;
  return PlatformBackend();
}

ScopedBackend::ScopedBackend(HidBackend& backend) : previous_(Override()) {
  Override() = &backend;
}

ScopedBackend::~ScopedBackend() {
  Override() = previous_;
}

}  // namespace hidplatform
