// Runs window tests on the platform's toolkit (tests/support/TestToolkit.h).
#include <gtest/gtest.h>

#include "tests/support/TestToolkit.h"

int main(int argc, char** argv) {
  testsupport::InitTestToolkit(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  testsupport::ShutdownTestToolkit();
  return result;
}
