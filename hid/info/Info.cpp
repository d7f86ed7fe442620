#include "hid/info/Info.h"

#include <QLabel>
#include <QListWidget>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStyledItemDelegate>

#include <memory>

#include "hid/info/HexText.h"

namespace {

// Client area that gives the form's outer size of 573 x 409 inside a classic
// frame (4-pixel border, 26-pixel caption).
constexpr int kClientWidth = 565;
constexpr int kClientHeight = 375;
constexpr int kLabelHeight = 16;
constexpr int kItemHeight = 16;
constexpr int kDevStringsLeft = 232;
constexpr int kLangStringsLeft = 400;
constexpr int kListsTop = 72;
constexpr int kListWidth = 161;
constexpr int kListHeight = 297;

// List rows of the form's fixed item height.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kItemHeight);
    return size;
  }
};

// The length without its report-id byte; a zero length leaves the label's
// design text.
void ShowReportLength(QLabel* label, int length) {
  if (length > 0) label->setText(UpperHex(static_cast<unsigned>(length - 1)));
}

QListWidget* MakeList(QWidget* parent, int left) {
  auto* list = new QListWidget(parent);
  list->setGeometry(left, kListsTop, kListWidth, kListHeight);
  list->setItemDelegate(new FixedHeightDelegate(list));
  list->setUniformItemSizes(true);
  // Long strings are cut at the edge, not shortened with an ellipsis.
  list->setTextElideMode(Qt::ElideNone);
  return list;
}

}  // namespace

TInfoForm::TInfoForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("InfoForm"));
  setWindowTitle(QStringLiteral("HID Device Info"));
  resize(kClientWidth, kClientHeight);
  // Where the form's font is missing, Liberation Sans is the nearest in
  // width; the usual substitute is too wide for the labels' places.
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
  font.setPixelSize(13);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  Label10 = AddLabel(8, 8, QStringLiteral("Vendor name:"));
  VendorName = AddLabel(96, 8, QStringLiteral("VendorName"));
  Label9 = AddLabel(8, 24, QStringLiteral("Product name:"));
  ProductName = AddLabel(96, 24, QStringLiteral("ProductName"));
  Label11 = AddLabel(8, 40, QStringLiteral("Serial No:"));
  SerialNo = AddLabel(96, 40, QStringLiteral("SerialNo"));
  Label2 = AddLabel(8, 72, QStringLiteral("VID:"));
  Vid = AddLabel(64, 72, QStringLiteral("Vid"));
  Label3 = AddLabel(8, 88, QStringLiteral("PID:"));
  Pid = AddLabel(64, 88, QStringLiteral("Pid"));
  Label4 = AddLabel(8, 104, QStringLiteral("Version:"));
  Vers = AddLabel(64, 104, QStringLiteral("Vers"));
  Label5 = AddLabel(8, 136, QStringLiteral("Report Length"));
  Label6 = AddLabel(8, 160, QStringLiteral("Input:"));
  InputLen = AddLabel(72, 160, QStringLiteral("0"));
  Label7 = AddLabel(8, 176, QStringLiteral("Output:"));
  OutputLen = AddLabel(72, 176, QStringLiteral("0"));
  Label8 = AddLabel(8, 192, QStringLiteral("Feature:"));
  FeatureLen = AddLabel(72, 192, QStringLiteral("0"));
  Label1 = AddLabel(kDevStringsLeft, 56, QStringLiteral("Strings"));
  DevStrings = MakeList(this, kDevStringsLeft);
  DevStrings->setObjectName(QStringLiteral("DevStrings"));
  Label12 = AddLabel(kLangStringsLeft, 56, QStringLiteral("Languages"));
  LangStrings = MakeList(this, kLangStringsLeft);
  LangStrings->setObjectName(QStringLiteral("LangStrings"));
  setTabOrder(DevStrings, LangStrings);
}

TInfoForm::~TInfoForm() = default;

QLabel* TInfoForm::AddLabel(int left, int top, const QString& text) {
  auto* label = new QLabel(this);
  // Device strings are shown as they are, never interpreted as markup.
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->move(left, top);
  label->resize(label->sizeHint().width(), kLabelHeight);
  return label;
}

void TInfoForm::FormShow() {
  if (Device == nullptr) return;
  const DeviceInfo info = ReadDeviceInfo(*Device);
  Device = nullptr;
  ShowInfo(info);
}

void TInfoForm::ShowInfo(const DeviceInfo& info) {
  const auto setText = [](QLabel* label, const QString& text) {
    label->setText(text);
    label->resize(label->sizeHint().width(), kLabelHeight);
  };
  setText(VendorName, info.vendorName);
  setText(ProductName, info.productName);
  setText(SerialNo, info.serialNumber);
  setText(Vid, UpperHex(info.vendorId, 4));
  setText(Pid, UpperHex(info.productId, 4));
  setText(Vers, UpperHex(info.versionNumber, 4));
  ShowReportLength(InputLen, info.inputReportLength);
  ShowReportLength(OutputLen, info.outputReportLength);
  ShowReportLength(FeatureLen, info.featureReportLength);
  for (QLabel* label : {InputLen, OutputLen, FeatureLen}) {
    label->resize(label->sizeHint().width(), kLabelHeight);
  }
  for (const auto& [index, text] : info.indexedStrings) {
    if (text.isEmpty()) continue;
    DevStrings->addItem(QStringLiteral("%1) %2").arg(index, 3).arg(text));
  }
  LangStrings->addItems(info.languages);
}

void TInfoForm::showEvent(QShowEvent* event) {
  if (!filled_) {
    filled_ = true;
    FormShow();
  }
  QDialog::showEvent(event);
}

void TInfoForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceLists();
}

void TInfoForm::PlaceLists() {
  // Strings follows all four edges; Languages keeps its width and moves with
  // the right edge.
  const int extraWidth = width() - kClientWidth;
  const int extraHeight = height() - kClientHeight;
  const int listHeight = std::max(0, kListHeight + extraHeight);
  DevStrings->setGeometry(kDevStringsLeft, kListsTop, std::max(0, kListWidth + extraWidth),
                          listHeight);
  LangStrings->setGeometry(kLangStringsLeft + extraWidth, kListsTop, kListWidth, listHeight);
}

int ExecInfoModally(TInfoForm& dialog) {
  return dialog.exec();
}

void ShowDeviceInfo(QWidget* owner, hid::THidDevice* device, const InfoDialogRunner& run) {
  if (device == nullptr) return;
  const auto dialog = std::make_unique<TInfoForm>(owner);
  dialog->Device = device;
  run(*dialog);
}
