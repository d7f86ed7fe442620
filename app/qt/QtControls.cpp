#include "app/qt/QtControls.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <utility>

#include "app/qt/JpegImage.h"
#include "controls/ColorBtn.h"
#include "controls/Colors.h"

namespace qtui {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Calls back on every mouse move over the watched widget.
class MouseMoveFilter final : public QObject {
 public:
  MouseMoveFilter(QWidget& watched, std::function<void()> onMove)
      : QObject(&watched), onMove_(std::move(onMove)) {
    watched.setMouseTracking(true);
    watched.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseMove) onMove_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onMove_;
};

void SetTextColor(QWidget& widget, TColor color) {
  QPalette palette = widget.palette();
  const QColor resolved = ToQColor(color, palette);
  palette.setColor(QPalette::WindowText, resolved);
  palette.setColor(QPalette::ButtonText, resolved);
  palette.setColor(QPalette::Text, resolved);
  widget.setPalette(palette);
}

Qt::Alignment LabelAlignment(const ui::ControlSpec& spec) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (spec.alignment == ui::Alignment::kCenter) horizontal = Qt::AlignHCenter;
  if (spec.alignment == ui::Alignment::kRight) horizontal = Qt::AlignRight | Qt::AlignAbsolute;
  return horizontal | (spec.centerVertically ? Qt::AlignVCenter : Qt::AlignTop);
}

template <class Widget>
Widget* Make(QWidget& parent, const ui::ControlSpec& spec) {
  auto* widget = new Widget(&parent);
  ApplySpec(*widget, spec);
  return widget;
}

}  // namespace

QFont PixelFont(const ui::Font& spec) {
  QFont font;
  const QString family = QString::fromStdString(spec.family);
  if (family == QStringLiteral("MS Sans Serif")) {
    font.setFamilies({family, QStringLiteral("Liberation Sans")});
  } else {
    font.setFamily(family);
  }
  font.setPixelSize(spec.pixels);
  font.setBold(spec.bold);
  return font;
}

void ApplySpec(QWidget& widget, const ui::ControlSpec& spec) {
  widget.setObjectName(QString::fromStdString(spec.name));
  widget.setGeometry(spec.bounds.left, spec.bounds.top, spec.bounds.width, spec.bounds.height);
  if (spec.font) widget.setFont(PixelFont(*spec.font));
  if (spec.textColor) SetTextColor(widget, *spec.textColor);
  widget.setEnabled(spec.enabled);
  if (!spec.visible) widget.setVisible(false);
  if (!spec.tabStop) widget.setFocusPolicy(Qt::ClickFocus);
  if (spec.handCursor) widget.setCursor(Qt::PointingHandCursor);
}

// --- Label ---

QtLabel::QtLabel(QWidget& parent, const ui::ControlSpec& spec)
    : Adapter(Make<QLabel>(parent, spec)),
      label_(static_cast<QLabel*>(Widget())),
      sizeToContent_(spec.sizeToContent),
      color_(spec.textColor.value_or(clWindowText)) {
  // Device strings are shown as they are, never interpreted as markup.
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(LabelAlignment(spec));
  SetText(spec.caption);
}

void QtLabel::SetText(std::string_view text) {
  label_->setText(ToQString(text));
  if (sizeToContent_) label_->resize(label_->sizeHint().width(), label_->height());
}

std::string QtLabel::Text() const {
  return label_->text().toStdString();
}

void QtLabel::SetFontColor(TColor color) {
  color_ = color;
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, ToQColor(color, palette));
  label_->setPalette(palette);
}

// --- Buttons ---

template <class Interface>
ButtonAdapter<Interface>::ButtonAdapter(QAbstractButton* button, const ui::ControlSpec& spec)
    : Adapter<Interface>(button), button_(button) {
  button->setText(ToQString(spec.caption));
  QObject::connect(button, &QAbstractButton::clicked, button, [this] {
    if (this->OnClick) this->OnClick();
  });
  new MouseMoveFilter(*button, [this] {
    if (this->OnMouseMove) this->OnMouseMove();
  });
}

template <class Interface>
std::string ButtonAdapter<Interface>::Caption() const {
  return button_->text().toStdString();
}

template <class Interface>
void ButtonAdapter<Interface>::Click() {
  // As the user's click: nothing while disabled or hidden by its own flag.
  if (button_->isHidden()) return;
  button_->click();
}

QtButton::QtButton(QWidget& parent, const ui::ControlSpec& spec)
    : ButtonAdapter(Make<QPushButton>(parent, spec), spec) {}

QtColorButton::QtColorButton(QWidget& parent, const ui::ControlSpec& spec)
    : ButtonAdapter(Make<TColorBtn>(parent, spec), spec),
      colorButton_(static_cast<TColorBtn*>(button_)) {
  colorButton_->SetFrame3D(spec.frame3D);
  colorButton_->setAutoDefault(false);
}

void QtColorButton::SetButtonColor(TColor color) {
  colorButton_->SetButtonColor(color);
}

TColor QtColorButton::ButtonColor() const {
  return colorButton_->ButtonColor();
}

namespace {
QAbstractButton* MakeCheckButton(QWidget& parent, const ui::ControlSpec& spec,
                                 QtCheckButton::Kind kind) {
  if (kind == QtCheckButton::Kind::kRadio) return Make<QRadioButton>(parent, spec);
  auto* button = Make<QToolButton>(parent, spec);
  button->setCheckable(true);
  button->setAutoRaise(true);
  return button;
}
}  // namespace

QtCheckButton::QtCheckButton(QWidget& parent, const ui::ControlSpec& spec, Kind kind)
    : ButtonAdapter(MakeCheckButton(parent, spec, kind), spec) {
  QObject::connect(button_, &QAbstractButton::toggled, button_, [this](bool checked) {
    if (checked && OnChecked) OnChecked();
  });
}

void QtCheckButton::SetChecked(bool checked) {
  button_->setChecked(checked);
}

bool QtCheckButton::Checked() const {
  return button_->isChecked();
}

// --- List box ---

QtListBox::QtListBox(QWidget& parent, const ui::ControlSpec& spec)
    : Adapter(Make<QListWidget>(parent, spec)),
      list_(static_cast<QListWidget*>(Widget())),
      itemHeight_(spec.itemHeight) {
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->setFrameShape(QFrame::Box);
  list_->setFrameShadow(QFrame::Sunken);
  // Long texts are cut at the edge, not shortened with an ellipsis.
  list_->setTextElideMode(Qt::ElideNone);
  // The user's selection; selections made by the program are no clicks.
  QObject::connect(list_, &QListWidget::itemSelectionChanged, list_, [this] {
    if (!selecting_ && OnClick) OnClick();
  });
  QObject::connect(list_, &QListWidget::itemClicked, list_, [this] {
    if (OnClick) OnClick();
  });
}

void QtListBox::Add(std::string_view text) {
  auto* item = new QListWidgetItem(ToQString(text), list_);
  if (itemHeight_ > 0) item->setSizeHint(QSize(0, itemHeight_));
}

void QtListBox::Clear() {
  selecting_ = true;
  list_->clear();
  selecting_ = false;
}

int QtListBox::Count() const {
  return list_->count();
}

std::string QtListBox::Item(int index) const {
  const QListWidgetItem* item = list_->item(index);
  return item == nullptr ? std::string() : item->text().toStdString();
}

void QtListBox::SetItemIndex(int index) {
  selecting_ = true;
  if (index < 0 || index >= list_->count()) {
    list_->setCurrentRow(-1);
    list_->clearSelection();
  } else {
    list_->setCurrentRow(index);
    list_->scrollToItem(list_->item(index));
  }
  selecting_ = false;
}

int QtListBox::ItemIndex() const {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void QtListBox::ClickItem(int index) {
  if (!list_->isEnabled() || list_->isHidden() || index < 0 || index >= list_->count()) return;
  SetItemIndex(index);
  if (OnClick) OnClick();
}

// --- Edit and memo ---

QtEdit::QtEdit(QWidget& parent, const ui::ControlSpec& spec)
    : Adapter(Make<QLineEdit>(parent, spec)), edit_(static_cast<QLineEdit*>(Widget())) {
  edit_->setText(ToQString(spec.caption));
}

void QtEdit::SetText(std::string_view text) {
  edit_->setText(ToQString(text));
}

std::string QtEdit::Text() const {
  return edit_->text().toStdString();
}

QtMemo::QtMemo(QWidget& parent, const ui::ControlSpec& spec)
    : Adapter(Make<QPlainTextEdit>(parent, spec)), memo_(static_cast<QPlainTextEdit*>(Widget())) {
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // One line is one entry of the line list, however narrow the memo.
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  if (!spec.caption.empty()) memo_->setPlainText(ToQString(spec.caption));
}

void QtMemo::AppendLine(std::string_view line) {
  // Appending at the end lays out only the new block.
  memo_->appendPlainText(ToQString(line));
}

int QtMemo::LineCount() const {
  const QTextDocument* document = memo_->document();
  return document->isEmpty() ? 0 : document->blockCount();
}

std::string QtMemo::Line(int index) const {
  return memo_->document()->findBlockByNumber(index).text().toStdString();
}

void QtMemo::Clear() {
  memo_->clear();
}

// --- Progress bar ---

QtProgressBar::QtProgressBar(QWidget& parent, const ui::ControlSpec& spec)
    : Adapter(Make<QProgressBar>(parent, spec)), bar_(static_cast<QProgressBar*>(Widget())) {
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
}

void QtProgressBar::SetMaximum(int maximum) {
  bar_->setMaximum(maximum);
}

int QtProgressBar::Maximum() const {
  return bar_->maximum();
}

void QtProgressBar::SetPosition(int position) {
  bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
}

int QtProgressBar::Position() const {
  return bar_->value();
}

void QtProgressBar::SetBarColor(TColor color) {
  barColor_ = color;
  QPalette palette = bar_->palette();
  palette.setColor(QPalette::Highlight, ToQColor(color, palette));
  bar_->setPalette(palette);
}

// --- Group box and picture ---

namespace {
QWidget* MakeStatic(QWidget& parent, const ui::ControlSpec& spec, QtStatic::Kind kind) {
  if (kind == QtStatic::Kind::kGroupBox) {
    auto* group = Make<QGroupBox>(parent, spec);
    group->setTitle(ToQString(spec.caption));
    return group;
  }
  auto* picture = Make<QLabel>(parent, spec);
  picture->setAttribute(Qt::WA_TranslucentBackground);
  picture->setAutoFillBackground(false);
  const JpegDecodeResult decoded =
      LoadJpeg(QStringLiteral(":/kbupdate/") + QString::fromStdString(spec.resource));
  if (!decoded.image.isNull()) {
    picture->setPixmap(QPixmap::fromImage(decoded.image));
    if (spec.sizeToContent) picture->resize(decoded.image.size());
  }
  return picture;
}
}  // namespace

QtStatic::QtStatic(QWidget& parent, const ui::ControlSpec& spec, Kind kind)
    : Adapter(MakeStatic(parent, spec, kind)) {}

// --- Timer ---

QtTimer::QtTimer(std::chrono::milliseconds interval) {
  timer_.setInterval(interval);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    if (OnTimer) OnTimer();
  });
}

void QtTimer::SetInterval(std::chrono::milliseconds interval) {
  // QTimer restarts a running timer with the new interval.
  timer_.setInterval(interval);
}

std::chrono::milliseconds QtTimer::Interval() const {
  return timer_.intervalAsDuration();
}

void QtTimer::SetEnabled(bool enabled) {
  if (!enabled) {
    timer_.stop();
  } else if (!timer_.isActive()) {
    timer_.start();
  }
}

bool QtTimer::Enabled() const {
  return timer_.isActive();
}

}  // namespace qtui
