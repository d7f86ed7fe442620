// kbupdate: the keyboard firmware update window, on Qt.
#include <memory>

#include "app/DevReader.h"
#include "app/qt/Application.h"
#include "app/qt/ProcessBurnerLauncher.h"
#include "app/qt/QtToolkit.h"
#include "version/StandardOptions.h"

namespace {

constexpr const char* kUsage =
    "usage: kbupdate [--help | --version]\n"
    "Opens the firmware update window for the USB keyboard with touchpad.\n"
    "\"Update\" restarts the keyboard into its boot loader and starts mcuprog with\n"
    "the firmware file USBKeyboard.MTP from kbupdate's own directory.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the application object exists, so it needs no display.
  if (argc == 2 && kbversion::AnswerStandardOption(argv[1], "kbupdate", kUsage)) return 0;
  TApplication app(argc, argv);
  qtui::QtToolkit toolkit;
  TbootloaderFORM bootloaderFORM(toolkit, std::make_unique<ProcessBurnerLauncher>());
  bootloaderFORM.Window().Show();
  return TApplication::exec();
}
