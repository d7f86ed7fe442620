// The window's touchpad part: Memo1, Memo2 and ProgressBar1, and the three
// flashing buttons' handlers, bound to the window's own controls and
// operations. The window creates one and forwards the button clicks.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/TouchpadFlash.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

// What the touchpad part uses of the window.
struct TouchpadWindowParts {
  QWidget* Button2 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QWidget* Image1 = nullptr;
  std::array<QWidget*, 6> RadioButtons{};
  // The "Update" colour button to its button-face colour, disabled.
  std::function<void()> DisableUpdateButton;
  std::function<bool()> HasCurrentDevice;
  std::function<void(std::uint8_t code, std::uint8_t argument, const QString& suffix)> SendCommand;
  std::function<void(const QString& text)> AddHistoryLine;
};

class TouchpadPanel {
 public:
  // Creates Memo1, Memo2 and ProgressBar1 on `form` at their form positions.
  // The image is read from `imagePath` (the fixed name in the current
  // directory for the window).
  TouchpadPanel(QWidget* form, TouchpadWindowParts parts,
                std::string imagePath = touchpad::kImageFileName);
  ~TouchpadPanel();
  TouchpadPanel(const TouchpadPanel&) = delete;
  TouchpadPanel& operator=(const TouchpadPanel&) = delete;

  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

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
