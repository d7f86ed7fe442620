#include "controls/ColorBtnPainting.h"

#include <utility>

namespace colorbtn {

PaintRect Canvas::DrawPushFrame(const PaintRect& rect, bool pushed, bool inactive) {
  if (rect.IsEmpty()) return rect;
  // Raised when up, sunken when pushed. An inactive button loses the
  // darkest line so the frame looks faded.
  TColor outerTopLeft = clBtnHighlight;
  TColor outerBottomRight = inactive ? clBtnShadow : cl3DDkShadow;
  TColor innerTopLeft = cl3DLight;
  TColor innerBottomRight = clBtnShadow;
  if (pushed) {
    std::swap(outerTopLeft, outerBottomRight);
    std::swap(innerTopLeft, innerBottomRight);
  }
  auto ring = [this](const PaintRect& r, TColor topLeft, TColor bottomRight) {
    const int x0 = r.left;
    const int y0 = r.top;
    const int x1 = r.Right() - 1;
    const int y1 = r.Bottom() - 1;
    Line(x0, y1, x1, y1, bottomRight);
    Line(x1, y0, x1, y1, bottomRight);
    if (x1 > x0) Line(x0, y0, x1 - 1, y0, topLeft);
    if (y1 > y0) Line(x0, y0, x0, y1 - 1, topLeft);
  };
  // Each of the two rings is Scaled(1) lines wide.
  const int one = Scaled(1);
  for (int i = 0; i < one; ++i) {
    const PaintRect outer = rect.Shrunk(i);
    if (!outer.IsEmpty()) ring(outer, outerTopLeft, outerBottomRight);
  }
  for (int i = 0; i < one; ++i) {
    const PaintRect inner = rect.Shrunk(one + i);
    if (!inner.IsEmpty()) ring(inner, innerTopLeft, innerBottomRight);
  }
  const PaintRect interior = rect.Shrunk(2 * one);
  if (!interior.IsEmpty()) FillRect(interior, clBtnFace);
  return interior;
}

void Canvas::DrawFocusRect(const PaintRect& rect) {
  // Inverting shows on any face colour; Scaled(1) dotted outlines, one
  // inside the other.
  for (int i = 0; i < Scaled(1); ++i) {
    const PaintRect ring = rect.Shrunk(i);
    if (ring.IsEmpty()) return;
    const int x0 = ring.left;
    const int y0 = ring.top;
    const int x1 = ring.Right() - 1;
    const int y1 = ring.Bottom() - 1;
    for (int x = x0; x <= x1; x += 2) {
      XorPoint(x, y0);
      if (y1 != y0) XorPoint(x, y1);
    }
    for (int y = y0 + 2; y < y1; y += 2) {
      XorPoint(x0, y);
      if (x1 != x0) XorPoint(x1, y);
    }
  }
}

PaintRect CaptionRect(const PaintRect& rect, TextSize text) {
  // C++ division truncates toward zero, as the placement needs.
  const int left = rect.left + (rect.width - text.width + 1) / 2;
  const int top = rect.top + (rect.height - text.height + 1) / 2;
  return {left, top, text.width, text.height};
}

namespace {

void DrawCaption(Canvas& canvas, const PaintRect& rect, const std::string& caption, bool disabled) {
  if (caption.empty()) return;
  const PaintRect textRect = CaptionRect(rect, canvas.MeasureText(caption));
  if (disabled) {
    // Engraved: a highlight copy one pixel right and down, the shadow copy on top.
    const int one = canvas.Scaled(1);
    canvas.DrawText(textRect.Moved(one, one), caption, clBtnHighlight, false);
    canvas.DrawText(textRect, caption, clBtnShadow, false);
  } else {
    canvas.DrawText(textRect, caption, clBtnText, true);
  }
}

}  // namespace

void PaintColorButton(Canvas& canvas, const PaintRect& client, const ButtonLook& look,
                      const ItemState& state) {
  // Every inset and offset at the canvas's scale (one pixel at 96 DPI).
  const int one = canvas.Scaled(1);
  PaintRect r = client;
  if (look.active || state.focused) {
    canvas.OutlineRect(r, clWindowFrame);
    r = r.Shrunk(one);
  }
  if (state.pressed) {
    canvas.OutlineRect(r, clBtnShadow);
    r = r.Shrunk(one);
    if (look.frame3D) r = canvas.DrawPushFrame(r, true, state.disabled);
  } else {
    r = canvas.DrawPushFrame(r, false, state.disabled);
  }
  canvas.FillRect(r, look.buttonColor);

  r = r.Shrunk(-one);
  if (look.active) r = client.Shrunk(one);
  if (state.pressed) r = r.Moved(one, one);
  // The caption's state follows the control, the frame's the paint request.
  DrawCaption(canvas, r, look.caption, !look.enabled);

  if (look.active && state.focused) canvas.DrawFocusRect(client.Shrunk(canvas.Scaled(4)));
}

}  // namespace colorbtn
