// How long kbupdate's window takes from its creation to the end of its first
// device change, with 0 and with 100 virtual HID devices, and the process's
// memory afterwards. The same source runs on the Qt and the Windows window
// (BenchPlatform.h); the figures are measured inside the process, so the
// start of the process (or of Wine) is not counted.
//
// Usage: window_startup_bench [repetitions] [-v]   (-v: every run's time too)
// Prints one line per device count: "devices first_ms median_ms max_ms mem_MiB
// made_ms", made_ms being the median time to the window with its controls,
// before it is shown and the first device change runs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/DevReader.h"
#include "bench/app/BenchPlatform.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/support/EmulatedDevices.h"

namespace {

class NoLaunch : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string&, const std::string&) override { return {true, {}}; }
};

struct Start {
  double made = 0;     // the window and its controls exist, not yet shown
  double changed = 0;  // the first device change was handled
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  return elapsed.count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Milliseconds from the window's creation to its controls and to the end of
// its first change.
Start StartOnce(ui::Toolkit& toolkit, int devices) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  // A realistic mix: the keyboard's six interfaces, the rest other devices.
  if (devices >= 6) bus.Plug(apptest::MakeKeyboard(6));
  for (int i = devices >= 6 ? 6 : 0; i < devices; ++i) {
    bus.Plug(apptest::MakeOtherDevice(0x1000, static_cast<std::uint16_t>(i)));
  }
  const auto start = std::chrono::steady_clock::now();
  TbootloaderFORM form(toolkit, std::make_unique<NoLaunch>());
  Start times;
  times.made = MillisecondsSince(start);
  bool changed = false;
  form.DeviceChangeHandled = [&] { changed = true; };
  form.Window().Show();
  if (!toolkit.RunUntil([&] { return changed; }, std::chrono::minutes(1))) {
    std::fprintf(stderr, "no device change within a minute\n");
    std::exit(1);
  }
  times.changed = MillisecondsSince(start);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const auto platform = bench::MakeBenchPlatform(argc, argv);
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const bool everyRun = argc > 2 && std::string(argv[2]) == "-v";
  std::printf("kbupdate window (%s): creation to end of first device change, virtual bus\n",
              platform->Name());
  std::printf("%8s %10s %10s %10s %10s %10s\n", "devices", "first_ms", "median_ms", "max_ms",
              "mem_MiB", "made_ms");
  for (int devices : {0, 100}) {
    std::vector<double> changed;
    std::vector<double> made;
    for (int r = 0; r < repetitions; ++r) {
      const Start start = StartOnce(platform->Toolkit(), devices);
      changed.push_back(start.changed);
      made.push_back(start.made);
      if (everyRun) std::printf("  run %d: %.1f ms\n", r + 1, start.changed);
    }
    std::printf("%8d %10.1f %10.1f %10.1f %10.1f %10.1f\n", devices, changed.front(),
                Median(changed), *std::max_element(changed.begin(), changed.end()),
                static_cast<double>(platform->ResidentKiB()) / 1024.0, Median(made));
    std::fflush(stdout);
  }
  std::printf("targets: under 300 ms, under 80 MB\n");
  return 0;
}
