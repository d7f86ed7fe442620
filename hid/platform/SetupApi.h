// Binding of the enumeration ("setup") side of the current backend, counted:
// every successful BindSetupApi needs one ReleaseSetupApi.
#pragma once

#include <cstdint>

namespace hidplatform {

// Number of outstanding successful bindings.
std::int32_t SetupApiRefCount();

// True when enumeration is available; all or nothing.
bool BindSetupApi();
// Drops one binding; the last one unbinds.
void ReleaseSetupApi();

}  // namespace hidplatform
