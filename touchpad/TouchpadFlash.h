// The touchpad flashing buttons: "Burn TP" stages the image and sends the
// Flash command, Button3 the Config command, Button4 the finishing command.
// The sequence drives the window through FlashView, so it runs the same
// against the real window and against a test's recording view.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "touchpad/TouchpadBlocks.h"
#include "touchpad/TouchpadImage.h"

namespace touchpad {

// Colours as 0x00BBGGRR values.
inline constexpr std::uint32_t kBarGreen = 0x008000;
inline constexpr std::uint32_t kBarRed = 0x0000FF;
inline constexpr std::uint32_t kLabelRed = 0x0000FF;

inline constexpr std::uint8_t kTouchpadCommand = 0x94;
inline constexpr std::uint8_t kFlashArgument = 0x08;
inline constexpr std::uint8_t kConfigArgument = 0x09;
inline constexpr std::uint8_t kFinishArgument = 0x0A;

inline constexpr int kProgressMaximum = kBlockRecordCount;
// Block counter once the configuration blocks are due.
inline constexpr int kConfigBlockCounter = 2816;

// What the sequence needs of the window. Staged lines go to Memo1 through the
// sink and are read back from it through StagedLines.
class FlashView : public StagedLineSink, public StagedLines {
 public:
  virtual void ClearMemo1() = 0;
  virtual void ClearMemo2() = 0;
  virtual void SetProgressBarColor(std::uint32_t bgr) = 0;
  virtual void SetProgressBarVisible(bool visible) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetBurnButtonEnabled(bool enabled) = 0;  // Button2
  // The "Update" colour button: button-face colour, disabled.
  virtual void DisableUpdateButton() = 0;
  // RadioButton1 to RadioButton6, number counted from 1.
  virtual void SetRadioButtonEnabled(int number, bool enabled) = 0;
  virtual void SetLabel2Text(const std::string& text) = 0;
  virtual void SetLabel2FontColor(std::uint32_t bgr) = 0;
  virtual void SetLabel3Text(const std::string& text) = 0;
  virtual void SetImage1Visible(bool visible) = 0;
  virtual bool HasCurrentDevice() const = 0;
  // The window's SendCommand: to every listed device, and logged; dropped
  // when there is no current device.
  virtual void SendCommand(std::uint8_t code, std::uint8_t argument, const std::string& suffix) = 0;
  virtual void AddHistoryLine(const std::string& text) = 0;

  // Staging moves the progress bar with every line.
  void StagedLineCountChanged(std::int32_t count) override { SetProgressPosition(count); }
};

// The blocking waits of the buttons. The window's waits block it, as the
// buttons are meant to; tests record them instead of sleeping.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void Wait(std::chrono::milliseconds duration) = 0;
};

class SleepingWaiter final : public Waiter {
 public:
  void Wait(std::chrono::milliseconds duration) override;
};

// Stage of the (untransmitted) block transfer.
enum class TransferStage { kNone, kFlash, kConfig };

class FlashSequence {
 public:
  FlashSequence(FlashView& view, Waiter& waiter, std::string imagePath = kImageFileName);

  // "Burn TP". Throws ImageOpenError when the image cannot be opened; the
  // controls then stay as the steps before staging left them. An image that
  // is not a regular file, too large or too short is logged and not flashed;
  // the button is given back.
  void BurnTouchpad();
  void SendConfig();  // Button3
  void Finish();      // Button4

  std::int32_t StagedLineCounter() const { return stagedLineCounter_; }
  const BlockTable& Blocks() const { return blocks_; }
  TransferStage Stage() const { return stage_; }
  int BlockCounter() const { return blockCounter_; }

 private:
  // Sends one touchpad command; true when it went out (a current device).
  bool SendTouchpadCommand(std::uint8_t argument);

  FlashView& view_;
  Waiter& waiter_;
  std::string imagePath_;
  ImageStager stager_;
  std::int32_t stagedLineCounter_ = 0;
  BlockTable blocks_;
  TransferStage stage_ = TransferStage::kNone;
  int blockCounter_ = 0;
};

}  // namespace touchpad
