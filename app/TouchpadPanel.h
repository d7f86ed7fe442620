// The window's touchpad part: the three flashing buttons' handlers, bound to
// the window's own controls (Memo1, ProgressBar1, the status labels, ...)
// and operations. The window creates one and forwards the button clicks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "touchpad/TouchpadFlash.h"
#include "ui/Controls.h"

// What the touchpad part uses of the window.
struct TouchpadWindowParts {
  ui::Memo* Memo1 = nullptr;
  ui::Memo* Memo2 = nullptr;
  ui::ProgressBar* ProgressBar1 = nullptr;
  ui::Control* Button2 = nullptr;
  ui::Label* Label2 = nullptr;
  ui::Label* Label3 = nullptr;
  ui::Control* Image1 = nullptr;
  std::array<ui::Control*, 6> RadioButtons{};
  // The "Update" colour button to its button-face colour, disabled.
  std::function<void()> DisableUpdateButton;
  std::function<bool()> HasCurrentDevice;
  std::function<void(std::uint8_t code, std::uint8_t argument, std::string_view suffix)>
      SendCommand;
  std::function<void(std::string_view text)> AddHistoryLine;
};

class TouchpadPanel {
 public:
  // The image is read from `imagePath` (the fixed name in the current
  // directory for the window).
  explicit TouchpadPanel(TouchpadWindowParts parts,
                         std::string imagePath = touchpad::kImageFileName);
  ~TouchpadPanel();
  TouchpadPanel(const TouchpadPanel&) = delete;
  TouchpadPanel& operator=(const TouchpadPanel&) = delete;

  void Button2Click();  // "Burn TP"; throws touchpad::ImageOpenError
  void Button3Click();
  void Button4Click();

  std::int32_t StagedLineCounter() const { return sequence_->StagedLineCounter(); }
  const touchpad::FlashSequence& Sequence() const { return *sequence_; }

  // The buttons' waits block the window for real; tests count them instead.
  void ReplaceWaiter(std::unique_ptr<touchpad::Waiter> waiter);

 private:
  class View;
  class ForwardingWaiter;

  std::unique_ptr<View> view_;
  std::unique_ptr<ForwardingWaiter> waiter_;
  std::unique_ptr<touchpad::FlashSequence> sequence_;
};
