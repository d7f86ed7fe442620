// The Qt front end of the window's behaviour: ui::Toolkit on QApplication.
// Forms are top-level widgets (dialogs when they have an owner), controls
// are the Qt widgets of the form's kinds, timers are QTimers, and the HID
// layer runs on Qt's loop.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/qt/QtMainLoop.h"
#include "ui/Toolkit.h"

class QTimer;
class QWidget;

namespace qtui {

class QtToolkit : public ui::Toolkit {
 public:
  // Needs the QApplication to exist for as long as the toolkit is used.
  QtToolkit();
  ~QtToolkit() override;

  std::unique_ptr<ui::Form> MakeForm(const ui::FormLayout& layout, ui::Form* owner) override;
  void RunModal(ui::Form& dialog) override;
  std::optional<std::string> AskSaveFileName(const ui::SaveDialogOptions& layout,
                                             ui::Form& owner) override;
  // TApplication's error box when the application is one, else a plain one.
  void ShowError(std::string_view message) override;
  hidplatform::MainLoop& HidMainLoop() override { return mainLoop_; }
  std::string ProgramDirectory() const override;

 private:
  QtMainLoop mainLoop_;
};

// The widget behind a form or control that this toolkit made (Qt-only tests,
// screenshots). A form's widget is its top-level window.
QWidget& WidgetOf(const ui::Form& form);
QWidget& WidgetOf(const ui::Control& control);
QTimer& TimerOf(const ui::Timer& timer);

}  // namespace qtui
