// How long one device-change rescan of the Linux backend takes over a fake
// sysfs and /dev tree with 10, 100 and 1,000 hidraw nodes of three top-level
// collections each, and how much one node without its /dev entry adds.
// Prints figures; asserts nothing.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "emulator/SimpleDeviceModel.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/DBT.h"
#include "hid/platform/linux/LinuxHidBackend.h"
#include "tests/hid/FakeSysfsTree.h"

namespace {

using Clock = std::chrono::steady_clock;
using emulator::SimpleDeviceModel;

std::vector<std::uint8_t> ThreeCollections() {
  std::vector<std::uint8_t> descriptor;
  for (const auto& part : {SimpleDeviceModel::VendorDescriptor(9, 64, 64),
                           SimpleDeviceModel::VendorDescriptor(1, 8, 1, 0x01, 0x06),
                           SimpleDeviceModel::VendorDescriptor(2, 4, 0, 0x0C, 0x01)}) {
    descriptor.insert(descriptor.end(), part.begin(), part.end());
  }
  return descriptor;
}

std::string HidName(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "0003:2C7A:%04X.%04X", n & 0xFFFF, n + 1);
  return name;
}

struct Counter {
  int changes = 0;
  void Change(QObject*) { ++changes; }
};

void Notify(hid::THidDeviceController& c) {
  c.NotifyWindowProc(hidplatform::WM_DEVICECHANGE, hidplatform::DBT_DEVNODES_CHANGED, 0);
}

// This thread's processor time: on a shared machine the wall clock also
// counts the time other processes had the processor.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Time {
  double wallMs = 0;
  double cpuMs = 0;
};

Time MedianRescan(hid::THidDeviceController& c, int rounds) {
  std::vector<double> wall;
  std::vector<double> cpu;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuMs();
    Notify(c);
    cpu.push_back(ThreadCpuMs() - cpuStart);
    wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

struct Figures {
  int interfaces = 0;
  Time rescan;
  Time withMissingNode;
};

Figures Measure(int nodes) {
  hidtest::FakeTree tree;
  const auto descriptor = ThreeCollections();
  for (int n = 0; n < nodes; ++n) {
    tree.AddUsb("hidraw" + std::to_string(n), HidName(n), descriptor, {});
  }
  hidplatform::LinuxHidBackend backend({.root = tree.root.string()});
  hidplatform::ScopedBackend scope(backend);
  Counter counter;
  hid::THidDeviceController controller(nullptr, true);
  controller.SetOnDeviceChange({&counter, &Counter::Change});
  controller.SetLoading(false);
  while (counter.changes == 0) QCoreApplication::processEvents();

  const int rounds = nodes >= 1000 ? 11 : 51;
  Figures figures;
  figures.interfaces = controller.DeviceCount();
  figures.rescan = MedianRescan(controller, rounds);
  // A sandbox that shows this node in sysfs but not in /dev.
  std::filesystem::remove(tree.root / "dev" / ("hidraw" + std::to_string(nodes / 2)));
  figures.withMissingNode = MedianRescan(controller, rounds);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  // sysfs and devtmpfs live in memory; a tree on disk would measure the disk.
  if (std::filesystem::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
  QCoreApplication app(argc, argv);
  std::printf("Linux backend rescan over a fake sysfs and /dev tree, nothing changed\n");
  std::printf("(median wall clock / median processor time of the main thread)\n");
  Figures at[3];
  const int sizes[3] = {10, 100, 1000};
  for (int i = 0; i < 3; ++i) {
    at[i] = Measure(sizes[i]);
    std::printf(
        "  %5d nodes (%5d interfaces): %8.3f / %8.3f ms; one /dev entry missing: "
        "%8.3f / %8.3f ms\n",
        sizes[i], at[i].interfaces, at[i].rescan.wallMs, at[i].rescan.cpuMs,
        at[i].withMissingNode.wallMs, at[i].withMissingNode.cpuMs);
  }
  for (const bool cpu : {false, true}) {
    const auto ms = [cpu](const Time& t) { return cpu ? t.cpuMs : t.wallMs; };
    std::printf("%s:\n", cpu ? "Processor time" : "Wall clock");
    std::printf("  1000 nodes: %.3f ms (target below 20)\n", ms(at[2].rescan));
    std::printf("  ratio 1000/100: %.2f (target below 15)\n", ms(at[2].rescan) / ms(at[1].rescan));
    std::printf("  missing /dev entry at 1000 nodes adds %.3f ms (target below 5)\n",
                ms(at[2].withMissingNode) - ms(at[2].rescan));
  }
  return 0;
}
