#include "isp/PlatformBinding.h"

#include "hid/platform/Hid.h"
#include "hid/platform/SetupApi.h"

namespace isp {

PlatformBinding::PlatformBinding() {
  setupBound_ = hidplatform::BindSetupApi();
  if (!setupBound_) return;
  const bool boundBefore = hidplatform::IsHidBound();
  hidAvailable_ = hidplatform::BindHid();
  hidBoundHere_ = hidAvailable_ && !boundBefore;
  if (!hidAvailable_) {
    hidplatform::ReleaseSetupApi();
    setupBound_ = false;
  }
}

PlatformBinding::~PlatformBinding() {
  if (hidBoundHere_) hidplatform::ReleaseHid();
  if (setupBound_) hidplatform::ReleaseSetupApi();
}

}  // namespace isp
