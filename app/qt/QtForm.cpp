#include "app/qt/QtForm.h"

#include <QAbstractButton>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>

#include <algorithm>

#include "controls/Colors.h"
#include "ui/Anchors.h"
#include "ui/ClientArea.h"

namespace qtui {
namespace {

// The window's own events, handed to its QtForm.
template <class Base>
class FormWindow final : public Base {
 public:
  FormWindow(QtForm& form, QWidget* owner, Qt::WindowFlags flags)
      : Base(owner, flags), form_(form) {}

 protected:
  void showEvent(QShowEvent* event) override {
    form_.WindowShowing();
    Base::showEvent(event);
  }
  void resizeEvent(QResizeEvent* event) override {
    Base::resizeEvent(event);
    form_.WindowResized();
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange && this->isActiveWindow()) {
      form_.WindowActivated();
    }
    Base::changeEvent(event);
  }

 private:
  QtForm& form_;
};

}  // namespace

QtForm::QtForm(const ui::FormLayout& layout, QWidget* owner) : layout_(layout) {
  // A single fixed border with only the system menu and the close box.
  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  if (layout.stayOnTop) flags |= Qt::WindowStaysOnTopHint;
  if (layout.fixedSize) flags |= Qt::MSWindowsFixedSizeDialogHint;
  if (owner == nullptr) {
    window_ = new FormWindow<QWidget>(*this, nullptr, flags | Qt::Window);
  } else {
    // Qt centres a dialog on its owner when it is shown.
    window_ = new FormWindow<QDialog>(*this, owner, flags | Qt::Dialog);
  }
  window_->setObjectName(QString::fromStdString(layout.name));
  window_->setWindowTitle(QString::fromStdString(layout.caption));
  if (layout.fixedSize) {
    window_->setFixedSize(layout.clientWidth, layout.clientHeight);
  } else {
    window_->resize(layout.clientWidth, layout.clientHeight);
  }
  window_->setFont(PixelFont(layout.font));
  if (layout.color) {
    QPalette background = window_->palette();
    background.setColor(QPalette::Window, ToQColor(*layout.color, background));
    window_->setPalette(background);
    window_->setAutoFillBackground(true);
  }
  if (owner == nullptr && layout.centered) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect available = screen->availableGeometry();
      window_->move(available.center() - QPoint(layout.clientWidth / 2, layout.clientHeight / 2));
    }
  }
}

QtForm::~QtForm() {
  // The widgets go first, with their connections; then the adapters.
  delete window_.data();
}

template <class Adapter>
Adapter& QtForm::Own(std::unique_ptr<Adapter> adapter) {
  Adapter& kept = *adapter;
  controls_.push_back(std::move(adapter));
  return kept;
}

template <class Adapter, class... Args>
Adapter& QtForm::Keep(const ui::ControlLayout& layout, Args&&... args) {
  Adapter& kept = Own(std::make_unique<Adapter>(std::forward<Args>(args)..., layout));
  if (ui::FollowsResize(layout.anchors))
    anchored_.push_back({kept.Widget(), layout.bounds, layout.anchors});
  return kept;
}

ui::Label& QtForm::AddLabel(const ui::ControlLayout& layout) {
  return Keep<QtLabel>(layout, *window_);
}
ui::Button& QtForm::AddButton(const ui::ControlLayout& layout) {
  return Keep<QtButton>(layout, *window_);
}
ui::ColorButton& QtForm::AddColorButton(const ui::ControlLayout& layout) {
  return Keep<QtColorButton>(layout, *window_);
}
ui::Static& QtForm::AddGroupBox(const ui::ControlLayout& layout) {
  return Own(std::make_unique<QtStatic>(*window_, layout, QtStatic::Kind::kGroupBox));
}
ui::CheckButton& QtForm::AddRadioButton(const ui::ControlLayout& layout, ui::Static& group) {
  QWidget* box = dynamic_cast<WidgetHolder&>(group).Widget();
  return Own(std::make_unique<QtCheckButton>(*box, layout, QtCheckButton::Kind::kRadio));
}
ui::CheckButton& QtForm::AddSpeedButton(const ui::ControlLayout& layout) {
  return Own(std::make_unique<QtCheckButton>(*window_, layout, QtCheckButton::Kind::kSpeed));
}
ui::ListBox& QtForm::AddListBox(const ui::ControlLayout& layout) {
  return Keep<QtListBox>(layout, *window_);
}
ui::Edit& QtForm::AddEdit(const ui::ControlLayout& layout) {
  return Keep<QtEdit>(layout, *window_);
}
ui::Memo& QtForm::AddMemo(const ui::ControlLayout& layout) {
  return Keep<QtMemo>(layout, *window_);
}
ui::ProgressBar& QtForm::AddProgressBar(const ui::ControlLayout& layout) {
  return Keep<QtProgressBar>(layout, *window_);
}
ui::Static& QtForm::AddPicture(const ui::ControlLayout& layout) {
  return Own(std::make_unique<QtStatic>(*window_, layout, QtStatic::Kind::kPicture));
}

ui::Timer& QtForm::AddTimer(std::chrono::milliseconds interval) {
  timers_.push_back(std::make_unique<QtTimer>(interval));
  return *timers_.back();
}

void QtForm::FinishCreation() {
  for (QWidget* control : window_->findChildren<QWidget*>()) {
    // Only controls of this window: a dialog it owns has its own area.
    if (control->window() != window_) continue;
    const QPoint origin = control->mapTo(window_, QPoint(0, 0));
    const ui::Rect placed{origin.x(), origin.y(), control->width(), control->height()};
    if (ui::WhollyInsideClientArea(placed, window_->width(), window_->height())) continue;
    control->setFocusPolicy(Qt::NoFocus);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setShortcut({});
  }
}

void QtForm::Show() {
  window_->show();
}

void QtForm::Close() {
  window_->close();
}

bool QtForm::IsShown() const {
  return window_->isVisible();
}

void QtForm::WindowShowing() {
  if (OnShow) OnShow();
}

void QtForm::WindowActivated() {
  if (OnActivate) OnActivate();
}

void QtForm::WindowResized() {
  const int extraWidth = window_->width() - layout_.clientWidth;
  const int extraHeight = window_->height() - layout_.clientHeight;
  for (const Anchored& control : anchored_) {
    const ui::Rect placed =
        ui::AnchoredBounds(control.bounds, control.anchors, extraWidth, extraHeight);
    control.widget->setGeometry(placed.left, placed.top, placed.width, placed.height);
  }
}

}  // namespace qtui
