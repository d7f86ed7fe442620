#include "hid/platform/HidBackend.h"

#include "hid/platform/PlatformBackend.h"

namespace hidplatform {
namespace {

HidBackend*& Override() {
  static HidBackend* backend = nullptr;
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
