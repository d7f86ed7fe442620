// "Burn TP", Button3 and Button4 on the real window, with the emulated
// keyboard on the virtual bus.
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "app/TouchpadImage.h"
#include "tests/touchpad/AppErrors.h"
#include "tests/touchpad/PatternImage.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace {

using apptest::kRed;

class CountingWaiter : public touchpad::Waiter {
 public:
  explicit CountingWaiter(std::vector<long>& waits) : waits_(waits) {}
  void Wait(std::chrono::milliseconds duration) override { waits_.push_back(duration.count()); }

 private:
  std::vector<long>& waits_;
};

class BurnWindowTest : public apptest::ScratchDirWindowTest {
 protected:
  // The window with a keyboard of the given number of interfaces listed.
  void OpenWithKeyboard(std::size_t interfaces) {
    Open();
    form->Touchpad->ReplaceWaiter(std::make_unique<CountingWaiter>(waits));
    if (interfaces > 0) keyboard = PlugAndWait(apptest::MakeKeyboard(interfaces));
    TakeWrites();
    historyBefore = History().size();
  }

  void WriteImage(std::size_t size, unsigned seed = 1) {
    image = touchpad_test::PatternImage(size, seed);
    std::ofstream out(dir_.filePath(touchpad::kImageFileName).toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }

  QStringList NewHistory() const { return History().mid(historyBefore); }

  QColor BarColor() const { return form->ProgressBar1->palette().color(QPalette::Highlight); }

  std::vector<QRadioButton*> Radios() const {
    return {form->RadioButton1, form->RadioButton2, form->RadioButton3,
            form->RadioButton4, form->RadioButton5, form->RadioButton6};
  }

  std::string MemoLine(int index) const {
    return form->Memo1->document()->findBlockByNumber(index).text().toStdString();
  }

  std::vector<std::uint8_t> image;
  std::vector<long> waits;
  std::uint32_t keyboard = 0;
  qsizetype historyBefore = 0;
};

TEST_F(BurnWindowTest, TouchpadControlsStartAsOnTheForm) {
  OpenWithKeyboard(0);
  EXPECT_EQ(form->Memo1->geometry(), QRect(584, 576, 289, 193));
  EXPECT_EQ(form->Memo2->geometry(), QRect(896, 472, 345, 321));
  EXPECT_EQ(form->ProgressBar1->geometry(), QRect(472, 536, 313, 33));
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_EQ(form->ProgressBar1->minimum(), 0);
  EXPECT_EQ(form->ProgressBar1->maximum(), 100);
  EXPECT_EQ(form->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // A staged line is one entry however narrow the memo: no wrapping.
  EXPECT_EQ(form->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form->StagedLineCounter(), 0);
}

TEST_F(BurnWindowTest, BurnWithAConnectedKeyboard) {
  OpenWithKeyboard(6);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  ASSERT_TRUE(form->Button2->isEnabled());
  WriteImage(45824);
  // The bar follows every staged line: when it moves, the memo has that
  // many lines.
  int barMoves = 0;
  int barBehind = 0;
  QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    ++barMoves;
    if (form->Memo1->document()->blockCount() != value) ++barBehind;
  });
  form->Memo2->setPlainText("notes");

  Click(form->Button2);

  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
  EXPECT_EQ(form->Memo1->document()->blockCount(), 2848);
  EXPECT_EQ(form->StagedLineCounter(), 2848);
  EXPECT_EQ(barMoves, 2784);
  EXPECT_EQ(barBehind, 0);
  EXPECT_TRUE(form->Memo2->toPlainText().isEmpty());
  EXPECT_TRUE(form->ProgressBar1->isVisibleTo(form.get()));
  EXPECT_EQ(form->ProgressBar1->maximum(), 2784);
  EXPECT_EQ(form->ProgressBar1->value(), 2784);
  EXPECT_EQ(BarColor(), kRed);
  // The style really fills the bar with that colour.
  const QImage bar = form->ProgressBar1->grab().toImage();
  const QColor middle = bar.pixelColor(bar.width() / 2, bar.height() / 2);
  EXPECT_GT(middle.red(), 150) << middle.name().toStdString();
  EXPECT_LT(middle.green(), 100) << middle.name().toStdString();
  EXPECT_LT(middle.blue(), 100) << middle.name().toStdString();
  for (QRadioButton* radio : Radios()) EXPECT_FALSE(radio->isEnabled());
  EXPECT_EQ(form->Label2->text(), "");
  EXPECT_FALSE(form->Image1->isVisibleTo(form.get()));
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(NewHistory(), QStringList{"W --> 09 94 08 "});

  const auto writes = TakeWrites();
  ASSERT_EQ(writes.size(), 6u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].bytes, apptest::CommandReportFor(i, 0x94, 0x08)) << "interface " << i;
  }

  // The records come back out of the text in Memo1.
  const auto& records = form->Touchpad->Sequence().Blocks().records;
  ASSERT_EQ(records.size(), 2784u);
  const auto expectRecord = [&](std::size_t number, std::uint8_t command) {
    const auto& record = records[number - 1];
    EXPECT_EQ(record[0], 0x0A) << number;
    EXPECT_EQ(record[1], command) << number;
    for (std::size_t k = 0; k < 16; ++k) {
      ASSERT_EQ(record[2 + k], image[256 + 16 * (number - 1) + k]) << number;
    }
    EXPECT_EQ(record[18], 0) << number;
  };
  expectRecord(1, 0x02);
  expectRecord(2752, 0x02);
  expectRecord(2753, 0x06);
  expectRecord(2784, 0x06);
  EXPECT_EQ(form->Touchpad->Sequence().Stage(), touchpad::TransferStage::kFlash);

  const std::string first = MemoLine(0);
  EXPECT_EQ(form->StrToByte(QString::fromStdString(first.substr(30, 2))), image[271]);
  EXPECT_FALSE(form->StrToByte("0a").has_value());
}

TEST_F(BurnWindowTest, BurnWithoutCurrentDeviceSendsNothing) {
  OpenWithKeyboard(5);  // Button2 is ready, but nothing is selected
  ASSERT_EQ(form->CurrentDevice(), nullptr);
  ASSERT_TRUE(form->Button2->isEnabled());
  WriteImage(45824);
  Click(form->Button2);
  EXPECT_EQ(form->Memo1->document()->blockCount(), 2848);
  EXPECT_EQ(form->ProgressBar1->value(), 2784);
  EXPECT_EQ(BarColor(), kRed);
  for (QRadioButton* radio : Radios()) EXPECT_FALSE(radio->isEnabled());
  EXPECT_EQ(form->Label2->text(), "");
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(NewHistory().isEmpty());
  EXPECT_EQ(form->Touchpad->Sequence().Stage(), touchpad::TransferStage::kNone);
}

TEST_F(BurnWindowTest, FinishThenBurnAgainStartsFromAnEmptyMemo) {
  OpenWithKeyboard(6);
  WriteImage(45824, 3);
  Click(form->Button2);
  Click(form->Button3);
  EXPECT_EQ(form->Label3->text(), "Burn OK.....");
  Click(form->Button4);
  EXPECT_EQ(waits, (std::vector<long>{250, 500, 250}));
  EXPECT_EQ(NewHistory(), (QStringList{"W --> 09 94 08 ", "W --> 09 94 09 ", "W --> 09 94 0A "}));
  EXPECT_FALSE(form->ProgressBar1->isVisibleTo(form.get()));
  EXPECT_TRUE(form->Button2->isEnabled());
  for (QRadioButton* radio : Radios()) EXPECT_TRUE(radio->isEnabled());
  EXPECT_FALSE(form->ColorBtn1->isEnabled());  // left to the device identification
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_FALSE(form->Image1->isVisibleTo(form.get()));
  EXPECT_EQ(form->Label3->text(), "Please Unplug and Plug KB");

  WriteImage(300, 7);
  Click(form->Button2);
  ASSERT_EQ(form->Memo1->document()->blockCount(), 2848);
  EXPECT_EQ(MemoLine(0).substr(0, 2), touchpad::ByteToHex(image[256]));
  EXPECT_EQ(MemoLine(3), std::string(32, '0'));
  EXPECT_EQ(MemoLine(2847), std::string(32, '0'));
}

TEST_F(BurnWindowTest, ConfigAndFinishWithoutADevice) {
  OpenWithKeyboard(0);
  ASSERT_EQ(form->CurrentDevice(), nullptr);
  Click(form->Button3);
  EXPECT_EQ(form->Label3->text(), "Burn OK.....");
  Click(form->Button4);
  EXPECT_EQ(waits, (std::vector<long>{250, 500, 250}));
  EXPECT_TRUE(NewHistory().isEmpty());
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->isEnabled());
  EXPECT_FALSE(form->ProgressBar1->isVisibleTo(form.get()));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_EQ(form->Label3->text(), "Please Unplug and Plug KB");
}

TEST_F(BurnWindowTest, MissingImageShowsTheErrorAndLeavesTheBurningStart) {
  OpenWithKeyboard(6);
  form->Memo1->setPlainText("old");
  Click(form->Button2);
  EXPECT_EQ(apptest::TakeReportedErrors(), QStringList{"Cannot open file TPIMAGE-QX4410-01.IMG"});
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_TRUE(form->ProgressBar1->isVisibleTo(form.get()));
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_EQ(BarColor(), apptest::kGreen);
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form->StagedLineCounter(), 0);
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(NewHistory().isEmpty());
  for (QRadioButton* radio : Radios()) EXPECT_TRUE(radio->isEnabled());
}

TEST_F(BurnWindowTest, EmptyImageIsLoggedAndNotFlashed) {
  OpenWithKeyboard(6);
  WriteImage(0);
  Click(form->Button2);
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
  EXPECT_EQ(NewHistory(),
            QStringList{"TP image TPIMAGE-QX4410-01.IMG too short: 0 of 2784 lines, not flashed"});
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->isEnabled());
  for (QRadioButton* radio : Radios()) EXPECT_TRUE(radio->isEnabled());
  EXPECT_EQ(form->Label2->text(), "KB Connect..");
  EXPECT_EQ(form->Touchpad->Sequence().Stage(), touchpad::TransferStage::kNone);
}

TEST_F(BurnWindowTest, FifoOrOversizeImageIsRefusedInTheLogBeforeStaging) {
  OpenWithKeyboard(6);
  const std::string path = dir_.filePath(touchpad::kImageFileName).toStdString();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // no writer: opening it blocks
  Click(form->Button2);
  EXPECT_EQ(NewHistory(),
            QStringList{"TP image TPIMAGE-QX4410-01.IMG is not a regular file, not flashed"});

  ASSERT_EQ(::unlink(path.c_str()), 0);
  WriteImage(0);
  ASSERT_EQ(::truncate(path.c_str(), 16 << 20), 0);
  Click(form->Button2);
  EXPECT_EQ(NewHistory().mid(1),
            QStringList{"TP image TPIMAGE-QX4410-01.IMG too large: 16777216 bytes, more than "
                        "262144, not flashed"});
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form->StagedLineCounter(), 0);
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->isEnabled());
  for (QRadioButton* radio : Radios()) EXPECT_TRUE(radio->isEnabled());
}

TEST_F(BurnWindowTest, KeyboardGoneBeforeTheWindowNoticed) {
  OpenWithKeyboard(6);
  WriteImage(45824);
  bus.Unplug(keyboard);  // the window has not handled the change yet
  Click(form->Button2);
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
  EXPECT_EQ(form->Memo1->document()->blockCount(), 2848);
  EXPECT_TRUE(TakeWrites().empty());
  ASSERT_FALSE(NewHistory().isEmpty());
  EXPECT_EQ(NewHistory().first(), "W --> 09 94 08 ");
}

}  // namespace
