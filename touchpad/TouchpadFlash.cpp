#include "touchpad/TouchpadFlash.h"

#include <thread>
#include <utility>

namespace touchpad {
namespace {

constexpr int kRadioButtonCount = 6;

std::string TooShortLine(const std::string& imagePath, int lines) {
  return "TP image " + imagePath + " too short: " + std::to_string(lines) + " of " +
         std::to_string(kBlockRecordCount) + " lines, not flashed";
}

std::string DamagedLine(const std::string& imagePath, int line) {
  return "TP image " + imagePath + ": staged line " + std::to_string(line + 1) +
         " unreadable, not flashed";
}

// Why an image was not read at all, for the history log.
std::string RefusedLine(const std::string& imagePath, const StageResult& staged) {
  if (staged.outcome == StageOutcome::kNotRegularFile) {
    return "TP image " + imagePath + " is not a regular file, not flashed";
  }
  return "TP image " + imagePath + " too large: " + std::to_string(staged.fileSize) +
         " bytes, more than " + std::to_string(kMaxImageBytes) + ", not flashed";
}

}  // namespace

void SleepingWaiter::Wait(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

FlashSequence::FlashSequence(FlashView& view, Waiter& waiter, std::string imagePath)
    : view_(view), waiter_(waiter), imagePath_(std::move(imagePath)) {}

bool FlashSequence::SendTouchpadCommand(std::uint8_t argument) {
  const bool sent = view_.HasCurrentDevice();
  view_.SendCommand(kTouchpadCommand, argument, "");
  return sent;
}

void FlashSequence::BurnTouchpad() {
  stager_.ClearBuffer();
  blocks_ = BlockTable{};
  stagedLineCounter_ = 0;
  view_.ClearMemo1();
  view_.ClearMemo2();
  view_.SetProgressBarColor(kBarGreen);
  view_.SetBurnButtonEnabled(false);
  view_.DisableUpdateButton();
  view_.SetProgressBarVisible(true);
  view_.SetProgressPosition(0);
  view_.SetProgressMaximum(kProgressMaximum);

  const StageResult staged = stager_.Stage(imagePath_, view_, stagedLineCounter_);
  if (staged.outcome != StageOutcome::kStaged) {
    view_.AddHistoryLine(RefusedLine(imagePath_, staged));
    view_.SetBurnButtonEnabled(true);
    return;
  }

  // The records are made from the text in Memo1, as a transfer would send
  // them. Without all of them there is nothing valid to flash: stop before
  // the Flash command and give the button back.
  blocks_ = BuildBlockTable(view_);
  if (blocks_.status != BlockTableStatus::kBuilt) {
    view_.AddHistoryLine(blocks_.status == BlockTableStatus::kTooFewLines
                             ? TooShortLine(imagePath_, view_.LineCount())
                             : DamagedLine(imagePath_, blocks_.failedLine));
    view_.SetBurnButtonEnabled(true);
    return;
  }

  view_.SetLabel2Text("");
  view_.SetImage1Visible(false);
  for (int number = 1; number <= kRadioButtonCount; ++number) {
    view_.SetRadioButtonEnabled(number, false);
  }
  view_.SetProgressBarColor(kBarRed);
  if (SendTouchpadCommand(kFlashArgument)) {
    stage_ = TransferStage::kFlash;
    blockCounter_ = 0;
  }
}

void FlashSequence::SendConfig() {
  waiter_.Wait(std::chrono::milliseconds(250));
  if (SendTouchpadCommand(kConfigArgument)) {
    stage_ = TransferStage::kConfig;
    blockCounter_ = kConfigBlockCounter;
  }
  view_.SetLabel3Text("Burn OK.....");
}

void FlashSequence::Finish() {
  waiter_.Wait(std::chrono::milliseconds(500));
  if (SendTouchpadCommand(kFinishArgument)) {
    stage_ = TransferStage::kNone;
    blockCounter_ = 0;
  }
  view_.SetBurnButtonEnabled(true);
  view_.SetProgressBarVisible(false);
  for (int number = 1; number <= kRadioButtonCount; ++number) {
    view_.SetRadioButtonEnabled(number, true);
  }
  waiter_.Wait(std::chrono::milliseconds(250));
  view_.SetLabel2FontColor(kLabelRed);
  view_.SetImage1Visible(false);
  view_.SetLabel3Text("Please Unplug and Plug KB");
}

}  // namespace touchpad
