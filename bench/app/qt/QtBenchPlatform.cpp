// The benchmark on the Qt window: the application object on the off-screen
// platform and the Qt front end's toolkit, and a bare widget as the floor.
#include <QApplication>
#include <QWidget>

#include <chrono>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/qt/QtToolkit.h"
#include "bench/app/BenchPlatform.h"

namespace bench {
namespace {

class QtBenchPlatform final : public BenchPlatform {
 public:
  QtBenchPlatform(int& argc, char** argv) : application_(argc, argv) {}
  ui::Toolkit& Toolkit() override { return toolkit_; }
  const char* Name() const override { return "Qt (offscreen)"; }
  long ResidentKiB() const override {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
  }
  double BareWindowMilliseconds(int clientWidth, int clientHeight) override {
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point end;
    {
      QWidget window;
      window.resize(clientWidth, clientHeight);
      window.show();
      QCoreApplication::processEvents();
      end = std::chrono::steady_clock::now();
    }
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::milli>(end - start).count();
  }

 private:
  QApplication application_;
  qtui::QtToolkit toolkit_;
};

}  // namespace

std::unique_ptr<BenchPlatform> MakeBenchPlatform(int& argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return std::make_unique<QtBenchPlatform>(argc, argv);
}

}  // namespace bench
