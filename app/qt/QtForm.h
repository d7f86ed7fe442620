// ui::Form on a top-level Qt window: a QWidget for the main window, a
// QDialog for a window with an owner. Owns the adapters of its controls and
// its timers; the widgets belong to the window.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

#include "app/qt/QtControls.h"
#include "ui/Form.h"

namespace qtui {

class QtForm final : public ui::Form, public WidgetHolder {
 public:
  QtForm(const ui::FormLayout& layout, QWidget* owner);
  ~QtForm() override;
  QtForm(const QtForm&) = delete;
  QtForm& operator=(const QtForm&) = delete;

  QWidget* Widget() const override { return window_; }

  ui::Label& AddLabel(const ui::ControlLayout& layout) override;
  ui::Button& AddButton(const ui::ControlLayout& layout) override;
  ui::ColorButton& AddColorButton(const ui::ControlLayout& layout) override;
  ui::Static& AddGroupBox(const ui::ControlLayout& layout) override;
  ui::CheckButton& AddRadioButton(const ui::ControlLayout& layout, ui::Static& group) override;
  ui::CheckButton& AddSpeedButton(const ui::ControlLayout& layout) override;
  ui::ListBox& AddListBox(const ui::ControlLayout& layout) override;
  ui::Edit& AddEdit(const ui::ControlLayout& layout) override;
  ui::Memo& AddMemo(const ui::ControlLayout& layout) override;
  ui::ProgressBar& AddProgressBar(const ui::ControlLayout& layout) override;
  ui::Static& AddPicture(const ui::ControlLayout& layout) override;
  ui::Timer& AddTimer(std::chrono::milliseconds interval) override;

  // Keeps keyboard focus inside the visible client area: a control that
  // does not lie wholly inside it takes no focus and loses its shortcut, so
  // a user who cannot see it cannot reach it with Tab, arrows or mnemonics.
  void FinishCreation() override;

  void Show() override;
  void Close() override;
  bool IsShown() const override;

  // Called by the window's events.
  void WindowShowing();
  void WindowActivated();
  void WindowResized();

 private:
  struct Anchored {
    QWidget* widget;
    ui::Rect bounds;
    unsigned anchors;
  };

  template <class Adapter>
  Adapter& Own(std::unique_ptr<Adapter> adapter);
  template <class Adapter, class... Args>
  Adapter& Keep(const ui::ControlLayout& layout, Args&&... args);

  ui::FormLayout layout_;
  QPointer<QWidget> window_;
  std::vector<std::unique_ptr<WidgetHolder>> controls_;
  std::vector<std::unique_ptr<QtTimer>> timers_;
  std::vector<Anchored> anchored_;
};

}  // namespace qtui
