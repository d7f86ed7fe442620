// A window of the front end (the update window, the information dialog),
// as the window's behaviour makes and drives it. The behaviour adds the
// controls from its own description of the form; the front end makes them
// with its toolkit and owns them for the window's life.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "ui/Controls.h"

namespace ui {

struct FormLayout {
  std::string name{};     // the form's name ("bootloaderFORM"), also the object name
  std::string caption{};  // the title bar's text
  int clientWidth = 0;
  int clientHeight = 0;
  Font font{};                    // the font of controls that name none
  std::optional<TColor> color{};  // the background; the scheme's when empty
  bool stayOnTop = false;
  // A single fixed border with only the system menu and the close box;
  // otherwise a sizeable dialog frame.
  bool fixedSize = true;
  // The main window is centred on the screen, a dialog on its owner.
  bool centered = true;
};

class Form {
 public:
  virtual ~Form() = default;

  virtual Label& AddLabel(const ControlLayout& layout) = 0;
  virtual Button& AddButton(const ControlLayout& layout) = 0;
  virtual ColorButton& AddColorButton(const ControlLayout& layout) = 0;
  // A frame around radio buttons; the buttons in one group exclude each other.
  virtual Static& AddGroupBox(const ControlLayout& layout) = 0;
  // A radio button inside a group made by AddGroupBox; its bounds are
  // relative to the group.
  virtual CheckButton& AddRadioButton(const ControlLayout& layout, Static& group) = 0;
  // A flat button that stays down after a click and comes up at the next.
  virtual CheckButton& AddSpeedButton(const ControlLayout& layout) = 0;
  virtual ListBox& AddListBox(const ControlLayout& layout) = 0;
  virtual Edit& AddEdit(const ControlLayout& layout) = 0;
  virtual Memo& AddMemo(const ControlLayout& layout) = 0;
  virtual ProgressBar& AddProgressBar(const ControlLayout& layout) = 0;
  virtual Static& AddPicture(const ControlLayout& layout) = 0;
  // A timer of this window, made disabled.
  virtual Timer& AddTimer(std::chrono::milliseconds interval) = 0;

  // Called once all controls exist: a control not wholly inside the client
  // area takes no focus and no shortcut.
  virtual void FinishCreation() = 0;

  virtual void Show() = 0;
  // Closes the window; closing the main window ends the application.
  virtual void Close() = 0;
  virtual bool IsShown() const = 0;

  // Set by the behaviour; called on the main thread.
  std::function<void()> OnShow;      // each time before the window is shown
  std::function<void()> OnActivate;  // the window became the active one
};

}  // namespace ui
