#include "hid/platform/Hid.h"

#include "hid/platform/HidBackend.h"

namespace hidplatform {
namespace {
HidBackend* boundBackend = nullptr;
}  // namespace

bool BindHid() {
  if (boundBackend != nullptr) return true;
  HidBackend& backend = CurrentBackend();
  if (!backend.BindHidAccess()) return false;
  boundBackend = &backend;
  return true;
}

void ReleaseHid() {
  if (boundBackend == nullptr) return;
  boundBackend->ReleaseHidAccess();
  boundBackend = nullptr;
}

bool IsHidBound() {
  return boundBackend != nullptr;
}

}  // namespace hidplatform
