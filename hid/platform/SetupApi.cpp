#include "hid/platform/SetupApi.h"

#include "hid/platform/HidBackend.h"

namespace hidplatform {
namespace {
std::int32_t refCount = 0;
HidBackend* boundBackend = nullptr;
}  // namespace

std::int32_t SetupApiRefCount() {
  return refCount;
}

bool BindSetupApi() {
  if (refCount > 0) {
    ++refCount;
    return true;
  }
  // A failed binding takes no reference: otherwise the next caller would be
  // told "already bound" for a library that never loaded.
  HidBackend& backend = CurrentBackend();
  if (!backend.BindEnumeration()) return false;
  boundBackend = &backend;
  refCount = 1;
  return true;
}

void ReleaseSetupApi() {
  if (refCount <= 0) return;
  if (--refCount == 0) {
    boundBackend->ReleaseEnumeration();
    boundBackend = nullptr;
  }
}

}  // namespace hidplatform
