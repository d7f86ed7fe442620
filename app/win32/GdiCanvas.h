// TColorBtn's painting on a GDI device context, with the platform's own
// push-button frame and focus rectangle, at the DPI of the button's form.
#pragma once

#include <windows.h>

#include "controls/ColorBtnPainting.h"

namespace win32 {

class GdiCanvas : public colorbtn::Canvas {
 public:
  // font is selected for the canvas's life; fontColor is the control's;
  // dpi the form's (lines, insets and offsets are scaled to it).
  GdiCanvas(HDC dc, HFONT font, TColor fontColor, int dpi = 96);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  int Scaled(int pixels) const override;
  void OutlineRect(const colorbtn::PaintRect& rect, TColor color) override;
  void FillRect(const colorbtn::PaintRect& rect, TColor color) override;
  void Line(int x0, int y0, int x1, int y1, TColor color) override;
  void XorPoint(int x, int y) override;
  colorbtn::TextSize MeasureText(std::string_view text) override;
  void DrawText(const colorbtn::PaintRect& rect, std::string_view text, TColor color,
                bool fontColor) override;
  colorbtn::PaintRect DrawPushFrame(const colorbtn::PaintRect& rect, bool pushed,
                                    bool inactive) override;
  void DrawFocusRect(const colorbtn::PaintRect& rect) override;

 private:
  HDC dc_;
  int savedState_;
  TColor fontColor_;
  int dpi_;
};

}  // namespace win32
