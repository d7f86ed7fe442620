#include "app/win32/GdiCanvas.h"

#include <string>

#include "app/win32/Dpi.h"
#include "app/win32/GdiObjects.h"
#include "app/win32/Utf16.h"

namespace win32 {
namespace {

RECT ToRect(const colorbtn::PaintRect& r) {
  return RECT{r.left, r.top, r.Right(), r.Bottom()};
}

colorbtn::PaintRect FromRect(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The platform's push-button frame drawn at frame, painted only inside band
// and outside hole: one ring of it, or its interior.
void DrawFramePart(HDC dc, const colorbtn::PaintRect& frame, const colorbtn::PaintRect& band,
                   const colorbtn::PaintRect& hole, UINT style) {
  if (frame.IsEmpty() || band.IsEmpty()) return;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, band.left, band.top, band.Right(), band.Bottom());
  if (!hole.IsEmpty()) ExcludeClipRect(dc, hole.left, hole.top, hole.Right(), hole.Bottom());
  RECT r = ToRect(frame);
  DrawFrameControl(dc, &r, DFC_BUTTON, style);
  RestoreDC(dc, saved);
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc, HFONT font, TColor fontColor, int dpi)
    : dc_(dc), savedState_(SaveDC(dc)), fontColor_(fontColor), dpi_(dpi) {
  if (font != nullptr) SelectObject(dc_, font);
  SetBkMode(dc_, TRANSPARENT);
}

GdiCanvas::~GdiCanvas() {
  RestoreDC(dc_, savedState_);
}

int GdiCanvas::Scaled(int pixels) const {
  return ScaleToDpi(pixels, dpi_);
}

void GdiCanvas::OutlineRect(const colorbtn::PaintRect& rect, TColor color) {
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, ColorRef(color)));
  SelectedObject usePen(dc_, pen.Get());
  SelectedObject noFill(dc_, GetStockObject(NULL_BRUSH));
  for (int i = 0; i < Scaled(1); ++i) {
    const colorbtn::PaintRect r = rect.Shrunk(i);
    if (r.IsEmpty()) break;
    Rectangle(dc_, r.left, r.top, r.Right(), r.Bottom());
  }
}

void GdiCanvas::FillRect(const colorbtn::PaintRect& rect, TColor color) {
  if (rect.IsEmpty()) return;
  GdiObject<HBRUSH> brush(CreateSolidBrush(ColorRef(color)));
  const RECT r = ToRect(rect);
  ::FillRect(dc_, &r, brush.Get());
}

void GdiCanvas::Line(int x0, int y0, int x1, int y1, TColor color) {
  const COLORREF ref = ColorRef(color);
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, ref));
  SelectedObject usePen(dc_, pen.Get());
  MoveToEx(dc_, x0, y0, nullptr);
  LineTo(dc_, x1, y1);
  SetPixel(dc_, x1, y1, ref);  // LineTo leaves out the last pixel
}

void GdiCanvas::XorPoint(int x, int y) {
  SetPixel(dc_, x, y, GetPixel(dc_, x, y) ^ 0xFFFFFF);
}

colorbtn::TextSize GdiCanvas::MeasureText(std::string_view text) {
  const std::wstring wide = Utf16FromUtf8(text);
  RECT r{0, 0, 0, 0};
  ::DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r, DT_CALCRECT);
  return {r.right - r.left, r.bottom - r.top};
}

void GdiCanvas::DrawText(const colorbtn::PaintRect& rect, std::string_view text, TColor color,
                         bool fontColor) {
  const std::wstring wide = Utf16FromUtf8(text);
  RECT r = ToRect(rect);
  SetTextColor(dc_, ColorRef(fontColor ? fontColor_ : color));
  ::DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r, DT_CENTER | DT_VCENTER);
}

colorbtn::PaintRect GdiCanvas::DrawPushFrame(const colorbtn::PaintRect& rect, bool pushed,
                                             bool inactive) {
  UINT style = DFCS_BUTTONPUSH;
  if (pushed) style |= DFCS_PUSHED;
  if (inactive) style |= DFCS_INACTIVE;
  const int one = Scaled(1);
  if (one == 1) {
    RECT r = ToRect(rect);
    DrawFrameControl(dc_, &r, DFC_BUTTON, style | DFCS_ADJUSTRECT);
    return FromRect(r);
  }
  // The platform draws two one-pixel rings: each is repeated inward until
  // it is one scaled pixel wide, in the platform's colours, by drawing the
  // whole frame a ring at a time through a clip.
  for (int i = 0; i < one; ++i) {
    DrawFramePart(dc_, rect.Shrunk(i), rect.Shrunk(i), rect.Shrunk(i + 1), style);
  }
  for (int i = 0; i < one; ++i) {
    const int depth = one + i;  // the inner ring of a frame one pixel further out
    DrawFramePart(dc_, rect.Shrunk(depth - 1), rect.Shrunk(depth), rect.Shrunk(depth + 1), style);
  }
  const colorbtn::PaintRect interior = rect.Shrunk(2 * one);
  if (!interior.IsEmpty()) {
    const RECT r = ToRect(interior);
    ::FillRect(dc_, &r, GetSysColorBrush(COLOR_BTNFACE));
  }
  return interior;
}

void GdiCanvas::DrawFocusRect(const colorbtn::PaintRect& rect) {
  for (int i = 0; i < Scaled(1); ++i) {
    const colorbtn::PaintRect ring = rect.Shrunk(i);
    if (ring.IsEmpty()) break;
    const RECT r = ToRect(ring);
    ::DrawFocusRect(dc_, &r);
  }
}

}  // namespace win32
