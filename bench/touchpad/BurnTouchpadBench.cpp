// "Burn TP" on the update window, offscreen, against the emulated keyboard on
// the virtual bus: time from the click to the Flash command reaching the
// keyboard, with the 2,848 staged lines in Memo1 and the bar following them.
// Prints figures; not a test.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <span>
#include <vector>

#include "app/DevReader.h"
#include "app/TouchpadPanel.h"
#include "app/qt/ProcessBurnerLauncher.h"
#include "app/qt/QtToolkit.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/support/Drive.h"
#include "tests/support/EmulatedDevices.h"
#include "touchpad/TouchpadImage.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

void WriteImage(const QString& path, std::size_t size) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + (i >> 8)) & 0xFF);
  std::ofstream out(path.toStdString(), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Counts staged lines without a widget: the cost of the conversion alone.
class CountingSink : public touchpad::StagedLineSink {
 public:
  void AppendStagedLine(std::string_view line) override { bytes += line.size(); }
  void StagedLineCountChanged(std::int32_t) override {}
  std::size_t bytes = 0;
};

void PrintFigures(const char* what, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  std::printf("%-44s runs %3zu  min %7.2f ms  median %7.2f ms  max %7.2f ms\n", what,
              samples.size(), samples.front(), samples[samples.size() / 2], samples.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

  QTemporaryDir dir;
  const QString previousDir = QDir::currentPath();
  QDir::setCurrent(dir.path());
  WriteImage(dir.filePath(touchpad::kImageFileName), 45824);

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  // The keyboard notes when the first Flash report of a click reaches it.
  Clock::time_point flashWritten{};
  auto keyboard = apptest::MakeKeyboard(6);
  keyboard->SetOutputHandler(
      [&](emulator::SimpleDeviceModel&, std::span<const std::uint8_t> report) {
        if (flashWritten == Clock::time_point{} && report.size() >= 3 && report[1] == 0x94 &&
            report[2] == 0x08) {
          flashWritten = Clock::now();
        }
      });
  bus.Plug(keyboard);

  std::vector<double> staging;
  {
    touchpad::ImageStager stager;
    for (int run = 0; run < runs; ++run) {
      CountingSink sink;
      std::int32_t counter = 0;
      const auto start = Clock::now();
      stager.ClearBuffer();
      stager.Stage(touchpad::kImageFileName, sink, counter);
      staging.push_back(Milliseconds(Clock::now() - start));
    }
  }

  std::vector<double> toFlash;
  std::vector<double> handler;
  {
    qtui::QtToolkit toolkit;
    TbootloaderFORM form(toolkit, std::make_unique<ProcessBurnerLauncher>());
    form.Window().Show();
    if (!testsupport::RunUntil([&] { return form.CurrentDevice() != nullptr; },
                               std::chrono::seconds(10))) {
      std::fprintf(stderr, "the emulated keyboard did not become the current device\n");
      return 1;
    }
    for (int run = 0; run < runs; ++run) {
      form.Button2->SetEnabled(true);
      flashWritten = Clock::time_point{};
      const auto start = Clock::now();
      testsupport::Click(*form.Button2);
      const auto end = Clock::now();
      if (flashWritten == Clock::time_point{}) {
        std::fprintf(stderr, "no Flash command was written\n");
        return 1;
      }
      toFlash.push_back(Milliseconds(flashWritten - start));
      handler.push_back(Milliseconds(end - start));
      QApplication::processEvents();  // paints what the click changed
      if (form.Memo1->LineCount() != 2848) {
        std::fprintf(stderr, "Memo1 holds %d lines\n", form.Memo1->LineCount());
        return 1;
      }
    }
  }
  QDir::setCurrent(previousDir);

  std::printf("Burn TP, 45,824-byte image, 2,848 staged lines, offscreen\n");
  PrintFigures("staging into a counting sink (no widget)", staging);
  PrintFigures("click to Flash command written", toFlash);
  PrintFigures("whole click handler", handler);
  std::printf("target: click to Flash command under 150 ms\n");
  return 0;
}
