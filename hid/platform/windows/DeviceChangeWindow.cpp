#include "hid/platform/windows/DeviceChangeWindow.h"

#include <windows.h>

// The platform headers have the message constants (DBT.h would clash with them).
#include <dbt.h>

namespace hidplatform {
namespace {

constexpr const char* kWindowClass = "kbDeviceChangeWindow";

class DeviceChangeWindow : public SourceWatch {
 public:
  explicit DeviceChangeWindow(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
    // Never shown: no WS_VISIBLE, and it stays out of the task bar.
    window_ = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    if (window_ != nullptr) {
      SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
  }
  ~DeviceChangeWindow() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  DeviceChangeWindow(const DeviceChangeWindow&) = delete;
  DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

  bool Made() const { return window_ != nullptr; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_QUERYENDSESSION) return TRUE;  // the session may end
    if (message == WM_DEVICECHANGE) {
      if (wParam == DBT_DEVNODES_CHANGED && self != nullptr) {
        const std::function<void()> onChange = self->onChange_;  // may end this window
        onChange();
      }
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  std::function<void()> onChange_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<SourceWatch> MakeDeviceChangeWindow(std::function<void()> onChange) {
  auto window = std::make_unique<DeviceChangeWindow>(std::move(onChange));
  if (!window->Made()) return nullptr;
  return window;
}

}  // namespace hidplatform
