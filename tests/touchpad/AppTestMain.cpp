// Runs window tests inside the application object, whose handler turns an
// exception escaping an event handler into the error box's message.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Application.h"
#include "tests/touchpad/AppErrors.h"

namespace {
QStringList reportedErrors;
}  // namespace

QStringList apptest::TakeReportedErrors() {
  QStringList taken;
  taken.swap(reportedErrors);
  return taken;
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  app.SetErrorReporter([](const QString& message) { reportedErrors << message; });
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
