#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <optional>

#include "controls/ColorBtn.h"

namespace {

// Counts the paints the toolkit asks the button for.
class CountingColorBtn : public TColorBtn {
 public:
  using TColorBtn::TColorBtn;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    TColorBtn::paintEvent(event);
  }
};

struct Fixture {
  Fixture() {
    button.setText("Update");
    QFont font("Arial");
    font.setPixelSize(20);
    button.setFont(font);
    button.resize(120, 40);
  }
  // Palette colours carry 16 bits a channel; the image keeps 8.
  QColor Sys(TColor c) const { return QColor::fromRgb(ToQColor(c, button.palette()).rgb()); }
  QImage Paint(const TColorBtn::ItemState& state) {
    QImage image(button.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    button.PaintItem(painter, state);
    return image;
  }
  TColorBtn button;
};

// Bounding box of the pixels inside area that are not the given colour.
std::optional<QRect> InkBox(const QImage& image, const QRect& area, const QColor& background) {
  int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixel(x, y) != background.rgb()) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
      }
    }
  }
  if (maxX < 0) return std::nullopt;
  return QRect(QPoint(minX, minY), QPoint(maxX, maxY));
}

bool HasPixel(const QImage& image, const QRect& area, const QColor& color) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixel(x, y) == color.rgb()) return true;
  return false;
}

TEST(ColorBtn, NewButtonHasFaceColourRaisedFrameAndCentredCaption) {
  Fixture f;
  EXPECT_EQ(f.button.ButtonColor(), clBtnFace);
  EXPECT_FALSE(f.button.Frame3D());
  f.button.setEnabled(true);
  const QImage img = f.Paint({});
  // Raised two-pixel bevel: light above and left, darkest line below and right.
  EXPECT_EQ(img.pixelColor(0, 0), f.Sys(clBtnHighlight));
  EXPECT_EQ(img.pixelColor(119, 39), f.Sys(cl3DDkShadow));
  EXPECT_EQ(img.pixelColor(118, 38), f.Sys(clBtnShadow));
  const QColor face = f.Sys(clBtnFace);
  EXPECT_EQ(img.pixelColor(3, 3), face);
  EXPECT_EQ(img.pixelColor(116, 36), face);
  // The caption is drawn in the button text colour, centred in the face.
  const QRect interior(2, 2, 116, 36);
  auto ink = InkBox(img, interior, face);
  ASSERT_TRUE(ink.has_value());
  EXPECT_TRUE(HasPixel(img, interior,
                       QColor::fromRgb(f.button.palette().color(QPalette::ButtonText).rgb())));
  const QRect expected = f.button.CaptionRect(QRect(1, 1, 118, 38));
  EXPECT_TRUE(expected.adjusted(-1, -1, 1, 1).contains(*ink)) << "ink outside the caption rect";
  EXPECT_LE(std::abs((ink->center().x()) - 60), 3);
}

TEST(ColorBtn, ButtonColorFillsTheFaceAndPressedMovesCaptionOneDown) {
  Fixture f;
  f.button.SetButtonColor(clRed);
  const QColor red(255, 0, 0);
  const QImage up = f.Paint({});
  EXPECT_EQ(up.pixelColor(3, 3), red);
  const QRect interior(2, 2, 116, 36);
  auto upInk = InkBox(up, interior, red);
  ASSERT_TRUE(upInk.has_value());

  // Pressed without Frame3D: a one-pixel shadow outline and a flat face.
  const QImage down = f.Paint({.pressed = true});
  EXPECT_EQ(down.pixelColor(0, 0), f.Sys(clBtnShadow));
  EXPECT_EQ(down.pixelColor(119, 39), f.Sys(clBtnShadow));
  EXPECT_EQ(down.pixelColor(1, 1), red);
  EXPECT_EQ(down.pixelColor(118, 38), red);
  auto downInk = InkBox(down, QRect(1, 1, 118, 38), red);
  ASSERT_TRUE(downInk.has_value());
  EXPECT_EQ(downInk->topLeft(), upInk->topLeft() + QPoint(1, 1));
  EXPECT_EQ(downInk->size(), upInk->size());

  // Pressed with Frame3D: the sunken frame inside the shadow outline.
  f.button.SetFrame3D(true);
  const QImage down3d = f.Paint({.pressed = true});
  EXPECT_EQ(down3d.pixelColor(0, 0), f.Sys(clBtnShadow));
  EXPECT_EQ(down3d.pixelColor(1, 1), f.Sys(cl3DDkShadow));
  EXPECT_EQ(down3d.pixelColor(118, 38), f.Sys(clBtnHighlight));
  EXPECT_EQ(down3d.pixelColor(4, 4), red);
}

TEST(ColorBtn, DisabledKeepsFaceAndShowsEngravedCaption) {
  Fixture f;
  f.button.SetButtonColor(clBlue);
  QPalette pal = f.button.palette();
  pal.setColor(QPalette::ButtonText, QColor(10, 200, 30));  // the font colour
  f.button.setPalette(pal);
  f.button.setEnabled(false);
  const QImage img = f.Paint({.disabled = true});
  const QColor blue(0, 0, 255);
  EXPECT_EQ(img.pixelColor(3, 3), blue);
  // The inactive frame has no darkest line.
  EXPECT_EQ(img.pixelColor(119, 39), f.Sys(clBtnShadow));
  const QRect interior(2, 2, 116, 36);
  EXPECT_TRUE(HasPixel(img, interior, f.Sys(clBtnHighlight)));
  EXPECT_TRUE(HasPixel(img, interior, f.Sys(clBtnShadow)));
  EXPECT_FALSE(HasPixel(img, interior, QColor(10, 200, 30)));
  // The highlight copy lies one pixel right and down of the shadow copy.
  auto shadowInk = InkBox(img, interior, blue);
  ASSERT_TRUE(shadowInk.has_value());
  int lowestShadowRow = -1, lowestHighlightRow = -1;
  for (int y = interior.top(); y <= interior.bottom(); ++y)
    for (int x = interior.left(); x <= interior.right(); ++x) {
      if (img.pixelColor(x, y) == f.Sys(clBtnShadow)) lowestShadowRow = y;
      if (img.pixelColor(x, y) == f.Sys(clBtnHighlight)) lowestHighlightRow = y;
    }
  EXPECT_EQ(lowestHighlightRow, lowestShadowRow + 1);
}

TEST(ColorBtn, FocusOutlineAndFocusRectangleFollowActiveFlag) {
  Fixture f;
  f.button.SetButtonColor(clGreen);
  const QColor green(0, 128, 0);
  // Focused but not the active button: the outline only.
  f.button.SetButtonStyle(false);
  const QImage outline = f.Paint({.focused = true});
  EXPECT_EQ(outline.pixelColor(0, 0), f.Sys(clWindowFrame));
  EXPECT_EQ(outline.pixelColor(119, 39), f.Sys(clWindowFrame));
  EXPECT_EQ(outline.pixelColor(1, 1), f.Sys(clBtnHighlight));
  EXPECT_EQ(outline.pixelColor(4, 4), green);
  EXPECT_EQ(outline.pixelColor(6, 4), green);

  // Active and focused: a dotted rectangle four pixels inside the edge.
  f.button.SetButtonStyle(true);
  const QImage dotted = f.Paint({.focused = true});
  EXPECT_EQ(dotted.pixelColor(0, 0), f.Sys(clWindowFrame));
  EXPECT_NE(dotted.pixelColor(4, 4), green);
  EXPECT_EQ(dotted.pixelColor(5, 4), green);
  EXPECT_NE(dotted.pixelColor(6, 4), green);
  EXPECT_NE(dotted.pixelColor(4, 35), green);
  EXPECT_EQ(dotted.pixelColor(3, 4), green);

  // Active but not focused: the outline, no dots.
  const QImage activeOnly = f.Paint({});
  EXPECT_EQ(activeOnly.pixelColor(0, 0), f.Sys(clWindowFrame));
  EXPECT_EQ(activeOnly.pixelColor(4, 4), green);
}

TEST(ColorBtn, CaptionLargerThanFaceOverhangsBothSidesEqually) {
  Fixture f;
  f.button.setText("A very long caption that does not fit");
  f.button.resize(60, 20);
  const QRect face(2, 2, 56, 16);
  const QRect caption = f.button.CaptionRect(face);
  EXPECT_GT(caption.width(), face.width());
  const int leftOverhang = face.left() - caption.left();
  const int rightOverhang = (caption.left() + caption.width()) - (face.left() + face.width());
  EXPECT_LE(std::abs(leftOverhang - rightOverhang), 1);
  EXPECT_GT(leftOverhang, 0);

  // Two lines measure as two lines, the width of the longer one.
  f.button.setText("ab\nabcdef");
  const QRect twoLines = f.button.CaptionRect(QRect(0, 0, 200, 200));
  const QFontMetrics metrics(f.button.font());
  EXPECT_EQ(twoLines.width(), metrics.horizontalAdvance("abcdef"));
  EXPECT_GE(twoLines.height(), 2 * metrics.height());
}

TEST(ColorBtn, ButtonColorRepaintsOnlyOnChangeAndFrame3DNever) {
  CountingColorBtn button;
  button.resize(80, 30);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  QApplication::processEvents();
  const int settled = button.paints;
  EXPECT_GE(settled, 1);

  button.SetButtonColor(clBtnFace);  // same as the default
  QApplication::processEvents();
  EXPECT_EQ(button.paints, settled);

  button.SetFrame3D(true);
  QApplication::processEvents();
  EXPECT_EQ(button.paints, settled);
  EXPECT_TRUE(button.Frame3D());

  button.SetButtonColor(clRed);
  QApplication::processEvents();
  EXPECT_GT(button.paints, settled);
  EXPECT_EQ(button.ButtonColor(), clRed);

  // The real paint uses the new colour.
  const QImage grabbed = button.grab().toImage();
  EXPECT_EQ(grabbed.pixelColor(5, 5), QColor(255, 0, 0));
}

TEST(ColorBtn, DoubleClickPressesTwiceAndClicksTwice) {
  TColorBtn button;
  button.setText("Update");
  button.resize(80, 30);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  QSignalSpy presses(&button, &QAbstractButton::pressed);
  // Through the window system, as the user's double click comes: the toolkit
  // turns the second press into a double-click event and no press.
  QTest::mouseDClick(button.windowHandle(), Qt::LeftButton, {}, QPoint(40, 15));
  EXPECT_EQ(presses.count(), 2);
  EXPECT_EQ(clicks.count(), 2);
}

TEST(ColorBtn, GrabbedWidgetShowsFacePressedOffsetAndEngraving) {
  Fixture f;
  f.button.SetButtonColor(clRed);
  f.button.setFocusPolicy(Qt::NoFocus);  // no focus outline in these pictures
  f.button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.button));
  const QColor red(255, 0, 0);
  const QImage up = f.button.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(up.size(), QSize(120, 40));
  EXPECT_EQ(up.pixelColor(3, 3), red);
  EXPECT_EQ(up.pixelColor(0, 0), f.Sys(clBtnHighlight));
  auto upInk = InkBox(up, QRect(2, 2, 116, 36), red);
  ASSERT_TRUE(upInk.has_value());

  f.button.setDown(true);
  const QImage down = f.button.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(down.pixelColor(0, 0), f.Sys(clBtnShadow));
  auto downInk = InkBox(down, QRect(1, 1, 118, 38), red);
  ASSERT_TRUE(downInk.has_value());
  EXPECT_EQ(downInk->topLeft(), upInk->topLeft() + QPoint(1, 1));
  f.button.setDown(false);

  f.button.setEnabled(false);
  const QImage disabled = f.button.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(disabled.pixelColor(3, 3), red);
  const QRect interior(2, 2, 116, 36);
  EXPECT_TRUE(HasPixel(disabled, interior, f.Sys(clBtnHighlight)));
  EXPECT_TRUE(HasPixel(disabled, interior, f.Sys(clBtnShadow)));
  EXPECT_FALSE(HasPixel(disabled, interior, f.Sys(clBtnText)));
}

TEST(ColorBtn, ActiveFlagFollowsTheFocusOfItsWindow) {
  QWidget window;
  auto* button = new TColorBtn(&window);
  auto* other = new QPushButton(&window);
  auto* edit = new QLineEdit(&window);
  button->setGeometry(0, 0, 80, 30);
  other->setGeometry(0, 40, 80, 30);
  edit->setGeometry(0, 80, 80, 20);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  button->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus(); }, 2000));
  EXPECT_TRUE(button->IsActiveButton());
  other->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }, 2000));
  EXPECT_FALSE(button->IsActiveButton());
  // The default button is the active one while the focus is on no button.
  button->setDefault(true);
  edit->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
  EXPECT_TRUE(button->IsActiveButton());
  other->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }, 2000));
  EXPECT_FALSE(button->IsActiveButton());
}

TEST(ColorBtn, ColourValuesResolve) {
  QPalette pal;
  EXPECT_EQ(ToQColor(clRed, pal), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(clBlue, pal), QColor(0, 0, 255));
  EXPECT_EQ(ToQColor(clGreen, pal), QColor(0, 128, 0));
  EXPECT_EQ(ToQColor(clBtnFace, pal), pal.color(QPalette::Active, QPalette::Button));
  EXPECT_EQ(ToQColor(clBtnShadow, pal), pal.color(QPalette::Active, QPalette::Dark));
  EXPECT_EQ(FromQColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
}

}  // namespace
