#include "touchpad/TouchpadFlash.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/touchpad/PatternImage.h"

namespace {

using touchpad::FlashSequence;
using touchpad::TransferStage;
using Ops = std::vector<std::string>;

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", value);
  return text;
}

// A window as the sequence sees it: the state of every control it touches,
// and the calls in order (staged lines and the bar's moves while staging are
// counted, not listed). Commands are recorded as the sequence asks for them;
// dropping them without a current device and logging them is the window's
// SendCommand, tested on the real window.
class RecordingView : public touchpad::FlashView {
 public:
  void AppendStagedLine(std::string_view line) override { memo1.emplace_back(line); }
  int LineCount() const override { return static_cast<int>(memo1.size()); }
  std::string Line(int index) const override { return memo1.at(static_cast<std::size_t>(index)); }

  void ClearMemo1() override { Op("ClearMemo1"), memo1.clear(); }
  void ClearMemo2() override { Op("ClearMemo2"), memo2.clear(); }
  void SetProgressBarColor(std::uint32_t bgr) override {
    Op("BarColor " + Hex(bgr)), barColor = bgr;
  }
  void SetProgressBarVisible(bool visible) override {
    Op(visible ? "ShowBar" : "HideBar");
    barVisible = visible;
  }
  void SetProgressPosition(int position) override {
    if (position == 0)
      Op("BarPosition 0");
    else
      ++barMoves;
    barPosition = position;
  }
  void SetProgressMaximum(int maximum) override {
    Op("BarMaximum " + std::to_string(maximum));
    barMaximum = maximum;
  }
  void SetBurnButtonEnabled(bool enabled) override {
    Op(enabled ? "EnableButton2" : "DisableButton2");
    button2Enabled = enabled;
  }
  void DisableUpdateButton() override { Op("DisableUpdate"), updateEnabled = false; }
  void SetRadioButtonEnabled(int number, bool enabled) override {
    Op((enabled ? "EnableRadio" : "DisableRadio") + std::to_string(number));
    radioEnabled.at(static_cast<std::size_t>(number - 1)) = enabled;
  }
  void SetLabel2Text(const std::string& text) override {
    Op("Label2 '" + text + "'"), label2 = text;
  }
  void SetLabel2FontColor(std::uint32_t bgr) override {
    Op("Label2Color " + Hex(bgr));
    label2Color = bgr;
  }
  void SetLabel3Text(const std::string& text) override {
    Op("Label3 '" + text + "'"), label3 = text;
  }
  void SetImage1Visible(bool visible) override {
    Op(visible ? "ShowImage1" : "HideImage1");
    image1Visible = visible;
  }
  bool HasCurrentDevice() const override { return currentDevice; }
  void SendCommand(std::uint8_t code, std::uint8_t argument, const std::string& suffix) override {
    Op("Send " + Hex(code).substr(4) + " " + Hex(argument).substr(4) + " '" + suffix + "'");
  }
  void AddHistoryLine(const std::string& text) override { log.push_back(text); }

  void Op(std::string op) { ops.push_back(std::move(op)); }

  std::vector<std::string> memo1;
  std::vector<std::string> memo2{"left over"};
  std::uint32_t barColor = 0xFFFFFF;
  bool barVisible = false;
  int barPosition = -1;
  int barMaximum = 100;
  int barMoves = 0;
  bool button2Enabled = true;
  bool updateEnabled = true;
  std::array<bool, 6> radioEnabled{true, true, true, true, true, true};
  std::string label2 = "KB Connect..";
  std::uint32_t label2Color = 0xFF0000;
  std::string label3;
  bool image1Visible = true;
  bool currentDevice = true;
  std::vector<std::string> log;
  Ops ops;
};

class RecordingWaiter : public touchpad::Waiter {
 public:
  explicit RecordingWaiter(RecordingView& view) : view_(view) {}
  void Wait(std::chrono::milliseconds duration) override {
    view_.Op("Wait " + std::to_string(duration.count()));
  }

 private:
  RecordingView& view_;
};

const Ops kBeforeStaging = {"ClearMemo1",    "ClearMemo2", "BarColor 008000", "DisableButton2",
                            "DisableUpdate", "ShowBar",    "BarPosition 0",   "BarMaximum 2784"};

Ops Concat(Ops a, const Ops& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class FlashSequenceTest : public ::testing::Test {
 protected:
  std::string WriteImage(std::size_t size, unsigned seed = 1) {
    image = touchpad_test::PatternImage(size, seed);
    return dir.Write("TPIMAGE-QX4410-01.IMG", image);
  }

  testsupport::TempDir dir;
  std::vector<std::uint8_t> image;
  RecordingView view;
  RecordingWaiter waiter{view};
};

TEST_F(FlashSequenceTest, BurnWithAKeyboardStagesThenSendsFlash) {
  FlashSequence sequence(view, waiter, WriteImage(45824));
  sequence.BurnTouchpad();

  EXPECT_EQ(view.ops,
            Concat(kBeforeStaging, {"Label2 ''", "HideImage1", "DisableRadio1", "DisableRadio2",
                                    "DisableRadio3", "DisableRadio4", "DisableRadio5",
                                    "DisableRadio6", "BarColor 0000FF", "Send 94 08 ''"}));
  EXPECT_EQ(view.memo1.size(), 2848u);
  EXPECT_TRUE(view.memo2.empty());
  EXPECT_EQ(sequence.StagedLineCounter(), 2848);
  EXPECT_EQ(view.barMoves, 2848);
  EXPECT_EQ(view.barPosition, 2848);
  EXPECT_EQ(view.barMaximum, 2784);
  EXPECT_TRUE(view.barVisible);
  EXPECT_EQ(view.barColor, 0x0000FFu);
  EXPECT_FALSE(view.button2Enabled);
  EXPECT_FALSE(view.updateEnabled);
  EXPECT_EQ(view.radioEnabled, (std::array<bool, 6>{}));
  EXPECT_EQ(view.label2, "");
  EXPECT_FALSE(view.image1Visible);
  EXPECT_TRUE(view.log.empty());

  EXPECT_EQ(sequence.Stage(), TransferStage::kFlash);
  EXPECT_EQ(sequence.BlockCounter(), 0);
  ASSERT_EQ(sequence.Blocks().records.size(), 2784u);
  EXPECT_EQ(sequence.Blocks().records[0][2], image[256]);
  EXPECT_EQ(sequence.Blocks().records[2783][17], image[44799]);
}

TEST_F(FlashSequenceTest, ConfigWaitsSendsAndReportsBurnOk) {
  FlashSequence sequence(view, waiter, WriteImage(45824));
  sequence.SendConfig();
  EXPECT_EQ(view.ops, (Ops{"Wait 250", "Send 94 09 ''", "Label3 'Burn OK.....'"}));
  EXPECT_EQ(sequence.Stage(), TransferStage::kConfig);
  EXPECT_EQ(sequence.BlockCounter(), 2816);

  // Without a current device the same steps run (the window drops the
  // command), but the stage is not marked.
  RecordingView noDevice;
  noDevice.currentDevice = false;
  RecordingWaiter noDeviceWaiter(noDevice);
  FlashSequence idle(noDevice, noDeviceWaiter);
  idle.SendConfig();
  EXPECT_EQ(noDevice.ops, view.ops);
  EXPECT_EQ(idle.Stage(), TransferStage::kNone);
  EXPECT_EQ(idle.BlockCounter(), 0);
}

TEST_F(FlashSequenceTest, FinishGivesTheControlsBackInOrder) {
  FlashSequence sequence(view, waiter, WriteImage(45824));
  sequence.BurnTouchpad();
  sequence.SendConfig();
  view.ops.clear();
  sequence.Finish();
  const Ops expected = {"Wait 500",      "Send 94 0A ''",
                        "EnableButton2", "HideBar",
                        "EnableRadio1",  "EnableRadio2",
                        "EnableRadio3",  "EnableRadio4",
                        "EnableRadio5",  "EnableRadio6",
                        "Wait 250",      "Label2Color 0000FF",
                        "HideImage1",    "Label3 'Please Unplug and Plug KB'"};
  EXPECT_EQ(view.ops, expected);
  EXPECT_EQ(sequence.Stage(), TransferStage::kNone);
  EXPECT_EQ(sequence.BlockCounter(), 0);
  EXPECT_FALSE(view.updateEnabled);
  EXPECT_EQ(view.label2, "");  // colour changes, text stays

  RecordingView noDevice;
  noDevice.currentDevice = false;
  RecordingWaiter noDeviceWaiter(noDevice);
  FlashSequence idle(noDevice, noDeviceWaiter);
  idle.Finish();
  EXPECT_EQ(noDevice.ops, expected);
  EXPECT_FALSE(noDevice.barVisible);
  EXPECT_TRUE(noDevice.button2Enabled);
}

TEST_F(FlashSequenceTest, StageMarksFollowOnlyCommandsThatWentOut) {
  FlashSequence sequence(view, waiter, WriteImage(45824));
  sequence.BurnTouchpad();
  sequence.SendConfig();
  ASSERT_EQ(sequence.Stage(), TransferStage::kConfig);
  view.currentDevice = false;  // the keyboard went away
  sequence.Finish();
  EXPECT_EQ(sequence.Stage(), TransferStage::kConfig);
  EXPECT_EQ(sequence.BlockCounter(), 2816);
}

}  // namespace
