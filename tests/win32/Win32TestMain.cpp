// The Windows window tests: one toolkit for the whole program, made on the
// main thread before any test runs.
#include <gtest/gtest.h>

#include "tests/win32/Win32TestSupport.h"

namespace win32test {

win32::Win32Toolkit& Toolkit() {
  static win32::Win32Toolkit toolkit;
  return toolkit;
}

}  // namespace win32test

int main(int argc, char** argv) {
  win32test::Toolkit();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
