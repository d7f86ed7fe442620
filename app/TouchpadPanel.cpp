#include "app/TouchpadPanel.h"

#include <utility>

// The sequence's view of the window's controls.
class TouchpadPanel::View final : public touchpad::FlashView {
 public:
  explicit View(TouchpadWindowParts parts) : parts_(std::move(parts)) {}

  // Appending at the end lays out only the new line; nothing is repainted
  // until the handler returns.
  void AppendStagedLine(std::string_view line) override { parts_.Memo1->AppendLine(line); }
  int LineCount() const override { return parts_.Memo1->LineCount(); }
  std::string Line(int index) const override { return parts_.Memo1->Line(index); }

  void ClearMemo1() override { parts_.Memo1->Clear(); }
  void ClearMemo2() override { parts_.Memo2->Clear(); }
  void SetProgressBarColor(std::uint32_t bgr) override { parts_.ProgressBar1->SetBarColor(bgr); }
  void SetProgressBarVisible(bool visible) override { parts_.ProgressBar1->SetVisible(visible); }
  // A position past the range stands at its end (ui::ProgressBar's rule).
  void SetProgressPosition(int position) override { parts_.ProgressBar1->SetPosition(position); }
  void SetProgressMaximum(int maximum) override { parts_.ProgressBar1->SetMaximum(maximum); }
  void SetBurnButtonEnabled(bool enabled) override { parts_.Button2->SetEnabled(enabled); }
  void DisableUpdateButton() override { parts_.DisableUpdateButton(); }
  void SetRadioButtonEnabled(int number, bool enabled) override {
    parts_.RadioButtons.at(static_cast<std::size_t>(number - 1))->SetEnabled(enabled);
  }
  void SetLabel2Text(const std::string& text) override { parts_.Label2->SetText(text); }
  void SetLabel2FontColor(std::uint32_t bgr) override { parts_.Label2->SetFontColor(bgr); }
  void SetLabel3Text(const std::string& text) override { parts_.Label3->SetText(text); }
  void SetImage1Visible(bool visible) override { parts_.Image1->SetVisible(visible); }
  bool HasCurrentDevice() const override { return parts_.HasCurrentDevice(); }
  void SendCommand(std::uint8_t code, std::uint8_t argument, const std::string& suffix) override {
    parts_.SendCommand(code, argument, suffix);
  }
  void AddHistoryLine(const std::string& text) override { parts_.AddHistoryLine(text); }

 private:
  TouchpadWindowParts parts_;
};

// Lets the waits be replaced after the sequence was made.
class TouchpadPanel::ForwardingWaiter final : public touchpad::Waiter {
 public:
  void Wait(std::chrono::milliseconds duration) override { target_->Wait(duration); }
  void Replace(std::unique_ptr<touchpad::Waiter> target) { target_ = std::move(target); }

 private:
  std::unique_ptr<touchpad::Waiter> target_ = std::make_unique<touchpad::SleepingWaiter>();
};

TouchpadPanel::TouchpadPanel(TouchpadWindowParts parts, std::string imagePath)
    : view_(std::make_unique<View>(std::move(parts))),
      waiter_(std::make_unique<ForwardingWaiter>()),
      sequence_(std::make_unique<touchpad::FlashSequence>(*view_, *waiter_, std::move(imagePath))) {
}

TouchpadPanel::~TouchpadPanel() = default;

void TouchpadPanel::Button2Click() {
  sequence_->BurnTouchpad();
}
void TouchpadPanel::Button3Click() {
  sequence_->SendConfig();
}
void TouchpadPanel::Button4Click() {
  sequence_->Finish();
}

void TouchpadPanel::ReplaceWaiter(std::unique_ptr<touchpad::Waiter> waiter) {
  waiter_->Replace(std::move(waiter));
}
