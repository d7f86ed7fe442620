// "Burn TP", Button3 and Button4 on the real window, with the emulated
// keyboard on the virtual bus.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>

#include "tests/support/Drive.h"
#include "tests/touchpad/PatternImage.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"
#include "touchpad/TouchpadImage.h"

namespace {

using apptest::Lines;

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
    std::ofstream out(FilePath(touchpad::kImageFileName), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }

  Lines NewHistory() const {
    const Lines all = History();
    return {all.begin() + static_cast<std::ptrdiff_t>(historyBefore), all.end()};
  }

  std::vector<ui::CheckButton*> Radios() const {
    return {form->RadioButton1, form->RadioButton2, form->RadioButton3,
            form->RadioButton4, form->RadioButton5, form->RadioButton6};
  }

  std::string MemoLine(int index) const { return form->Memo1->Line(index); }

  std::vector<std::uint8_t> image;
  std::vector<long> waits;
  std::uint32_t keyboard = 0;
  std::size_t historyBefore = 0;
};

TEST_F(BurnWindowTest, TouchpadControlsStartAsOnTheForm) {
  OpenWithKeyboard(0);
  EXPECT_FALSE(form->ProgressBar1->Visible());
  EXPECT_EQ(form->ProgressBar1->Maximum(), 100);
  EXPECT_EQ(form->ProgressBar1->Position(), 0);
  EXPECT_EQ(form->Memo1->LineCount(), 0);
  EXPECT_EQ(form->Memo2->LineCount(), 0);
  EXPECT_EQ(form->StagedLineCounter(), 0);
}

TEST_F(BurnWindowTest, BurnWithAConnectedKeyboard) {
  OpenWithKeyboard(6);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  ASSERT_TRUE(form->Button2->Enabled());
  WriteImage(45824);
  form->Memo2->AppendLine("notes");

  testsupport::Click(*form->Button2);

  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_EQ(form->Memo1->LineCount(), 2848);
  EXPECT_EQ(form->StagedLineCounter(), 2848);
  EXPECT_EQ(form->Memo2->LineCount(), 0);
  EXPECT_TRUE(form->ProgressBar1->Visible());
  EXPECT_EQ(form->ProgressBar1->Maximum(), 2784);
  EXPECT_EQ(form->ProgressBar1->Position(), 2784);
  EXPECT_EQ(form->ProgressBar1->BarColor(), clRed);
  for (ui::CheckButton* radio : Radios()) EXPECT_FALSE(radio->Enabled());
  EXPECT_EQ(form->Label2->Text(), "");
  EXPECT_FALSE(form->Image1->Visible());
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_EQ(NewHistory(), Lines{"W --> 09 94 08 "});

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
  EXPECT_EQ(form->StrToByte(first.substr(30, 2)), image[271]);
  EXPECT_FALSE(form->StrToByte("0a").has_value());
}

TEST_F(BurnWindowTest, BurnWithoutCurrentDeviceSendsNothing) {
  OpenWithKeyboard(5);  // Button2 is ready, but nothing is selected
  ASSERT_EQ(form->CurrentDevice(), nullptr);
  ASSERT_TRUE(form->Button2->Enabled());
  WriteImage(45824);
  testsupport::Click(*form->Button2);
  EXPECT_EQ(form->Memo1->LineCount(), 2848);
  EXPECT_EQ(form->ProgressBar1->Position(), 2784);
  EXPECT_EQ(form->ProgressBar1->BarColor(), clRed);
  for (ui::CheckButton* radio : Radios()) EXPECT_FALSE(radio->Enabled());
  EXPECT_EQ(form->Label2->Text(), "");
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(NewHistory().empty());
  EXPECT_EQ(form->Touchpad->Sequence().Stage(), touchpad::TransferStage::kNone);
}

TEST_F(BurnWindowTest, FinishThenBurnAgainStartsFromAnEmptyMemo) {
  OpenWithKeyboard(6);
  WriteImage(45824, 3);
  testsupport::Click(*form->Button2);
  testsupport::Click(*form->Button3);
  EXPECT_EQ(form->Label3->Text(), "Burn OK.....");
  testsupport::Click(*form->Button4);
  EXPECT_EQ(waits, (std::vector<long>{250, 500, 250}));
  EXPECT_EQ(NewHistory(), (Lines{"W --> 09 94 08 ", "W --> 09 94 09 ", "W --> 09 94 0A "}));
  EXPECT_FALSE(form->ProgressBar1->Visible());
  EXPECT_TRUE(form->Button2->Enabled());
  for (ui::CheckButton* radio : Radios()) EXPECT_TRUE(radio->Enabled());
  EXPECT_FALSE(form->ColorBtn1->Enabled());  // left to the device identification
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_FALSE(form->Image1->Visible());
  EXPECT_EQ(form->Label3->Text(), "Please Unplug and Plug KB");

  WriteImage(300, 7);
  testsupport::Click(*form->Button2);
  ASSERT_EQ(form->Memo1->LineCount(), 2848);
  EXPECT_EQ(MemoLine(0).substr(0, 2), touchpad::ByteToHex(image[256]));
  EXPECT_EQ(MemoLine(3), std::string(32, '0'));
  EXPECT_EQ(MemoLine(2847), std::string(32, '0'));
}

TEST_F(BurnWindowTest, ConfigAndFinishWithoutADevice) {
  OpenWithKeyboard(0);
  ASSERT_EQ(form->CurrentDevice(), nullptr);
  testsupport::Click(*form->Button3);
  EXPECT_EQ(form->Label3->Text(), "Burn OK.....");
  testsupport::Click(*form->Button4);
  EXPECT_EQ(waits, (std::vector<long>{250, 500, 250}));
  EXPECT_TRUE(NewHistory().empty());
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->Enabled());
  EXPECT_FALSE(form->ProgressBar1->Visible());
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_EQ(form->Label3->Text(), "Please Unplug and Plug KB");
}

TEST_F(BurnWindowTest, MissingImageShowsTheErrorAndLeavesTheBurningStart) {
  OpenWithKeyboard(6);
  form->Memo1->AppendLine("old");
  testsupport::Click(*form->Button2);
  EXPECT_EQ(toolkit.TakeErrors(), Lines{"Cannot open file TPIMAGE-QX4410-01.IMG"});
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_TRUE(form->ProgressBar1->Visible());
  EXPECT_EQ(form->ProgressBar1->Position(), 0);
  EXPECT_EQ(form->ProgressBar1->BarColor(), clGreen);
  EXPECT_TRUE(form->Memo1->LineCount() == 0);
  EXPECT_EQ(form->StagedLineCounter(), 0);
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(NewHistory().empty());
  for (ui::CheckButton* radio : Radios()) EXPECT_TRUE(radio->Enabled());
}

TEST_F(BurnWindowTest, EmptyImageIsLoggedAndNotFlashed) {
  OpenWithKeyboard(6);
  WriteImage(0);
  testsupport::Click(*form->Button2);
  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_EQ(NewHistory(),
            Lines{"TP image TPIMAGE-QX4410-01.IMG too short: 0 of 2784 lines, not flashed"});
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->Enabled());
  for (ui::CheckButton* radio : Radios()) EXPECT_TRUE(radio->Enabled());
  EXPECT_EQ(form->Label2->Text(), "KB Connect..");
  EXPECT_EQ(form->Touchpad->Sequence().Stage(), touchpad::TransferStage::kNone);
}

#ifndef _WIN32
// A FIFO and a sparse file of this size are POSIX things.
TEST_F(BurnWindowTest, FifoOrOversizeImageIsRefusedInTheLogBeforeStaging) {
  OpenWithKeyboard(6);
  const std::string path = FilePath(touchpad::kImageFileName);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // no writer: opening it blocks
  testsupport::Click(*form->Button2);
  EXPECT_EQ(NewHistory(),
            Lines{"TP image TPIMAGE-QX4410-01.IMG is not a regular file, not flashed"});

  ASSERT_EQ(::unlink(path.c_str()), 0);
  WriteImage(0);
  ASSERT_EQ(::truncate(path.c_str(), 16 << 20), 0);
  testsupport::Click(*form->Button2);
  const Lines after = NewHistory();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(Lines(after.begin() + 1, after.end()),
            Lines{"TP image TPIMAGE-QX4410-01.IMG too large: 16777216 bytes, more than "
                  "262144, not flashed"});
  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_TRUE(form->Memo1->LineCount() == 0);
  EXPECT_EQ(form->StagedLineCounter(), 0);
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_TRUE(form->Button2->Enabled());
  for (ui::CheckButton* radio : Radios()) EXPECT_TRUE(radio->Enabled());
}
#endif

TEST_F(BurnWindowTest, KeyboardGoneBeforeTheWindowNoticed) {
  OpenWithKeyboard(6);
  WriteImage(45824);
  bus.Unplug(keyboard);  // the window has not handled the change yet
  testsupport::Click(*form->Button2);
  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_EQ(form->Memo1->LineCount(), 2848);
  EXPECT_TRUE(TakeWrites().empty());
  ASSERT_FALSE(NewHistory().empty());
  EXPECT_EQ(NewHistory().front(), "W --> 09 94 08 ");
}

}  // namespace
