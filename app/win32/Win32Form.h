// A window of the Win32 front end: a top-level window whose client area has
// the form's size, with the form's controls as child windows at the form's
// coordinates. Controls outside the client area exist and work; the window
// clips them. One wholly outside it gets its window only when something
// first needs it (its handle, a click, a client area grown over it): the
// window tests and screenshots read those controls, nobody sees them, and
// making their windows was most of the window's start under Wine.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "app/win32/GdiObjects.h"
#include "app/win32/Win32Controls.h"
#include "ui/Form.h"

namespace win32 {

class Win32Timer;

class Win32Form : public ui::Form {
 public:
  // owner: the window a dialog belongs to (centred on it), or null for a
  // main window (centred on the screen; closing it ends the message loop).
  Win32Form(const ui::FormLayout& layout, Win32Form* owner, HandlerRunner run);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

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

  void FinishCreation() override;
  void Show() override;
  void Close() override;
  bool IsShown() const override;

  HWND Handle() const { return window_; }
  Win32Form* Owner() const { return owner_; }
  // Set by the modal loop while the owner is disabled for this dialog: the
  // owner is enabled again before the dialog hides, so it gets the
  // activation back.
  void SetModalOwnerDisabled(bool disabled) { modalOwnerDisabled_ = disabled; }

  // The window behind a control of this form (Windows-only tests, screenshots),
  // made now if it was put off.
  HWND HandleOf(const ui::Control& control) const;
  // Every control of the form, in the order they were added.
  const std::vector<std::unique_ptr<ControlWindow>>& Controls() const { return controls_; }
  // The form whose window this is, if one of ours.
  static Win32Form* FromHandle(HWND window);
  // The DPI the form is shown at; its lengths are the form's times dpi/96.
  int Dpi() const { return dpi_; }
  // Shows the form at another DPI: every control, font and picture scaled
  // again, the window at suggested (the system's WM_DPICHANGED rectangle),
  // or else with the form's client size at that DPI.
  void Rescale(int dpi, const RECT* suggested);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Message(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT ControlColor(HDC dc, HWND control);

  // How to make a control's window: its class and styles, and the group box
  // that parents it, if any.
  struct Recipe {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle = 0;
    Win32GroupBox* box = nullptr;
  };
  HWND MakeChild(const wchar_t* windowClass, const ui::ControlLayout& layout, DWORD style,
                 DWORD exStyle = 0, HWND parent = nullptr);
  // The control's window, or null when it is put off: wholly outside the
  // client area (or in a group box that is put off).
  HWND MakeOrPutOff(const Recipe& recipe, const ui::ControlLayout& layout);
  bool WhollyOutside(const ui::ControlLayout& layout) const;
  // Makes a put-off control's window, in its place among its siblings, and
  // a group box's buttons with it.
  void MakePutOff(ControlWindow& control);
  // Makes the put-off controls that the client area now reaches.
  void MakeThoseNowInside();
  HFONT FontFor(const ui::ControlLayout& layout);
  // Whether a control of that layout, in the parent window given (null:
  // the form), lies outside the client area as the layout places it.
  bool OutsideClient(const ui::ControlLayout& layout, HWND parent) const;
  template <typename Control>
  Control& Keep(std::unique_ptr<Control> control, const Recipe& recipe);
  ControlWindow* ControlOf(HWND window) const;
  void ApplyAnchors(int clientWidth, int clientHeight);
  // Gives the window that client size (in pixels) within its present frame.
  void SizeClient(int width, int height);
  int Scale(int length) const;
  RECT Scaled(const ui::Rect& bounds) const;

  ui::FormLayout layout_;
  Win32Form* owner_;
  HandlerRunner run_;
  bool modalOwnerDisabled_ = false;
  int nextControlId_ = 100;
  int dpi_;

  // Declared before the windows that use them, so they outlive them.
  std::map<std::tuple<std::string, int, bool>, GdiObject<HFONT>> fonts_;
  GdiObject<HBRUSH> background_;
  std::vector<std::unique_ptr<ControlWindow>> controls_;
  std::unordered_map<HWND, ControlWindow*> byWindow_;
  std::unordered_map<const ControlWindow*, Recipe> putOff_;
  // The client area's size in pixels, as the last WM_SIZE gave it.
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  std::vector<std::unique_ptr<Win32Timer>> timers_;
  HWND window_ = nullptr;
};

}  // namespace win32
