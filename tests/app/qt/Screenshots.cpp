// Renders the update window in the states of an update, driven by devices on
// the virtual bus, to PNG files: NotConnected, KeyboardReady,
// UpdateRequested, KeyboardGone and BootLoaderFound.
//
// Usage: kbupdate_screenshots OUTPUT_DIRECTORY
#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/DevReader.h"
#include "app/qt/QtToolkit.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/support/Drive.h"
#include "tests/support/EmulatedDevices.h"

namespace {

class NoLaunch : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string&, const std::string&) override { return {true, {}}; }
};

bool Save(TbootloaderFORM& form, const QDir& directory, const char* state) {
  const QString path = directory.filePath(QStringLiteral("%1.png").arg(QLatin1String(state)));
  if (!qtui::WidgetOf(form.Window()).grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(directory.absolutePath())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  bus.Plug(apptest::MakeOtherDevice());
  qtui::QtToolkit toolkit;
  auto form = std::make_unique<TbootloaderFORM>(toolkit, std::make_unique<NoLaunch>());
  int changes = 0;
  form->DeviceChangeHandled = [&] { ++changes; };
  form->Window().Show();
  auto waitFor = [&](auto condition, const char* what) {
    if (!QTest::qWaitFor(condition, 10000)) {
      std::fprintf(stderr, "timed out waiting for %s\n", what);
      std::exit(1);
    }
    QTest::qWait(50);  // let the last repaint through
  };
  waitFor([&] { return changes >= 1; }, "the first device change");
  bool ok = Save(*form, directory, "NotConnected");

  const std::uint32_t keyboard = bus.Plug(apptest::MakeKeyboard(6, 0x0105));
  waitFor([&] { return changes >= 2; }, "the keyboard");
  ok = Save(*form, directory, "KeyboardReady") && ok;

  testsupport::Click(*form->ColorBtn1);
  ok = Save(*form, directory, "UpdateRequested") && ok;

  bus.Unplug(keyboard);
  waitFor([&] { return changes >= 3 && !form->Timer4->Enabled(); }, "the removal timer");
  ok = Save(*form, directory, "KeyboardGone") && ok;

  bus.Plug(apptest::MakeBootLoader());
  waitFor([&] { return changes >= 4; }, "the boot loader");
  ok = Save(*form, directory, "BootLoaderFound") && ok;
  form.reset();
  return ok ? 0 : 1;
}
