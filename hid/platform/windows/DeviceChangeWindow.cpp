#include "hid/platform/windows/DeviceChangeWindow.h"

#include <windows.h>

// The device-change messages and their broadcast headers.
#include <dbt.h>

#include <type_traits>

namespace hidplatform {
namespace {

constexpr const char* kWindowClass = "kbDeviceChangeWindow";
// Posted once for a burst of device messages: they are sent messages, so all
// of a burst are handled before it arrives, and the owner sees one change.
constexpr UINT kChangePending = WM_APP + 1;
// The HID interface class (GUID_DEVINTERFACE_HID), written out so that the
// window needs neither hid.lib nor the DDK headers.
constexpr GUID kHidInterfaceClass{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct WindowDestroyer {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct NotificationEnder {
  void operator()(HDEVNOTIFY notification) const { UnregisterDeviceNotification(notification); }
};
using Registration = std::unique_ptr<std::remove_pointer_t<HDEVNOTIFY>, NotificationEnder>;

// An interface of any class arriving or going; volumes, ports and handles
// are not ours.
bool IsInterfaceEvent(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

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
    window_.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, windowClass.hInstance, nullptr));
    if (!window_) {
      // Wine without a display makes no top-level window, only message-only
      // ones: those get no broadcast, but Wine sends none, and the
      // registration below reaches them.
      window_.reset(CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr));
    }
    if (!window_) return;
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Wine sends interface arrivals and removals only to registered windows,
    // and never the DBT_DEVNODES_CHANGED broadcast. Without the registration
    // Windows still sends the broadcast, so its failure is no failure here.
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kHidInterfaceClass;
    registration_.reset(
        RegisterDeviceNotificationA(window_.get(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  }
  DeviceChangeWindow(const DeviceChangeWindow&) = delete;
  DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

  bool Made() const { return window_ != nullptr; }

 private:
  // Windows sends the interface events and the broadcast for one plug.
  void NoteChange() {
    if (changePending_) return;
    changePending_ = PostMessageA(window_.get(), kChangePending, 0, 0) != FALSE;
    if (!changePending_) Notify();  // a full queue: tell at once rather than never
  }

  void Notify() {
    const std::function<void()> onChange = onChange_;  // may end this window
    onChange();
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_QUERYENDSESSION) return TRUE;  // the session may end
    if (message == WM_DEVICECHANGE) {
      if (self != nullptr && (wParam == DBT_DEVNODES_CHANGED || IsInterfaceEvent(wParam, lParam))) {
        self->NoteChange();
      }
      return 0;
    }
    if (message == kChangePending) {
      if (self != nullptr && self->changePending_) {
        self->changePending_ = false;
        self->Notify();
      }
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  std::function<void()> onChange_;
  bool changePending_ = false;
  // Declared in this order so that the registration ends before its window.
  OwnedWindow window_;
  Registration registration_;
};

}  // namespace

std::unique_ptr<SourceWatch> MakeDeviceChangeWindow(std::function<void()> onChange) {
  auto window = std::make_unique<DeviceChangeWindow>(std::move(onChange));
  if (!window->Made()) return nullptr;
  return window;
}

}  // namespace hidplatform
