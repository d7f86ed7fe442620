// What only the Qt window shows of the touchpad part: its widgets' geometry
// and scrolling, the bar following each staged line, and the bar's colour in
// the pixels the style paints.
#include <QColor>
#include <QImage>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/qt/QtToolkit.h"
#include "tests/touchpad/BurnWindowFixture.h"

namespace {

using touchpad_test::BurnWindowTest;

QRect BoundsOf(const char* name) {
  const ui::Rect r = TbootloaderFORM::ControlDescription(name).bounds;
  return {r.left, r.top, r.width, r.height};
}

TEST_F(BurnWindowTest, QtMemosAndBarAreWhereTheFormPutsThem) {
  OpenWithKeyboard(0);
  auto* memo1 = qobject_cast<QPlainTextEdit*>(&qtui::WidgetOf(*form->Memo1));
  auto* memo2 = qobject_cast<QPlainTextEdit*>(&qtui::WidgetOf(*form->Memo2));
  auto* bar = qobject_cast<QProgressBar*>(&qtui::WidgetOf(*form->ProgressBar1));
  ASSERT_NE(memo1, nullptr);
  ASSERT_NE(memo2, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(memo1->geometry(), BoundsOf("Memo1"));
  EXPECT_EQ(memo2->geometry(), BoundsOf("Memo2"));
  EXPECT_EQ(bar->geometry(), BoundsOf("ProgressBar1"));
  EXPECT_TRUE(bar->isHidden());
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // A staged line is one entry however narrow the memo: no wrapping.
  EXPECT_EQ(memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_TRUE(memo1->toPlainText().isEmpty());
}

TEST_F(BurnWindowTest, QtBarFollowsEveryStagedLineAndIsPaintedRed) {
  OpenWithKeyboard(6);
  WriteImage(45824);
  auto* bar = qobject_cast<QProgressBar*>(&qtui::WidgetOf(*form->ProgressBar1));
  ASSERT_NE(bar, nullptr);
  // When the bar moves, the memo has that many lines.
  int barMoves = 0;
  int barBehind = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    ++barMoves;
    if (form->Memo1->LineCount() != value) ++barBehind;
  });

  form->Button2->Click();

  EXPECT_EQ(barMoves, 2784);
  EXPECT_EQ(barBehind, 0);
  EXPECT_EQ(bar->value(), 2784);
  EXPECT_EQ(bar->palette().color(QPalette::Highlight), QColor(255, 0, 0));
  // The style really fills the bar with that colour.
  const QImage painted = bar->grab().toImage();
  const QColor middle = painted.pixelColor(painted.width() / 2, painted.height() / 2);
  EXPECT_GT(middle.red(), 150) << middle.name().toStdString();
  EXPECT_LT(middle.green(), 100) << middle.name().toStdString();
  EXPECT_LT(middle.blue(), 100) << middle.name().toStdString();
}

}  // namespace
