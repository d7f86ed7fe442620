// What hidlist prints: one line per HID interface the controller sees.
#pragma once

#include <ostream>

namespace hidlist {

// Lists the interfaces of the current backend through a controller, as the
// update window would see them. Runs the platform's main loop until the
// first scan is done. Returns the exit code:
// 0 (also when nothing was found), 1 when HID access is not available.
int ListInterfaces(std::ostream& out, std::ostream& err);

}  // namespace hidlist
