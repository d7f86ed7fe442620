#include "controls/ColorBtn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <utility>

TColorBtn::TColorBtn(QWidget* parent) : QPushButton(parent) {
  // The face is painted completely by PaintItem.
  setAttribute(Qt::WA_OpaquePaintEvent);
  focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                             [this](QWidget* /*old*/, QWidget* now) { OnFocusChanged(now); });
}

TColorBtn::~TColorBtn() {
  // The widget's own destruction moves the focus; by then this is no
  // TColorBtn any more.
  disconnect(focusConnection_);
}

void TColorBtn::SetButtonColor(TColor color) {
  if (color == buttonColor_) return;
  buttonColor_ = color;
  update();
}

void TColorBtn::OnFocusChanged(QWidget* now) {
  if (now == nullptr || now->window() != window()) {
    SetButtonStyle(false);
    return;
  }
  const bool focusOnButton = qobject_cast<QAbstractButton*>(now) != nullptr;
  SetButtonStyle(now == this || (!focusOnButton && isDefault()));
}

void TColorBtn::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  PaintItem(painter, ItemState{isDown(), !isEnabled(), hasFocus()});
}

void TColorBtn::PaintItem(QPainter& painter, const ItemState& state) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QRect client = rect();
  QRect r = client;

  if (active_ || state.focused) {
    painter.setPen(QPen(System(clWindowFrame), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
  }

  if (state.pressed) {
    painter.setPen(QPen(System(clBtnShadow), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
    if (frame3D_) r = DrawPushFrame(painter, r, true, state.disabled);
  } else {
    r = DrawPushFrame(painter, r, false, state.disabled);
  }

  painter.fillRect(r, ToQColor(buttonColor_, palette()));

  r.adjust(-1, -1, 1, 1);
  if (active_) r = client.adjusted(1, 1, -1, -1);
  if (state.pressed) r.translate(1, 1);

  DrawCaption(painter, r, !isEnabled());

  if (active_ && state.focused) DrawFocusRect(painter, client.adjusted(4, 4, -4, -4));
  painter.restore();
}

QRect TColorBtn::DrawPushFrame(QPainter& painter, const QRect& rect, bool pushed,
                               bool inactive) const {
  if (rect.width() <= 0 || rect.height() <= 0) return rect;
  // The classic two-pixel bevel: raised when up, sunken when pushed. An
  // inactive button loses the darkest line so the frame looks faded.
  QColor outerTopLeft = System(clBtnHighlight);
  QColor outerBottomRight = System(inactive ? clBtnShadow : cl3DDkShadow);
  QColor innerTopLeft = System(cl3DLight);
  QColor innerBottomRight = System(clBtnShadow);
  if (pushed) {
    std::swap(outerTopLeft, outerBottomRight);
    std::swap(innerTopLeft, innerBottomRight);
  }
  auto ring = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    const int x0 = r.left();
    const int y0 = r.top();
    const int x1 = r.left() + r.width() - 1;
    const int y1 = r.top() + r.height() - 1;
    painter.setPen(QPen(bottomRight, 0));
    painter.drawLine(x0, y1, x1, y1);
    painter.drawLine(x1, y0, x1, y1);
    painter.setPen(QPen(topLeft, 0));
    painter.drawLine(x0, y0, x1 - 1, y0);
    painter.drawLine(x0, y0, x0, y1 - 1);
  };
  ring(rect, outerTopLeft, outerBottomRight);
  const QRect inner = rect.adjusted(1, 1, -1, -1);
  if (inner.width() > 0 && inner.height() > 0) ring(inner, innerTopLeft, innerBottomRight);
  const QRect interior = rect.adjusted(2, 2, -2, -2);
  if (interior.width() > 0 && interior.height() > 0) {
    painter.fillRect(interior, System(clBtnFace));
  }
  return interior;
}

QRect TColorBtn::CaptionRect(const QRect& rect) const {
  const QFontMetrics metrics(font());
  // Longest line by all lines; line breaks start new lines, nothing wraps.
  const QRect measured = metrics.boundingRect(QRect(0, 0, 0, 0), 0, text());
  const int textWidth = measured.width();
  const int textHeight = measured.height();
  // Integer division truncates toward zero, also for a caption larger than
  // the face, so it overhangs both sides equally.
  const int left = rect.left() + (rect.width() - textWidth + 1) / 2;
  const int top = rect.top() + (rect.height() - textHeight + 1) / 2;
  return QRect(left, top, textWidth, textHeight);
}

void TColorBtn::DrawCaption(QPainter& painter, const QRect& rect, bool disabled) const {
  const QString caption = text();
  if (caption.isEmpty()) return;
  painter.setFont(font());
  const QRect textRect = CaptionRect(rect);
  constexpr int kFlags = Qt::AlignHCenter | Qt::AlignVCenter;
  if (disabled) {
    painter.setPen(System(clBtnHighlight));
    painter.drawText(textRect.translated(1, 1), kFlags, caption);
    painter.setPen(System(clBtnShadow));
    painter.drawText(textRect, kFlags, caption);
  } else {
    painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(textRect, kFlags, caption);
  }
}

void TColorBtn::DrawFocusRect(QPainter& painter, const QRect& rect) const {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  // A dotted line, every second pixel, inverting what lies below so it shows
  // on any face colour.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(Qt::white, 0));
  const int x0 = rect.left();
  const int y0 = rect.top();
  const int x1 = rect.left() + rect.width() - 1;
  const int y1 = rect.top() + rect.height() - 1;
  for (int x = x0; x <= x1; x += 2) {
    painter.drawPoint(x, y0);
    painter.drawPoint(x, y1);
  }
  if (y1 == y0) {
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    return;
  }
  for (int y = y0 + 2; y < y1; y += 2) {
    painter.drawPoint(x0, y);
    painter.drawPoint(x1, y);
  }
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}
