// One adapter per control kind of the form, each on the Qt widget of that
// kind. Made by QtForm; the widgets belong to the form's window, the
// adapters to QtForm.
#pragma once

#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

#include "ui/Controls.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class TColorBtn;

namespace qtui {

// The widget behind an adapter.
class WidgetHolder {
 public:
  virtual ~WidgetHolder() = default;
  virtual QWidget* Widget() const = 0;
};

// The form's pixel font; where "MS Sans Serif" is missing, Liberation Sans
// is the nearest in width (the usual substitute is too wide for the places
// the form gives its texts).
QFont PixelFont(const ui::Font& font);

// Places, names and styles a new widget as the description says (bounds,
// font, text colour, enabled, visible, tab stop, cursor).
void ApplyLayout(QWidget& widget, const ui::ControlLayout& layout);

// What every kind shares: enabled and the own visibility flag.
template <class Interface>
class Adapter : public Interface, public WidgetHolder {
 public:
  explicit Adapter(QWidget* widget) : widget_(widget) {}
  QWidget* Widget() const override { return widget_; }
  void SetEnabled(bool enabled) override { widget_->setEnabled(enabled); }
  bool Enabled() const override { return widget_->isEnabled(); }
  void SetVisible(bool visible) override { widget_->setVisible(visible); }
  bool Visible() const override { return !widget_->isHidden(); }

 private:
  QWidget* widget_;
};

class QtLabel final : public Adapter<ui::Label> {
 public:
  QtLabel(QWidget& parent, const ui::ControlLayout& layout);
  void SetText(std::string_view text) override;
  std::string Text() const override;
  void SetFontColor(TColor color) override;
  TColor FontColor() const override { return color_; }

 private:
  QLabel* label_;
  bool sizeToContent_;
  TColor color_;
};

// Push buttons, the colour button, radio buttons and the speed button.
template <class Interface>
class ButtonAdapter : public Adapter<Interface> {
 public:
  ButtonAdapter(QAbstractButton* button, const ui::ControlLayout& layout);
  std::string Caption() const override;

 protected:
  QAbstractButton* button_;
};

class QtButton final : public ButtonAdapter<ui::Button> {
 public:
  QtButton(QWidget& parent, const ui::ControlLayout& layout);
};

// TColorBtn as it is; only its colour and frame are set from here.
class QtColorButton final : public ButtonAdapter<ui::ColorButton> {
 public:
  QtColorButton(QWidget& parent, const ui::ControlLayout& layout);
  void SetButtonColor(TColor color) override;
  TColor ButtonColor() const override;

 private:
  TColorBtn* colorButton_;
};

// A radio button (in a QGroupBox) or a checkable, flat QToolButton.
class QtCheckButton final : public ButtonAdapter<ui::CheckButton> {
 public:
  enum class Kind { kRadio, kSpeed };
  QtCheckButton(QWidget& parent, const ui::ControlLayout& layout, Kind kind);
  void SetChecked(bool checked) override;
  bool Checked() const override;
};

class QtListBox final : public Adapter<ui::ListBox> {
 public:
  QtListBox(QWidget& parent, const ui::ControlLayout& layout);
  void Add(std::string_view text) override;
  void Clear() override;
  int Count() const override;
  std::string Item(int index) const override;
  void SetItemIndex(int index) override;
  int ItemIndex() const override;

 private:
  QListWidget* list_;
  int itemHeight_;
  // True while the program itself changes the selection: no click.
  bool selecting_ = false;
};

class QtEdit final : public Adapter<ui::Edit> {
 public:
  QtEdit(QWidget& parent, const ui::ControlLayout& layout);
  void SetText(std::string_view text) override;
  std::string Text() const override;

 private:
  QLineEdit* edit_;
};

class QtMemo final : public Adapter<ui::Memo> {
 public:
  QtMemo(QWidget& parent, const ui::ControlLayout& layout);
  void AppendLine(std::string_view line) override;
  int LineCount() const override;
  std::string Line(int index) const override;
  void Clear() override;

 private:
  QPlainTextEdit* memo_;
};

class QtProgressBar final : public Adapter<ui::ProgressBar> {
 public:
  QtProgressBar(QWidget& parent, const ui::ControlLayout& layout);
  void SetMaximum(int maximum) override;
  int Maximum() const override;
  // QProgressBar ignores a value outside its range; the form's bar stands
  // at the end instead.
  void SetPosition(int position) override;
  int Position() const override;
  void SetBarColor(TColor color) override;
  TColor BarColor() const override { return barColor_; }

 private:
  // Until set, the scheme's highlight colour (system colour 13).
  static constexpr TColor kSchemeHighlight = kSystemColorFlag | 13;
  QProgressBar* bar_;
  TColor barColor_ = kSchemeHighlight;
};

// A group box, or a picture (a JPEG of the Qt resources, decoded with
// libjpeg-turbo).
class QtStatic final : public Adapter<ui::Static> {
 public:
  enum class Kind { kGroupBox, kPicture };
  QtStatic(QWidget& parent, const ui::ControlLayout& layout, Kind kind);
};

class QtTimer final : public ui::Timer {
 public:
  explicit QtTimer(std::chrono::milliseconds interval);
  void SetInterval(std::chrono::milliseconds interval) override;
  std::chrono::milliseconds Interval() const override;
  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  QTimer& Timer() { return timer_; }

 private:
  QTimer timer_;
};

}  // namespace qtui
