#include "app/TouchpadPanel.h"

#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>

#include "controls/Colors.h"

namespace {

QPlainTextEdit* MakeMemo(QWidget* form, const char* name, const QRect& geometry) {
  auto* memo = new QPlainTextEdit(form);
  memo->setObjectName(QString::fromLatin1(name));
  memo->setGeometry(geometry);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // One staged line is one entry of the line list, however narrow the memo.
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

}  // namespace

// The sequence's view of the window's widgets.
class TouchpadPanel::View final : public touchpad::FlashView {
 public:
  View(TouchpadPanel& panel, TouchpadWindowParts parts) : panel_(panel), parts_(std::move(parts)) {}

  void AppendStagedLine(std::string_view line) override {
    // Appending at the end lays out only the new block; the memo is not
    // redrawn per line (nothing paints until the handler returns).
    panel_.Memo1->appendPlainText(
        QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  }
  int LineCount() const override {
    const QTextDocument* document = panel_.Memo1->document();
    return document->isEmpty() ? 0 : document->blockCount();
  }
  std::string Line(int index) const override {
    return panel_.Memo1->document()->findBlockByNumber(index).text().toStdString();
  }

  void ClearMemo1() override { panel_.Memo1->clear(); }
  void ClearMemo2() override { panel_.Memo2->clear(); }
  // The filled part of the bar takes the colour.
  void SetProgressBarColor(std::uint32_t bgr) override {
    QPalette palette = panel_.ProgressBar1->palette();
    palette.setColor(QPalette::Highlight, ToQColor(bgr, palette));
    panel_.ProgressBar1->setPalette(palette);
  }
  void SetProgressBarVisible(bool visible) override { panel_.ProgressBar1->setVisible(visible); }
  void SetProgressPosition(int position) override {
    // A position past the range stands at its end, as the platform's bar
    // does; QProgressBar would ignore it.
    QProgressBar& bar = *panel_.ProgressBar1;
    bar.setValue(std::clamp(position, bar.minimum(), bar.maximum()));
  }
  void SetProgressMaximum(int maximum) override { panel_.ProgressBar1->setMaximum(maximum); }
  void SetBurnButtonEnabled(bool enabled) override { parts_.Button2->setEnabled(enabled); }
  void DisableUpdateButton() override { parts_.DisableUpdateButton(); }
  void SetRadioButtonEnabled(int number, bool enabled) override {
    parts_.RadioButtons.at(static_cast<std::size_t>(number - 1))->setEnabled(enabled);
  }
  void SetLabel2Text(const std::string& text) override {
    parts_.Label2->setText(QString::fromStdString(text));
  }
  void SetLabel2FontColor(std::uint32_t bgr) override {
    QPalette palette = parts_.Label2->palette();
    palette.setColor(QPalette::WindowText, ToQColor(bgr, palette));
    parts_.Label2->setPalette(palette);
  }
  void SetLabel3Text(const std::string& text) override {
    parts_.Label3->setText(QString::fromStdString(text));
  }
  void SetImage1Visible(bool visible) override { parts_.Image1->setVisible(visible); }
  bool HasCurrentDevice() const override { return parts_.HasCurrentDevice(); }
  void SendCommand(std::uint8_t code, std::uint8_t argument, const std::string& suffix) override {
    parts_.SendCommand(code, argument, QString::fromStdString(suffix));
  }
  void AddHistoryLine(const std::string& text) override {
    parts_.AddHistoryLine(QString::fromLocal8Bit(text));
  }

 private:
  TouchpadPanel& panel_;
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

TouchpadPanel::TouchpadPanel(QWidget* form, TouchpadWindowParts parts, std::string imagePath)
    : view_(std::make_unique<View>(*this, std::move(parts))),
      waiter_(std::make_unique<ForwardingWaiter>()),
      sequence_(std::make_unique<touchpad::FlashSequence>(*view_, *waiter_, std::move(imagePath))) {
  Memo1 = MakeMemo(form, "Memo1", QRect(584, 576, 289, 193));
  Memo2 = MakeMemo(form, "Memo2", QRect(896, 472, 345, 321));
  ProgressBar1 = new QProgressBar(form);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(472, 536, 313, 33);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setVisible(false);
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
