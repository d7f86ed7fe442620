// The benchmark on the Windows window: the Win32 front end's toolkit, and a
// bare window of the platform as the floor.
#include <windows.h>
// psapi.h needs the types windows.h declares.
#include <psapi.h>

#include <chrono>
#include <memory>
#include <type_traits>

#include "app/win32/Win32Toolkit.h"
#include "bench/app/BenchPlatform.h"

namespace bench {
namespace {

constexpr const wchar_t* kBareClass = L"kbBenchBare";
// The update window's frame, so that the floor pays for the same frame.
constexpr DWORD kBareStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kBareExStyle = WS_EX_TOPMOST;

struct WindowDestroyer {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// The class lives for one run, as a program's first window registers its own.
class BareClass {
 public:
  BareClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = kBareClass;
    registered_ = RegisterClassExW(&windowClass) != 0;
  }
  ~BareClass() {
    if (registered_) UnregisterClassW(kBareClass, GetModuleHandleW(nullptr));
  }
  BareClass(const BareClass&) = delete;
  BareClass& operator=(const BareClass&) = delete;

 private:
  bool registered_ = false;
};

void PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

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

  double BareWindowMilliseconds(int clientWidth, int clientHeight) override {
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point end;
    {
      BareClass windowClass;
      RECT outer{0, 0, clientWidth, clientHeight};
      AdjustWindowRectEx(&outer, kBareStyle, FALSE, kBareExStyle);
      OwnedWindow window(CreateWindowExW(kBareExStyle, kBareClass, L"bare", kBareStyle,
                                         CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                                         outer.bottom - outer.top, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr));
      ShowWindow(window.get(), SW_SHOW);
      UpdateWindow(window.get());
      PumpPending();
      end = std::chrono::steady_clock::now();
      window.reset();
      // What the window's end left in the queue goes before the next run.
      PumpPending();
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
  }

 private:
  win32::Win32Toolkit toolkit_;
};

}  // namespace

std::unique_ptr<BenchPlatform> MakeBenchPlatform(int& /*argc*/, char** /*argv*/) {
  return std::make_unique<Win32BenchPlatform>();
}

}  // namespace bench
