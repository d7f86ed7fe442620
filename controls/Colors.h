// The form's colour values resolved on Qt.
#pragma once

#include <QColor>
#include <QPalette>

#include "controls/ColorValues.h"

// The palette role that stands for a system colour index on this toolkit.
QPalette::ColorRole SystemColorRole(TColor color);

// Resolves a colour value against a palette (system colours through their
// role in the palette's active group, plain colours as they are).
QColor ToQColor(TColor color, const QPalette& palette);

// The plain colour value of a QColor (alpha dropped).
TColor FromQColor(const QColor& color);
