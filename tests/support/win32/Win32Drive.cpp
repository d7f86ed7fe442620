// The user's actions on the Win32 front end's windows, as the messages the
// system would send for them.
#include <windows.h>

#include <stdexcept>

#include "app/win32/Dpi.h"
#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Form.h"
#include "hid/platform/NativeMainLoop.h"
#include "tests/support/Drive.h"

namespace testsupport {
namespace {

// Asking for the window makes it, for a control that put it off.
HWND WindowOf(ui::Control& control) {
  auto* window = dynamic_cast<win32::ControlWindow*>(&control);
  if (window == nullptr) throw std::logic_error("the control was not made by the Win32 toolkit");
  return window->Handle();
}

}  // namespace

void Click(ui::Button& button) {
  // BM_CLICK would press a disabled or hidden button too; the user cannot.
  HWND window = WindowOf(button);
  if (!IsWindowEnabled(window) || (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) == 0) return;
  SendMessageW(window, BM_CLICK, 0, 0);
}

void ClickItem(ui::ListBox& list, int index) {
  if (!list.Enabled() || index < 0 || index >= list.Count()) return;
  list.SetItemIndex(index);
  // What the list box tells its parent after a click on a row.
  HWND window = WindowOf(list);
  SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(window));
}

void SetClientSize(ui::Form& form, int width, int height) {
  auto* win32Form = dynamic_cast<win32::Win32Form*>(&form);
  if (win32Form == nullptr) throw std::logic_error("the form was not made by the Win32 toolkit");
  // The form's lengths at the DPI it is shown at, within the frame it has.
  HWND window = win32Form->Handle();
  RECT outer{};
  RECT client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  const int dpi = win32Form->Dpi();
  SetWindowPos(window, nullptr, 0, 0,
               win32::ScaleToDpi(width, dpi) + (outer.right - outer.left) - client.right,
               win32::ScaleToDpi(height, dpi) + (outer.bottom - outer.top) - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  // Window messages, timers and device changes all come through the
  // thread's message loop.
  return hidplatform::NativeMainLoop::Instance().RunUntil(done, limit);
}

}  // namespace testsupport
