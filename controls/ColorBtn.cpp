#include "controls/ColorBtn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <string>

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

namespace {

QRect ToQRect(const colorbtn::PaintRect& r) {
  return QRect(r.left, r.top, r.width, r.height);
}

colorbtn::PaintRect FromQRect(const QRect& r) {
  return {r.left(), r.top(), r.width(), r.height()};
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

colorbtn::TextSize Measure(const QFontMetrics& metrics, std::string_view text) {
  const QRect measured = metrics.boundingRect(QRect(0, 0, 0, 0), 0, FromUtf8(text));
  return {measured.width(), measured.height()};
}

// The painting steps on a QPainter; system colours come from the widget's
// palette.
class PainterCanvas : public colorbtn::Canvas {
 public:
  PainterCanvas(QPainter& painter, const QWidget& widget)
      : painter_(painter), widget_(widget), metrics_(widget.font()) {}

  void OutlineRect(const colorbtn::PaintRect& rect, TColor color) override {
    if (rect.IsEmpty()) return;
    painter_.setPen(QPen(Color(color), 0));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(ToQRect(rect).adjusted(0, 0, -1, -1));
  }
  void FillRect(const colorbtn::PaintRect& rect, TColor color) override {
    painter_.fillRect(ToQRect(rect), Color(color));
  }
  void Line(int x0, int y0, int x1, int y1, TColor color) override {
    painter_.setPen(QPen(Color(color), 0));
    painter_.drawLine(x0, y0, x1, y1);
  }
  void XorPoint(int x, int y) override {
    painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter_.setPen(QPen(Qt::white, 0));
    painter_.drawPoint(x, y);
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  colorbtn::TextSize MeasureText(std::string_view text) override { return Measure(metrics_, text); }
  void DrawText(const colorbtn::PaintRect& rect, std::string_view text, TColor color,
                bool fontColor) override {
    painter_.setFont(widget_.font());
    painter_.setPen(fontColor ? widget_.palette().color(QPalette::Active, QPalette::ButtonText)
                              : Color(color));
    painter_.drawText(ToQRect(rect), Qt::AlignHCenter | Qt::AlignVCenter, FromUtf8(text));
  }

 private:
  QColor Color(TColor color) const { return ToQColor(color, widget_.palette()); }

  QPainter& painter_;
  const QWidget& widget_;
  QFontMetrics metrics_;
};

}  // namespace

void TColorBtn::PaintItem(QPainter& painter, const ItemState& state) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  PainterCanvas canvas(painter, *this);
  const colorbtn::ButtonLook look{buttonColor_, frame3D_, active_, isEnabled(),
                                  text().toStdString()};
  colorbtn::PaintColorButton(canvas, FromQRect(rect()), look, state);
  painter.restore();
}

QRect TColorBtn::CaptionRect(const QRect& rect) const {
  const colorbtn::TextSize size = Measure(QFontMetrics(font()), text().toStdString());
  return ToQRect(colorbtn::CaptionRect(FromQRect(rect), size));
}
