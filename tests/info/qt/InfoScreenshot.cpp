// Renders the device information dialog for the emulated keyboard's command
// interface into <dir>/InfoDialog.png, for a look at the real layout.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <memory>

#include "app/info/Info.h"
#include "app/qt/QtToolkit.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/HidControllerClass.h"
#include "tests/support/EmulatedDevices.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString outputDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(outputDir);

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  // The keyboard as the window's screenshots show it, strings included.
  bus.Plug(apptest::MakeKeyboard(6));

  hid::THidDeviceController controller;
  controller.DeviceChange();
  // The interface that takes the command reports: the longest output report.
  // Only a claimed device answers queries; the others go back at once.
  std::unique_ptr<hid::THidDevice> device;
  int longest = -1;
  for (int index = 0; index < controller.DeviceCount(); ++index) {
    hid::THidDevice* claimed = nullptr;
    if (!controller.ClaimDeviceByIndex(claimed, index)) continue;
    std::unique_ptr<hid::THidDevice> candidate(claimed);
    hid::HIDP_CAPS caps;
    candidate->GetCapabilities(caps);
    if (caps.OutputReportByteLength > longest) {
      longest = caps.OutputReportByteLength;
      device = std::move(candidate);
    }
  }
  if (!device) {
    std::fprintf(stderr, "no emulated keyboard interface to show\n");
    return 1;
  }

  qtui::QtToolkit toolkit;
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  dialog.Window().Show();
  QApplication::processEvents();
  const QString path = QDir(outputDir).filePath(QStringLiteral("InfoDialog.png"));
  if (!qtui::WidgetOf(dialog.Window()).grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return 1;
  }
  std::printf("%s\n", qPrintable(path));
  return 0;
}
