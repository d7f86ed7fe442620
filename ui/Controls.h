// The controls of a form as the window's behaviour sees them, knowing no
// toolkit. Each front end (Qt on Linux, Win32 on Windows) implements them on
// its own widgets; the behaviour only sets and reads state and binds events.
// Texts are UTF-8.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controls/ColorValues.h"

namespace ui {

// In the form's pixels, relative to the parent's client area.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct Font {
  std::string family{};
  int pixels = 13;  // character height in pixels
  bool bold = false;
};

enum class Alignment { kLeft, kCenter, kRight };

// Which edges of the parent a control keeps its distance to when the parent
// is resized.
enum Anchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
};

// One control as the form describes it. Fields that a kind of control has
// no use for are ignored by it.
struct ControlLayout {
  std::string name{};  // the form's name ("Label2"), also the toolkit's object name
  Rect bounds{};
  std::string caption{};              // caption or initial text
  std::optional<Font> font{};         // the form's font when empty
  std::optional<TColor> textColor{};  // the scheme's text colour when empty
  Alignment alignment = Alignment::kLeft;
  bool enabled = true;
  bool visible = true;
  bool tabStop = true;         // reached with Tab (still focusable by a click)
  bool handCursor = false;     // the pointing-hand cursor over it
  bool sizeToContent = false;  // labels: as wide as their text; pictures: as their image
  unsigned anchors = kAnchorLeft | kAnchorTop;
  int itemHeight = 0;             // list boxes: the height of one row; 0 for the toolkit's own
  std::string resource{};         // pictures: the front end's name of the image ("Image1.jpg")
  bool centerVertically = false;  // labels: the text also in the middle of its height
  bool frame3D = false;           // colour buttons: the 3-D frame also while pressed
};

class Control {
 public:
  virtual ~Control() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // The control's own visibility flag (true also while its window is hidden).
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
};

class Label : public Control {
 public:
  virtual void SetText(std::string_view text) = 0;
  virtual std::string Text() const = 0;
  virtual void SetFontColor(TColor color) = 0;
  virtual TColor FontColor() const = 0;
};

class Button : public Control {
 public:
  virtual std::string Caption() const = 0;

  // Set by the behaviour; the front end calls them on the main thread.
  std::function<void()> OnClick;
  std::function<void()> OnMouseMove;
};

// TColorBtn: a push button whose face is painted in ButtonColor.
class ColorButton : public Button {
 public:
  // Repaints only when the colour really changes.
  virtual void SetButtonColor(TColor color) = 0;
  virtual TColor ButtonColor() const = 0;
};

// Radio buttons (exclusive within their group box) and the speed button
// that stays down until clicked again.
class CheckButton : public Button {
 public:
  // Setting the state is no click; OnChecked still follows.
  virtual void SetChecked(bool checked) = 0;
  virtual bool Checked() const = 0;
  // Whenever it becomes checked, by a click or by SetChecked.
  std::function<void()> OnChecked;
};

class ListBox : public Control {
 public:
  virtual void Add(std::string_view text) = 0;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  virtual std::string Item(int index) const = 0;
  // Selects a row (-1: none) and scrolls it into view. No click follows.
  virtual void SetItemIndex(int index) = 0;
  // The selected row, -1 when none.
  virtual int ItemIndex() const = 0;

  // The user clicked a row or changed the selection.
  std::function<void()> OnClick;
};

class Edit : public Control {
 public:
  virtual void SetText(std::string_view text) = 0;
  virtual std::string Text() const = 0;
};

// A multi-line text of whole lines (no wrapping: one line, one entry).
class Memo : public Control {
 public:
  virtual void AppendLine(std::string_view line) = 0;
  virtual int LineCount() const = 0;
  virtual std::string Line(int index) const = 0;
  virtual void Clear() = 0;
};

class ProgressBar : public Control {
 public:
  virtual void SetMaximum(int maximum) = 0;
  virtual int Maximum() const = 0;
  // A position past the range stands at its end.
  virtual void SetPosition(int position) = 0;
  virtual int Position() const = 0;
  // The colour of the filled part.
  virtual void SetBarColor(TColor color) = 0;
  virtual TColor BarColor() const = 0;
};

// A picture or a group box: only shown, hidden, enabled.
class Static : public Control {};

// A timer of the main loop. Enabling one that runs does not restart its
// period; changing the interval of one that runs restarts it.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(std::chrono::milliseconds interval) = 0;
  virtual std::chrono::milliseconds Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;

  std::function<void()> OnTimer;
};

// Enables a timer without restarting the period of one that already runs.
inline void EnableTimer(Timer& timer) {
  if (!timer.Enabled()) timer.SetEnabled(true);
}

}  // namespace ui
