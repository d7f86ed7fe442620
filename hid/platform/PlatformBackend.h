// The platform's own backend, for CurrentBackend alone: each system's folder
// (linux/, windows/) defines it, so the shared code chooses none.
#pragma once

#include "hid/platform/HidBackend.h"

namespace hidplatform {

// Made on first use, for the rest of the process.
HidBackend& PlatformBackend();

}  // namespace hidplatform
