// Scaling of the form's lengths to the DPI a window is shown at. The forms'
// tables are in pixels at 96 DPI; the Win32 front end multiplies every
// position, size and font height by DPI/96 here and nowhere else.
#pragma once

#include <windows.h>

namespace win32 {

constexpr int kFormDpi = 96;  // the DPI of the forms' tables (USER_DEFAULT_SCREEN_DPI)

// A length of the form at dpi, rounded to the nearest pixel (MulDiv), so
// that at 96 DPI every length stays exactly what the form says.
inline int ScaleToDpi(int length, int dpi) {
  return MulDiv(length, dpi, kFormDpi);
}

// The DPI of the system (the primary monitor's), for a window not yet made.
int SystemDpi();

// The DPI the window is shown at: its monitor's where the system tells
// (GetDpiForWindow, Windows 10 1607 and later, and Wine), otherwise the
// system's.
int WindowDpi(HWND window);

// The outer size of a window with that style and client size at dpi
// (AdjustWindowRectExForDpi where present: the frame's metrics depend on
// the DPI of the window's monitor).
SIZE OuterSizeAtDpi(DWORD style, DWORD exStyle, int clientWidth, int clientHeight, int dpi);

}  // namespace win32
