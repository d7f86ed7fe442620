// The form's controls on the platform's own window classes: STATIC labels and
// pictures, LISTBOX, BUTTON (push, owner-drawn, radio, push-like check box,
// group box), EDIT and msctls_progress32. Each is a child window of its form;
// the form routes its notifications (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR*)
// here. A control wholly outside its form's client area may be made without
// a window: it keeps its state itself until the window is first needed
// (Handle()), and the window then takes that state over.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/win32/GdiObjects.h"
#include "ui/Controls.h"

namespace win32 {

// Runs a behaviour's handler; an exception it raises goes to the
// application's error box instead of unwinding through the system's frames.
using HandlerRunner = std::function<void(const std::function<void()>& handler)>;

// What every control window shares, seen by its form.
class ControlWindow {
 public:
  // window: null when the form puts the window off (PutOff).
  ControlWindow(HWND window, ui::ControlLayout layout, HandlerRunner run);
  virtual ~ControlWindow() = default;
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;
  // The control's window, made now if it was put off.
  HWND Handle();
  // The window if it has been made; null while it is put off.
  HWND Existing() const { return window_; }
  const ui::ControlLayout& Layout() const { return layout_; }
  // The form makes the window with make once something first needs it.
  void PutOff(std::function<void()> make) { make_ = std::move(make); }
  // The form has made the window (from CurrentLayout): it takes over the
  // state kept until now.
  void Attach(HWND window);
  // The layout with the caption, enabled and visible state the control has
  // now: what a window made later starts from.
  ui::ControlLayout CurrentLayout() const;

  // A notification code of WM_COMMAND from this control.
  virtual void OnCommand(WORD /*code*/) {}
  // WM_DRAWITEM for an owner-drawn control.
  virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  // The text colour for WM_CTLCOLOR*; empty for the system's.
  virtual std::optional<TColor> TextColor() const { return layout_.textColor; }
  // Remembers where the pointer is. The system sends a window that appears
  // or moves under a resting pointer a mouse move too; only a move to
  // another place is a movement of the mouse (forms note the pointer when
  // they are shown).
  static void NotePointer();
  // The form is shown at another DPI and has placed the control: it takes
  // the font made for that DPI and scales what it sizes itself.
  virtual void Rescale(int dpi, HFONT font);
  // Takes no focus (set by the form's FinishCreation).
  void SetNoFocus() { noFocus_ = true; }
  bool NoFocus() const { return noFocus_; }

 protected:
  // The window was made late: give it what was kept in its place.
  virtual void OnAttach() {}
  // Subclasses the window: mouse moves, the hand cursor, no-focus controls
  // and double clicks of colour buttons pass through SubclassMessage.
  void Subclass();
  virtual LRESULT SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  // Whether a mouse move's position (client coordinates) lies elsewhere than
  // the last one.
  bool PointerMoved(LPARAM position) const;
  void Run(const std::function<void()>& handler) const;
  std::string WindowText() const;
  void SetWindowText(std::string_view text);

  HWND window_;
  ui::ControlLayout layout_;
  HandlerRunner run_;
  bool noFocus_ = false;
  // The state while there is no window; the window's own once it exists.
  bool enabled_;
  bool visible_;
  std::string text_;
  std::function<void()>* mouseMove_ = nullptr;  // the control's OnMouseMove, when it has one

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);

  std::function<void()> make_;
};

// Enabled and visible state, the same for every kind. Setting the state a
// control already has changes nothing and is skipped: a device change sets
// the same states once per device, and under Wine each EnableWindow costs a
// round trip (and sends WM_CANCELMODE) even when nothing changes.
template <typename Interface>
class Win32Control : public Interface, public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  void SetEnabled(bool enabled) override {
    if (Enabled() == enabled) return;
    if (window_ == nullptr) {
      enabled_ = enabled;
    } else {
      EnableWindow(window_, enabled ? TRUE : FALSE);
    }
  }
  bool Enabled() const override {
    return window_ == nullptr ? enabled_ : IsWindowEnabled(window_) != FALSE;
  }
  void SetVisible(bool visible) override {
    if (Visible() == visible) return;
    if (window_ == nullptr) {
      visible_ = visible;
    } else {
      ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    }
  }
  bool Visible() const override {
    return window_ == nullptr ? visible_ : (GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0;
  }
};

class Win32Label : public Win32Control<ui::Label> {
 public:
  Win32Label(HWND window, ui::ControlLayout layout, HandlerRunner run, HFONT font);
  void SetText(std::string_view text) override;
  // Only the program sets a label's text: kept here, it is read without a
  // round trip through the window (about 0.17 ms under Wine, once per
  // arrival of a device), and setting the text it has is skipped.
  std::string Text() const override { return labelText_; }
  void SetFontColor(TColor color) override;
  TColor FontColor() const override { return color_; }
  std::optional<TColor> TextColor() const override { return color_; }
  void Rescale(int dpi, HFONT font) override;

 protected:
  void OnAttach() override;

 private:
  void SizeToText();
  HFONT font_;
  TColor color_;
  std::string labelText_;
};

class Win32Button : public Win32Control<ui::Button> {
 public:
  Win32Button(HWND window, ui::ControlLayout layout, HandlerRunner run);
  std::string Caption() const override { return WindowText(); }
  void OnCommand(WORD code) override;
};

// TColorBtn: an owner-drawn button painted by the shared painting steps.
class Win32ColorButton : public Win32Control<ui::ColorButton> {
 public:
  // dpi: the form's; the painting's lengths are scaled to it.
  Win32ColorButton(HWND window, ui::ControlLayout layout, HandlerRunner run, HFONT font, int dpi);
  std::string Caption() const override { return WindowText(); }
  void SetButtonColor(TColor color) override;
  TColor ButtonColor() const override { return buttonColor_; }
  void OnCommand(WORD code) override;
  void OnDrawItem(const DRAWITEMSTRUCT& item) override;
  void Rescale(int dpi, HFONT font) override;
  // The window's active button (here: the focused one; these forms have no
  // default button).
  bool IsActiveButton() const { return active_; }

 protected:
  LRESULT SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HFONT font_;
  int dpi_;
  TColor buttonColor_ = clBtnFace;
  bool active_ = false;
};

// Radio buttons (BS_AUTORADIOBUTTON, children of their group box) and the
// speed button (a push-like check box).
class Win32CheckButton : public Win32Control<ui::CheckButton> {
 public:
  // group: the other buttons that this one excludes (radio buttons only).
  Win32CheckButton(HWND window, ui::ControlLayout layout, HandlerRunner run,
                   std::vector<Win32CheckButton*>* group);
  std::string Caption() const override { return WindowText(); }
  void SetChecked(bool checked) override;
  bool Checked() const override;
  void OnCommand(WORD code) override;

 protected:
  void OnAttach() override;

 private:
  // Fires OnChecked for the buttons of the group that became checked since
  // they were last looked at.
  void NoticeChanges();
  bool IsCheckedNow() const;
  void Check(bool checked);

  std::vector<Win32CheckButton*>* group_;
  bool lastChecked_ = false;
  bool checked_ = false;  // while there is no window
};

class Win32ListBox : public Win32Control<ui::ListBox> {
 public:
  // dpi: the form's; the layout's row height is scaled to it.
  Win32ListBox(HWND window, ui::ControlLayout layout, HandlerRunner run, int dpi);
  void Add(std::string_view text) override;
  void Clear() override;
  int Count() const override { return count_; }
  std::string Item(int index) const override;
  void SetItemIndex(int index) override;
  int ItemIndex() const override;
  void OnCommand(WORD code) override;
  void Rescale(int dpi, HFONT font) override;

 protected:
  LRESULT SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnAttach() override;

 private:
  void SetRowHeight(int dpi);
  // Stops painting until the message loop runs again: a device change adds
  // a hundred lines in one handler, and a list box that repaints and
  // scrolls for each takes about 9 ms a line under Wine.
  void HoldRedraw();

  bool redrawHeld_ = false;
  // The selection made while painting is held, set once when it resumes:
  // the history selects each line it adds, and each selection scrolls the
  // list (about 0.33 ms a line under Wine).
  std::optional<int> heldIndex_;
  // Only the program adds and removes lines: the count is kept here, not
  // asked of the window at each line the history adds (twice a line).
  int count_ = 0;
  int dpi_;
  // The lines and the selection while there is no window.
  std::vector<std::string> items_;
  int selected_ = -1;
};

class Win32Edit : public Win32Control<ui::Edit> {
 public:
  using Win32Control::Win32Control;
  void SetText(std::string_view text) override { SetWindowText(text); }
  std::string Text() const override { return WindowText(); }
};

// A multi-line EDIT. The lines are kept here and are the memo's content; the
// control shows them once the message loop runs again, in one go: an edit
// control that takes thousands of lines one by one repaints and scrolls for
// each (tens of milliseconds a line under Wine).
class Win32Memo : public Win32Control<ui::Memo> {
 public:
  Win32Memo(HWND window, ui::ControlLayout layout, HandlerRunner run);
  void AppendLine(std::string_view line) override;
  int LineCount() const override { return static_cast<int>(lines_.size()); }
  std::string Line(int index) const override;
  void Clear() override;

 protected:
  LRESULT SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnAttach() override;

 private:
  void ShowLines();

  std::vector<std::string> lines_;
  bool showPending_ = false;
};

class Win32ProgressBar : public Win32Control<ui::ProgressBar> {
 public:
  Win32ProgressBar(HWND window, ui::ControlLayout layout, HandlerRunner run);
  void SetMaximum(int maximum) override;
  int Maximum() const override;
  void SetPosition(int position) override;
  int Position() const override;
  void SetBarColor(TColor color) override;
  TColor BarColor() const override { return barColor_; }

 protected:
  void OnAttach() override;

 private:
  void Prepare();

  TColor barColor_ = kSystemColorFlag | COLOR_HIGHLIGHT;
  bool barColorSet_ = false;
  // The range's end and the position while there is no window.
  int maximum_ = 100;
  int position_ = 0;
};

// A group box or a picture.
class Win32Static : public Win32Control<ui::Static> {
 public:
  using Win32Control::Win32Control;
};

// The group box also parents its radio buttons: it hands their
// notifications on to the form.
class Win32GroupBox : public Win32Static {
 public:
  Win32GroupBox(HWND window, ui::ControlLayout layout, HandlerRunner run, HWND form);
  std::vector<Win32CheckButton*> buttons;

 protected:
  LRESULT SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND form_;
};

class Win32Picture : public Win32Static {
 public:
  // dpi: the form's; the picture is decoded at it once there is a window
  // to show it (about 1.3 ms under Wine).
  Win32Picture(HWND window, ui::ControlLayout layout, HandlerRunner run, int dpi);
  void Rescale(int dpi, HFONT font) override;

 protected:
  void OnAttach() override;

 private:
  void ShowPicture();

  int dpi_;
  GdiObject<HBITMAP> bitmap_;  // shown by the window, which does not own it
};

}  // namespace win32
