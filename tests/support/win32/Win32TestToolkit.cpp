// The test toolkit on Windows: the Win32 front end's toolkit. An exception
// that escapes a handler past the window's own guard is printed and counted
// as a failure instead of waiting in an error box for a person.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/win32/Win32Toolkit.h"
#include "tests/support/TestToolkit.h"

namespace testsupport {
namespace {
std::unique_ptr<win32::Win32Toolkit> toolkit;
}  // namespace

void InitTestToolkit(int& /*argc*/, char** /*argv*/) {
  toolkit = std::make_unique<win32::Win32Toolkit>();
  toolkit->SetErrorReporter([](std::string_view message) {
    ADD_FAILURE() << "an error reached the application's error box: " << message;
  });
}

void ShutdownTestToolkit() {
  toolkit.reset();
}

ui::Toolkit& PlatformToolkit() {
  return *toolkit;
}

}  // namespace testsupport
