// How TColorBtn paints itself, written once over a small canvas that each
// toolkit provides (QPainter on Linux, GDI on Windows). The canvas draws in
// the control's own pixels, origin at its top-left corner.
#pragma once

#include <string>
#include <string_view>

#include "controls/ColorValues.h"

namespace colorbtn {

struct PaintRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int Right() const { return left + width; }  // one past the last column
  int Bottom() const { return top + height; }
  bool IsEmpty() const { return width <= 0 || height <= 0; }
  // Moves all four edges n pixels inward (outward for a negative n).
  PaintRect Shrunk(int n) const { return {left + n, top + n, width - 2 * n, height - 2 * n}; }
  PaintRect Moved(int dx, int dy) const { return {left + dx, top + dy, width, height}; }
  bool operator==(const PaintRect&) const = default;
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// What a paint request says about the button at that moment.
struct ItemState {
  bool pressed = false;
  bool disabled = false;
  bool focused = false;
};

// What the control itself holds.
struct ButtonLook {
  TColor buttonColor = clBtnFace;
  bool frame3D = false;
  bool active = false;  // the window's active button
  bool enabled = true;
  std::string caption;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  // A length of the painting (in pixels at 96 DPI) in the canvas's pixels:
  // a canvas shown at a higher DPI paints its lines, insets and offsets that
  // much wider. This one paints at 96 DPI.
  virtual int Scaled(int pixels) const { return pixels; }

  // A one-pixel (Scaled(1)) outline just inside rect, not filled.
  virtual void OutlineRect(const PaintRect& rect, TColor color) = 0;
  virtual void FillRect(const PaintRect& rect, TColor color) = 0;
  // A one-pixel line from (x0, y0) to (x1, y1), both ends drawn.
  virtual void Line(int x0, int y0, int x1, int y1, TColor color) = 0;
  // Inverts one pixel.
  virtual void XorPoint(int x, int y) = 0;
  // The size of the text in the control's font: the longest line by all
  // lines; line breaks start new lines, nothing wraps.
  virtual TextSize MeasureText(std::string_view text) = 0;
  // Draws the text centred in rect on a transparent background, in color,
  // or in the font's own colour when fontColor is true.
  virtual void DrawText(const PaintRect& rect, std::string_view text, TColor color,
                        bool fontColor) = 0;

  // The platform's push-button frame (raised, or sunken when pushed; faded
  // when inactive), two rings of Scaled(1) lines, with its interior filled
  // in the button face; returns the interior. This one draws the classic two-pixel bevel with
  // lines; a platform with its own frame drawing overrides it.
  virtual PaintRect DrawPushFrame(const PaintRect& rect, bool pushed, bool inactive);
  // The platform's dotted focus rectangle, Scaled(1) wide; this one inverts
  // every second pixel of the outline.
  virtual void DrawFocusRect(const PaintRect& rect);
};

// Where a caption of the given size goes when centred in rect: by integer
// halves of the free space, truncated toward zero, so a caption larger than
// rect overhangs both sides equally.
PaintRect CaptionRect(const PaintRect& rect, TextSize text);

// Paints the whole control, client rectangle client, in its state.
void PaintColorButton(Canvas& canvas, const PaintRect& client, const ButtonLook& look,
                      const ItemState& state);

}  // namespace colorbtn
