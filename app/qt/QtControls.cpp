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

Qt::Alignment LabelAlignment(const ui::ControlLayout& layout) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (layout.alignment == ui::Alignment::kCenter) horizontal = Qt::AlignHCenter;
  if (layout.alignment == ui::Alignment::kRight) horizontal = Qt::AlignRight | Qt::AlignAbsolute;
  return horizontal | (layout.centerVertically ? Qt::AlignVCenter : Qt::AlignTop);
}

template <class Widget>
Widget* Make(QWidget& parent, const ui::ControlLayout& layout) {
  auto* widget = new Widget(&parent);
  ApplyLayout(*widget, layout);
  return widget;
}

}  // namespace

QFont PixelFont(const ui::Font& layout) {
  QFont font;
  const QString family = QString::fromStdString(layout.family);
  if (family == QStringLiteral("MS Sans Serif")) {
    font.setFamilies({family, QStringLiteral("Liberation Sans")});
  } else {
    font.setFamily(family);
  }
  font.setPixelSize(layout.pixels);
  font.setBold(layout.bold);
  return font;
}

void ApplyLayout(QWidget& widget, const ui::ControlLayout& layout) {
  widget.setObjectName(QString::fromStdString(layout.name));
  widget.setGeometry(layout.bounds.left, layout.bounds.top, layout.bounds.width,
                     layout.bounds.height);
  if (layout.font) widget.setFont(PixelFont(*layout.font));
  if (layout.textColor) SetTextColor(widget, *layout.textColor);
  widget.setEnabled(layout.enabled);
  if (!layout.visible) widget.setVisible(false);
  if (!layout.tabStop) widget.setFocusPolicy(Qt::ClickFocus);
  if (layout.handCursor) widget.setCursor(Qt::PointingHandCursor);
}

// --- Label ---

QtLabel::QtLabel(QWidget& parent, const ui::ControlLayout& layout)
    : Adapter(Make<QLabel>(parent, layout)),
      label_(static_cast<QLabel*>(Widget())),
      sizeToContent_(layout.sizeToContent),
      color_(layout.textColor.value_or(clWindowText)) {
  // Device strings are shown as they are, never interpreted as markup.
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(LabelAlignment(layout));
  SetText(layout.caption);
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
ButtonAdapter<Interface>::ButtonAdapter(QAbstractButton* button, const ui::ControlLayout& layout)
    : Adapter<Interface>(button), button_(button) {
  button->setText(ToQString(layout.caption));
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

QtButton::QtButton(QWidget& parent, const ui::ControlLayout& layout)
    : ButtonAdapter(Make<QPushButton>(parent, layout), layout) {}

QtColorButton::QtColorButton(QWidget& parent, const ui::ControlLayout& layout)
    : ButtonAdapter(Make<TColorBtn>(parent, layout), layout),
      colorButton_(static_cast<TColorBtn*>(button_)) {
  colorButton_->SetFrame3D(layout.frame3D);
  colorButton_->setAutoDefault(false);
}

void QtColorButton::SetButtonColor(TColor color) {
  colorButton_->SetButtonColor(color);
}

TColor QtColorButton::ButtonColor() const {
  return colorButton_->ButtonColor();
}

namespace {
QAbstractButton* MakeCheckButton(QWidget& parent, const ui::ControlLayout& layout,
                                 QtCheckButton::Kind kind) {
  if (kind == QtCheckButton::Kind::kRadio) return Make<QRadioButton>(parent, layout);
  auto* button = Make<QToolButton>(parent, layout);
  button->setCheckable(true);
  button->setAutoRaise(true);
  return button;
}
}  // namespace

QtCheckButton::QtCheckButton(QWidget& parent, const ui::ControlLayout& layout, Kind kind)
    : ButtonAdapter(MakeCheckButton(parent, layout, kind), layout) {
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

QtListBox::QtListBox(QWidget& parent, const ui::ControlLayout& layout)
    : Adapter(Make<QListWidget>(parent, layout)),
      list_(static_cast<QListWidget*>(Widget())),
      itemHeight_(layout.itemHeight) {
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

// --- Edit and memo ---

QtEdit::QtEdit(QWidget& parent, const ui::ControlLayout& layout)
    : Adapter(Make<QLineEdit>(parent, layout)), edit_(static_cast<QLineEdit*>(Widget())) {
  edit_->setText(ToQString(layout.caption));
}

void QtEdit::SetText(std::string_view text) {
  edit_->setText(ToQString(text));
}

std::string QtEdit::Text() const {
  return edit_->text().toStdString();
}

QtMemo::QtMemo(QWidget& parent, const ui::ControlLayout& layout)
    : Adapter(Make<QPlainTextEdit>(parent, layout)), memo_(static_cast<QPlainTextEdit*>(Widget())) {
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // One line is one entry of the line list, however narrow the memo.
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  if (!layout.caption.empty()) memo_->setPlainText(ToQString(layout.caption));
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

QtProgressBar::QtProgressBar(QWidget& parent, const ui::ControlLayout& layout)
    : Adapter(Make<QProgressBar>(parent, layout)), bar_(static_cast<QProgressBar*>(Widget())) {
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
QWidget* MakeStatic(QWidget& parent, const ui::ControlLayout& layout, QtStatic::Kind kind) {
  if (kind == QtStatic::Kind::kGroupBox) {
    auto* group = Make<QGroupBox>(parent, layout);
    group->setTitle(ToQString(layout.caption));
    return group;
  }
  auto* picture = Make<QLabel>(parent, layout);
  picture->setAttribute(Qt::WA_TranslucentBackground);
  picture->setAutoFillBackground(false);
  const JpegDecodeResult decoded =
      LoadJpeg(QStringLiteral(":/kbupdate/") + QString::fromStdString(layout.resource));
  if (!decoded.image.isNull()) {
    picture->setPixmap(QPixmap::fromImage(decoded.image));
    if (layout.sizeToContent) picture->resize(decoded.image.size());
  }
  return picture;
}
}  // namespace

QtStatic::QtStatic(QWidget& parent, const ui::ControlLayout& layout, Kind kind)
    : Adapter(MakeStatic(parent, layout, kind)) {}

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
