// The hidden top-level window that hears of devices on the main thread: the
// platform's broadcast WM_DEVICECHANGE (DBT_DEVNODES_CHANGED), which reaches
// top-level windows only, so it is not a message-only window; and the HID
// interface arrivals and removals it registers for, which are all Wine sends.
// A burst of them is one change.
#pragma once

#include <functional>
#include <memory>

#include "hid/platform/MainLoop.h"

namespace hidplatform {

// Null when the window cannot be made.
std::unique_ptr<SourceWatch> MakeDeviceChangeWindow(std::function<void()> onChange);

}  // namespace hidplatform
