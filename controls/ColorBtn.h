// A push button that paints its own face in ButtonColor instead of the
// scheme's button colour. Everything else (caption, font, enabled state,
// clicks, cursor, focus) is the plain push button's.
#pragma once

#include <QPushButton>

#include "controls/ColorBtnPainting.h"
#include "controls/Colors.h"

class QPainter;

class TColorBtn : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(quint32 ButtonColor READ ButtonColor WRITE SetButtonColor)
  Q_PROPERTY(bool Frame3D READ Frame3D WRITE SetFrame3D)

 public:
  // What a paint request says about the button at that moment.
  using ItemState = colorbtn::ItemState;

  explicit TColorBtn(QWidget* parent = nullptr);
  ~TColorBtn() override;

  TColor ButtonColor() const { return buttonColor_; }
  // Repaints only when the colour really changes.
  void SetButtonColor(TColor color);

  bool Frame3D() const { return frame3D_; }
  // Takes effect at the next paint; does not repaint by itself.
  void SetFrame3D(bool value) { frame3D_ = value; }

  // True while this is the window's active button: the focused button, or
  // the default button while the focus is on something that is no button.
  bool IsActiveButton() const { return active_; }
  // The focus-change notification; stores the flag and does not repaint.
  void SetButtonStyle(bool active) { active_ = active; }

  // Paints the whole control for the given state onto painter, whose origin
  // is the control's top-left corner.
  void PaintItem(QPainter& painter, const ItemState& state);

  // Where the caption goes when centred in rect (the caption's measured
  // size, placed by integer halves of the free space).
  QRect CaptionRect(const QRect& rect) const;

 protected:
  // No double-click handler of its own: QWidget's hands the second press of
  // a double click to mousePressEvent, so it presses the button like the
  // first (a test drives that through the window system).
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnFocusChanged(QWidget* now);

  QMetaObject::Connection focusConnection_;
  bool active_ = false;
  bool frame3D_ = false;
  TColor buttonColor_ = clBtnFace;
};
