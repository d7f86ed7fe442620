#include "controls/Colors.h"

QPalette::ColorRole SystemColorRole(TColor color) {
  switch (color & 0xFF) {
    case 5:  // window background
      return QPalette::Base;
    case 6:  // window frame: the darkest line the scheme has
    case 21:
      return QPalette::Shadow;
    case 7:
    case 8:
      return QPalette::WindowText;
    case 16:
      return QPalette::Dark;
    case 18:
      return QPalette::ButtonText;
    case 20:
      return QPalette::Light;
    case 22:
      return QPalette::Midlight;
    case 15:
    default:
      return QPalette::Button;
  }
}

QColor ToQColor(TColor color, const QPalette& palette) {
  if (color & kSystemColorFlag) {
    return palette.color(QPalette::Active, SystemColorRole(color));
  }
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color) {
  return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
         (static_cast<TColor>(color.blue()) << 16);
}
