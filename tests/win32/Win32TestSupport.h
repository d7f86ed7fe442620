// Helpers of the Windows window tests: the toolkit, the window of a control
// by its form name, and pixels of a window rendered into a bitmap of our own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/win32/Win32Form.h"
#include "app/win32/Win32Toolkit.h"

namespace win32test {

win32::Win32Toolkit& Toolkit();

// The window of the form's control with that form name; null when none.
inline HWND HandleNamed(const win32::Win32Form& form, std::string_view name) {
  for (const auto& control : form.Controls()) {
    if (control->Layout().name == name) return control->Handle();
  }
  return nullptr;
}

// A window's client area as it paints itself (WM_PRINTCLIENT) into a 32-bit
// bitmap; Pixel gives COLORREF values (0x00BBGGRR).
class Rendering {
 public:
  explicit Rendering(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    RECT all{0, 0, width_, height_};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(pixels, pixels + static_cast<std::size_t>(width_) * height_);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  COLORREF Pixel(int x, int y) const {
    const std::uint32_t bgr = pixels_[static_cast<std::size_t>(y) * width_ + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }
  bool Has(RECT area, COLORREF color) const {
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (Pixel(x, y) == color) return true;
    return false;
  }
  // The box of the pixels in area that differ from background; empty when none.
  RECT InkBox(RECT area, COLORREF background) const {
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (Pixel(x, y) != background) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    if (box.right <= box.left) return RECT{0, 0, 0, 0};
    return box;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace win32test
