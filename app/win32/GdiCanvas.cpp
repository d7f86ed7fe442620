#include "app/win32/GdiCanvas.h"

#include <string>

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

}  // namespace

GdiCanvas::GdiCanvas(HDC dc, HFONT font, TColor fontColor)
    : dc_(dc), savedState_(SaveDC(dc)), fontColor_(fontColor) {
  if (font != nullptr) SelectObject(dc_, font);
  SetBkMode(dc_, TRANSPARENT);
}

GdiCanvas::~GdiCanvas() {
  RestoreDC(dc_, savedState_);
}

void GdiCanvas::OutlineRect(const colorbtn::PaintRect& rect, TColor color) {
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, ColorRef(color)));
  SelectedObject usePen(dc_, pen.Get());
  SelectedObject noFill(dc_, GetStockObject(NULL_BRUSH));
  Rectangle(dc_, rect.left, rect.top, rect.Right(), rect.Bottom());
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
  UINT style = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
  if (pushed) style |= DFCS_PUSHED;
  if (inactive) style |= DFCS_INACTIVE;
  RECT r = ToRect(rect);
  DrawFrameControl(dc_, &r, DFC_BUTTON, style);
  return FromRect(r);
}

void GdiCanvas::DrawFocusRect(const colorbtn::PaintRect& rect) {
  const RECT r = ToRect(rect);
  ::DrawFocusRect(dc_, &r);
}

}  // namespace win32
