#include "app/TouchpadPanel.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>

#include <vector>

#include "tests/touchpad/TempDir.h"

namespace {

// Counts the waits instead of sleeping.
class CountingWaiter : public touchpad::Waiter {
 public:
  explicit CountingWaiter(std::vector<long>& waits) : waits_(waits) {}
  void Wait(std::chrono::milliseconds duration) override { waits_.push_back(duration.count()); }

 private:
  std::vector<long>& waits_;
};

// A bare form with the controls the panel uses, and its hooks recorded.
class TouchpadPanelTest : public ::testing::Test {
 protected:
  TouchpadPanelTest() {
    form.resize(383, 320);
    for (auto& radio : radios) radio = new QRadioButton(&form);
    TouchpadWindowParts parts;
    parts.Button2 = button2;
    parts.Label2 = label2;
    parts.Label3 = label3;
    parts.Image1 = image1;
    for (std::size_t i = 0; i < radios.size(); ++i) parts.RadioButtons[i] = radios[i];
    parts.DisableUpdateButton = [this] { updateDisabled = true; };
    parts.HasCurrentDevice = [this] { return currentDevice; };
    parts.SendCommand = [this](std::uint8_t code, std::uint8_t argument, const QString&) {
      if (currentDevice) sent.push_back(code << 8 | argument);
    };
    parts.AddHistoryLine = [this](const QString& text) { log.push_back(text); };
    imagePath = (dir.Path() / "TPIMAGE-QX4410-01.IMG").string();
    panel = std::make_unique<TouchpadPanel>(&form, parts, imagePath);
    panel->ReplaceWaiter(std::make_unique<CountingWaiter>(waits));
    form.show();
  }

  void WriteImage(std::size_t size) {
    image = touchpad_test::PatternImage(size);
    dir.Write("TPIMAGE-QX4410-01.IMG", image);
  }

  QColor BarColor() const { return panel->ProgressBar1->palette().color(QPalette::Highlight); }

  touchpad_test::TempDir dir;
  std::string imagePath;
  std::vector<std::uint8_t> image;
  QWidget form;
  QPushButton* button2 = new QPushButton(&form);
  QLabel* label2 = new QLabel("KB Connect..", &form);
  QLabel* label3 = new QLabel(&form);
  QLabel* image1 = new QLabel(&form);
  std::array<QRadioButton*, 6> radios{};
  bool updateDisabled = false;
  bool currentDevice = true;
  std::vector<int> sent;
  std::vector<long> waits;
  QStringList log;
  std::unique_ptr<TouchpadPanel> panel;
};

TEST_F(TouchpadPanelTest, ControlsStartAsOnTheForm) {
  EXPECT_EQ(panel->Memo1->geometry(), QRect(584, 576, 289, 193));
  EXPECT_EQ(panel->Memo2->geometry(), QRect(896, 472, 345, 321));
  EXPECT_EQ(panel->ProgressBar1->geometry(), QRect(472, 536, 313, 33));
  EXPECT_TRUE(panel->ProgressBar1->isHidden());
  EXPECT_EQ(panel->ProgressBar1->minimum(), 0);
  EXPECT_EQ(panel->ProgressBar1->maximum(), 100);
  EXPECT_EQ(panel->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(panel->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_TRUE(panel->Memo1->toPlainText().isEmpty());
}

TEST_F(TouchpadPanelTest, BurnFillsMemo1LineByLineAndLeavesTheBarFullAndRed) {
  WriteImage(45824);
  panel->Memo2->setPlainText("old");
  panel->Button2Click();

  const QTextDocument* memo = panel->Memo1->document();
  ASSERT_EQ(memo->blockCount(), 2848);
  std::string first;
  for (int i = 256; i < 272; ++i) first += touchpad::ByteToHex(image[static_cast<std::size_t>(i)]);
  EXPECT_EQ(memo->firstBlock().text().toStdString(), first);
  EXPECT_EQ(memo->lastBlock().text().size(), 32);
  EXPECT_TRUE(panel->Memo2->toPlainText().isEmpty());
  EXPECT_EQ(panel->StagedLineCounter(), 2848);

  EXPECT_FALSE(panel->ProgressBar1->isHidden());
  EXPECT_EQ(panel->ProgressBar1->maximum(), 2784);
  EXPECT_EQ(panel->ProgressBar1->value(), 2784);
  EXPECT_EQ(BarColor(), QColor(255, 0, 0));
  for (auto* radio : radios) EXPECT_FALSE(radio->isEnabled());
  EXPECT_FALSE(button2->isEnabled());
  EXPECT_TRUE(updateDisabled);
  EXPECT_EQ(label2->text(), "");
  EXPECT_TRUE(image1->isHidden());
  EXPECT_EQ(sent, (std::vector<int>{0x9408}));
  EXPECT_EQ(panel->Sequence().Blocks().records.size(), 2784u);
}

TEST_F(TouchpadPanelTest, LongImageKeepsTheBarAtItsEnd) {
  WriteImage(65546);
  panel->Button2Click();
  EXPECT_EQ(panel->Memo1->document()->blockCount(), 5696);
  EXPECT_EQ(panel->ProgressBar1->value(), 2784);
  EXPECT_EQ(panel->StagedLineCounter(), 5696);
}

TEST_F(TouchpadPanelTest, MissingImageLeavesAGreenEmptyBar) {
  panel->Memo1->setPlainText("stale");
  EXPECT_THROW(panel->Button2Click(), touchpad::ImageOpenError);
  EXPECT_FALSE(panel->ProgressBar1->isHidden());
  EXPECT_EQ(panel->ProgressBar1->value(), 0);
  EXPECT_EQ(BarColor(), QColor(0, 128, 0));
  EXPECT_TRUE(panel->Memo1->toPlainText().isEmpty());
  EXPECT_FALSE(button2->isEnabled());
  for (auto* radio : radios) EXPECT_TRUE(radio->isEnabled());
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(log.isEmpty());
}

TEST_F(TouchpadPanelTest, ConfigAndFinishWithoutSleeping) {
  WriteImage(45824);
  panel->Button2Click();
  panel->Button3Click();
  EXPECT_EQ(label3->text(), "Burn OK.....");
  panel->Button4Click();
  EXPECT_EQ(waits, (std::vector<long>{250, 500, 250}));
  EXPECT_EQ(sent, (std::vector<int>{0x9408, 0x9409, 0x940A}));
  EXPECT_TRUE(panel->ProgressBar1->isHidden());
  EXPECT_TRUE(button2->isEnabled());
  for (auto* radio : radios) EXPECT_TRUE(radio->isEnabled());
  EXPECT_EQ(label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(label3->text(), "Please Unplug and Plug KB");

  // A second run starts from an empty memo.
  panel->Button2Click();
  EXPECT_EQ(panel->Memo1->document()->blockCount(), 2848);
}

}  // namespace
