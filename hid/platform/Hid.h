// Binding of the HID-access side of the current backend. Not counted: bound
// once, released by the first ReleaseHid.
#pragma once

namespace hidplatform {

// True when HID access is available; all or nothing.
bool BindHid();
void ReleaseHid();
bool IsHidBound();

}  // namespace hidplatform
