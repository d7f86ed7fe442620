// The benchmark on the Windows window: the Win32 front end's toolkit.
#include <windows.h>
// psapi.h needs the types windows.h declares.
#include <psapi.h>

#include "app/win32/Win32Toolkit.h"
#include "bench/app/BenchPlatform.h"

namespace bench {
namespace {

class Win32BenchPlatform final : public BenchPlatform {
 public:
  ui::Toolkit& Toolkit() override { return toolkit_; }
  const char* Name() const override { return "Win32"; }
  long ResidentKiB() const override {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.WorkingSetSize / 1024);
  }

 private:
  win32::Win32Toolkit toolkit_;
};

}  // namespace

std::unique_ptr<BenchPlatform> MakeBenchPlatform(int& /*argc*/, char** /*argv*/) {
  return std::make_unique<Win32BenchPlatform>();
}

}  // namespace bench
