// How long kbupdate's window takes from its creation to the end of its first
// device change, with 0 and with 100 virtual HID devices, beside the floor of
// its front end: a bare window of the same client size, made, shown and given
// one pass of the event loop (BenchPlatform::BareWindowMilliseconds). The
// ratio of the two says what the window costs beyond any window; absolute
// times depend on the machine (and under emulation mean little). The same
// source runs on the Qt and the Windows window (BenchPlatform.h); the figures
// are measured inside the process, so the start of the process (or of Wine)
// is not counted. A benchmark: it prints figures and fails on no time.
//
// Usage: window_startup_bench [repetitions] [-v]   (-v: every run's time too)
// Prints one line per device count: "devices first_ms median_ms max_ms mem_MiB
// made_ms bare_ms ratio min_ms bare_min ratio_min", made_ms being the median time to the window
// with its controls, before it is shown and the first device change runs, bare_ms the bare window's
// median over as many runs (taken between the window's runs) and ratio median_ms / bare_ms; then
// min_ms, bare_min_ms and their ratio: on a busy machine the fastest runs tell the cost with the
// least interference. Last the cost of one arrival, (median_ms at 100 - median_ms at 0) / 100, and
// the same of the fastest runs.
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
#include "tests/support/Drive.h"
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
  if (!testsupport::RunUntil([&] { return changed; }, std::chrono::minutes(1))) {
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
  const ui::FormLayout form = TbootloaderFORM::FormDescription();
  std::printf("kbupdate window (%s): creation to end of first device change, virtual bus;\n",
              platform->Name());
  std::printf("bare: a bare window of %d x %d, made, shown, one pass of the event loop\n",
              form.clientWidth, form.clientHeight);
  std::printf("%8s %10s %10s %10s %10s %10s %10s %8s %8s %8s %8s\n", "devices", "first_ms",
              "median_ms", "max_ms", "mem_MiB", "made_ms", "bare_ms", "ratio", "min_ms", "bare_min",
              "ratio_min");
  // The device counts take turns, each run followed by a bare window, so
  // that a change in the machine's load falls on both alike.
  struct Series {
    int devices;
    std::vector<double> changed, made, bare;
  };
  Series series[] = {{0, {}, {}, {}}, {100, {}, {}, {}}};
  for (int r = 0; r < repetitions; ++r) {
    for (Series& s : series) {
      const Start start = StartOnce(platform->Toolkit(), s.devices);
      s.changed.push_back(start.changed);
      s.made.push_back(start.made);
      s.bare.push_back(platform->BareWindowMilliseconds(form.clientWidth, form.clientHeight));
      if (everyRun) {
        std::printf("  run %d, %d devices: %.1f ms, bare %.1f ms\n", r + 1, s.devices,
                    start.changed, s.bare.back());
      }
    }
  }
  double median[2] = {};
  double fastest[2] = {};
  for (int i = 0; i < 2; ++i) {
    const Series& s = series[i];
    median[i] = Median(s.changed);
    fastest[i] = *std::min_element(s.changed.begin(), s.changed.end());
    const double bareMedian = Median(s.bare);
    const double bareFastest = *std::min_element(s.bare.begin(), s.bare.end());
    std::printf("%8d %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f %8.2f %8.1f %8.1f %8.2f\n",
                s.devices, s.changed.front(), median[i],
                *std::max_element(s.changed.begin(), s.changed.end()),
                static_cast<double>(platform->ResidentKiB()) / 1024.0, Median(s.made), bareMedian,
                bareMedian > 0 ? median[i] / bareMedian : 0.0, fastest[i], bareFastest,
                bareFastest > 0 ? fastest[i] / bareFastest : 0.0);
  }
  std::printf("arrival_ms %.3f %.3f\n", (median[1] - median[0]) / 100.0,
              (fastest[1] - fastest[0]) / 100.0);
  std::printf(
      "targets: ratio at most 1.5 with 0 devices, arrival_ms at most 0.3; under 300 ms, under "
      "80 MB\n");
  return 0;
}
