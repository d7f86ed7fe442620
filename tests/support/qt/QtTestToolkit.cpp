// The test toolkit on Qt: the application object on the off-screen platform
// (so that an escaped exception reaches its error box, which a test's
// ScriptedToolkit answers) and the Qt front end's toolkit.
#include <cstdlib>
#include <memory>

#include "app/qt/Application.h"
#include "app/qt/QtToolkit.h"
#include "tests/support/TestToolkit.h"

namespace testsupport {
namespace {
std::unique_ptr<TApplication> application;
std::unique_ptr<qtui::QtToolkit> toolkit;
}  // namespace

void InitTestToolkit(int& argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  application = std::make_unique<TApplication>(argc, argv);
  toolkit = std::make_unique<qtui::QtToolkit>();
}

void ShutdownTestToolkit() {
  toolkit.reset();
  application.reset();
}

ui::Toolkit& PlatformToolkit() {
  return *toolkit;
}

}  // namespace testsupport
