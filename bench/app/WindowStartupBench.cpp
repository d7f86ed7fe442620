// How long kbupdate (offscreen) takes from the creation of its window to the
// end of its first device change, with 0 and with 100 virtual HID devices,
// and its resident memory afterwards.
//
// Usage: window_startup_bench [repetitions]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/DevReader.h"
#include "app/qt/QtToolkit.h"
#include "hid/platform/virtual/VirtualHidBus.h"
#include "tests/app/EmulatedDevices.h"

namespace {

class NoLaunch : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string&, const std::string&) override { return {true, {}}; }
};

long ResidentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
  }
  return -1;
}

// Milliseconds from the window's creation to the end of its first change.
double StartOnce(ui::Toolkit& toolkit, int devices) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  // A realistic mix: the keyboard's six interfaces, the rest other devices.
  if (devices >= 6) bus.Plug(apptest::MakeKeyboard(6));
  for (int i = devices >= 6 ? 6 : 0; i < devices; ++i) {
    bus.Plug(apptest::MakeOtherDevice(0x1000, static_cast<std::uint16_t>(i)));
  }
  QElapsedTimer timer;
  timer.start();
  TbootloaderFORM form(toolkit, std::make_unique<NoLaunch>());
  bool changed = false;
  form.DeviceChangeHandled = [&] { changed = true; };
  form.Window().Show();
  if (!toolkit.RunUntil([&] { return changed; }, std::chrono::minutes(1))) {
    std::fprintf(stderr, "no device change within a minute\n");
    std::exit(1);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  qtui::QtToolkit toolkit;
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("kbupdate start to end of first device change (offscreen, virtual bus)\n");
  std::printf("%8s %10s %10s %10s %12s\n", "devices", "first_ms", "median_ms", "max_ms", "rss_MiB");
  for (int devices : {0, 100}) {
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) times.push_back(StartOnce(toolkit, devices));
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("%8d %10.1f %10.1f %10.1f %12.1f\n", devices, first, times[times.size() / 2],
                times.back(), static_cast<double>(ResidentKiB()) / 1024.0);
  }
  std::printf("targets: under 300 ms, under 80 MB\n");
  return 0;
}
