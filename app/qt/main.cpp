// kbupdate: the keyboard firmware update window, on Qt.
#include <memory>

#include "app/DevReader.h"
#include "app/Usage.h"
#include "app/qt/Application.h"
#include "app/qt/ProcessBurnerLauncher.h"
#include "app/qt/QtToolkit.h"
#include "version/StandardOptions.h"

int main(int argc, char** argv) {
  // Answered before the application object exists, so it needs no display.
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "kbupdate", kKbupdateUsage)) return 0;
  TApplication app(argc, argv);
  qtui::QtToolkit toolkit;
  TbootloaderFORM bootloaderFORM(toolkit, std::make_unique<ProcessBurnerLauncher>());
  bootloaderFORM.Window().Show();
  return TApplication::exec();
}
