// How tests, benchmarks and screenshot programs act as the user on a window
// of the platform's front end: clicks, resizing, waiting on the event loop.
// The window itself never needs these; each front end's version is in
// tests/support/qt/ or tests/support/win32/ (library kb_test_drive).
#pragma once

#include <chrono>
#include <functional>

#include "ui/Controls.h"
#include "ui/Form.h"

namespace testsupport {

// A click as the user makes it, through the toolkit: nothing happens while
// the button is disabled or hidden by its own flag.
void Click(ui::Button& button);

// The user's click on a row, through the toolkit: nothing happens while the
// list is disabled or for a row it does not have.
void ClickItem(ui::ListBox& list, int index);

// Resizes the form's client area as the user's drag of the frame would
// (tests of anchors).
void SetClientSize(ui::Form& form, int width, int height);

// Runs the front end's event loop until done() is true or the limit passed;
// false at the limit.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace testsupport
