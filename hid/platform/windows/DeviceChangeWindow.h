// The hidden top-level window that receives the platform's broadcast
// WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) on the main thread. Broadcasts reach
// top-level windows only, so it is not a message-only window.
#pragma once

#include <functional>
#include <memory>

#include "hid/platform/MainLoop.h"

namespace hidplatform {

// Null when the window cannot be made.
std::unique_ptr<SourceWatch> MakeDeviceChangeWindow(std::function<void()> onChange);

}  // namespace hidplatform
