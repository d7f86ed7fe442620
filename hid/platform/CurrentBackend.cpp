#include "hid/platform/HidBackend.h"
#include "hid/platform/linux/LinuxHidBackend.h"

namespace hidplatform {
namespace {

HidBackend*& Override() {
  static HidBackend* backend = nullptr;
  return backend;
}

}  // namespace

HidBackend& CurrentBackend() {
  if (HidBackend* replaced = Override()) return *replaced;
  static LinuxHidBackend platformBackend{LinuxHidBackend::Options{}};
  return platformBackend;
}

ScopedBackend::ScopedBackend(HidBackend& backend) : previous_(Override()) {
  Override() = &backend;
}

ScopedBackend::~ScopedBackend() {
  Override() = previous_;
}

}  // namespace hidplatform
