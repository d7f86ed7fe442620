// "Burn TP" on the Qt window: the widgets of the touchpad part, the bar that
// follows every staged line and the colour its style really paints.
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include <fstream>

#include "app/qt/QtToolkit.h"
#include "tests/touchpad/PatternImage.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"
#include "touchpad/TouchpadImage.h"

namespace {

class NoWaits : public touchpad::Waiter {
 public:
  void Wait(std::chrono::milliseconds) override {}
};

class QtBurnWindowTest : public apptest::ScratchDirWindowTest {};

TEST_F(QtBurnWindowTest, MemosAndBarAreTheFormsWidgets) {
  Open();
  auto& memo1 = static_cast<QPlainTextEdit&>(qtui::WidgetOf(*form->Memo1));
  auto& memo2 = static_cast<QPlainTextEdit&>(qtui::WidgetOf(*form->Memo2));
  auto& bar = static_cast<QProgressBar&>(qtui::WidgetOf(*form->ProgressBar1));
  EXPECT_EQ(memo1.geometry(), QRect(584, 576, 289, 193));
  EXPECT_EQ(memo2.geometry(), QRect(896, 472, 345, 321));
  EXPECT_EQ(bar.geometry(), QRect(472, 536, 313, 33));
  EXPECT_TRUE(bar.isHidden());
  EXPECT_EQ(bar.minimum(), 0);
  EXPECT_EQ(bar.maximum(), 100);
  EXPECT_EQ(memo1.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // A staged line is one entry however narrow the memo: no wrapping.
  EXPECT_EQ(memo1.lineWrapMode(), QPlainTextEdit::NoWrap);
  // A position past the range stands at the end; QProgressBar alone would
  // ignore it.
  form->ProgressBar1->SetPosition(500);
  EXPECT_EQ(bar.value(), 100);
}

TEST_F(QtBurnWindowTest, BarFollowsEveryStagedLineInRed) {
  Open();
  form->Touchpad->ReplaceWaiter(std::make_unique<NoWaits>());
  PlugAndWait(apptest::MakeKeyboard(6));
  const std::vector<std::uint8_t> image = touchpad_test::PatternImage(45824, 1);
  {
    std::ofstream out(FilePath(touchpad::kImageFileName), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }
  auto& memo1 = static_cast<QPlainTextEdit&>(qtui::WidgetOf(*form->Memo1));
  auto& bar = static_cast<QProgressBar&>(qtui::WidgetOf(*form->ProgressBar1));
  // When the bar moves, the memo has that many lines.
  int barMoves = 0;
  int barBehind = 0;
  QObject::connect(&bar, &QProgressBar::valueChanged, [&](int value) {
    ++barMoves;
    if (memo1.document()->blockCount() != value) ++barBehind;
  });
  QTest::mouseClick(&qtui::WidgetOf(*form->Button2), Qt::LeftButton);
  EXPECT_EQ(memo1.document()->blockCount(), 2848);
  EXPECT_EQ(barMoves, 2784);
  EXPECT_EQ(barBehind, 0);
  EXPECT_EQ(bar.palette().color(QPalette::Highlight), QColor(255, 0, 0));
  // The style really fills the bar with that colour.
  const QImage painted = bar.grab().toImage();
  const QColor middle = painted.pixelColor(painted.width() / 2, painted.height() / 2);
  EXPECT_GT(middle.red(), 150) << middle.name().toStdString();
  EXPECT_LT(middle.green(), 100) << middle.name().toStdString();
  EXPECT_LT(middle.blue(), 100) << middle.name().toStdString();
}

}  // namespace
