// Controls that lie outside the visible client area (the developer and
// touchpad controls of the update window) must not be reachable by Tab or a
// shortcut: a user would act on a control they cannot see. Both front ends
// decide with this one test.
#pragma once

#include "ui/Controls.h"

namespace ui {

// Whether a control placed at `placed` (in the client area's coordinates)
// lies wholly inside a client area of the given size.
inline bool WhollyInsideClientArea(const Rect& placed, int clientWidth, int clientHeight) {
  return placed.left >= 0 && placed.top >= 0 && placed.left + placed.width <= clientWidth &&
         placed.top + placed.height <= clientHeight;
}

}  // namespace ui
