// The update window's controls as its form places them. Controls that lie
// outside the 383 x 320 client area are real widgets that the window clips.
#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include "app/DevReader.h"
#include "app/JpegImage.h"

// The picture lives in this library's resources; a static library needs
// them registered by hand.
static void InitFormResources() {
  Q_INIT_RESOURCE(kbupdate);
}

namespace {

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  return label;
}

template <typename Button>
Button* MakeButton(QWidget* parent, const char* name, const QString& caption,
                   const QRect& geometry) {
  auto* button = new Button(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(caption);
  button->setGeometry(geometry);
  return button;
}

QListWidget* MakeListBox(QWidget* parent, const char* name, const QRect& geometry) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setGeometry(geometry);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setUniformItemSizes(true);
  list->setFrameShape(QFrame::Box);
  list->setFrameShadow(QFrame::Sunken);
  return list;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(geometry);
  edit->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  return edit;
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::ButtonText, color);
  palette.setColor(QPalette::Text, color);
  widget->setPalette(palette);
}

}  // namespace

void TbootloaderFORM::CreateControls() {
  InitFormResources();
  setObjectName(QStringLiteral("bootloaderFORM"));
  setWindowTitle(QStringLiteral("MVR508_UP2"));
  // Single fixed border with only the close box, always on top.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(383, 320);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13));
  QPalette background = palette();
  background.setColor(QPalette::Window, background.color(QPalette::Base));
  setPalette(background);
  setAutoFillBackground(true);

  const QColor red(255, 0, 0);
  const QColor blue(0, 0, 255);

  Label4 = MakeLabel(this, "Label4", QRect(80, 0, 297, 25));
  Label4->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignTop);
  Label4->setLayoutDirection(Qt::RightToLeft);
  Label4->setFont(PixelFont(QStringLiteral("Arial"), 13, true));
  SetTextColor(Label4, blue);

  Label3 = MakeLabel(this, "Label3", QRect(48, 40, 297, 25));
  Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label3->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
  SetTextColor(Label3, red);

  Label2 = MakeLabel(this, "Label2", QRect(8, 80, 369, 49));
  Label2->setAlignment(Qt::AlignCenter);
  Label2->setFont(PixelFont(QStringLiteral("Arial Narrow"), 27, true));
  SetTextColor(Label2, red);

  ColorBtn1 =
      MakeButton<TColorBtn>(this, "ColorBtn1", QStringLiteral("Update"), QRect(88, 128, 217, 41));
  ColorBtn1->SetFrame3D(true);
  ColorBtn1->setFont(PixelFont(QStringLiteral("Arial"), 32));
  ColorBtn1->setCursor(Qt::PointingHandCursor);
  ColorBtn1->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  ColorBtn1->setAutoDefault(false);
  ColorBtn1->setMouseTracking(true);

  HistoryListBox = MakeListBox(this, "HistoryListBox", QRect(16, 176, 353, 97));
  HistoryListBox->setFont(PixelFont(QStringLiteral("Courier New"), 11));

  DevListBox = MakeListBox(this, "DevListBox", QRect(15, 280, 354, 25));

  Label5 = MakeLabel(this, "Label5", QRect(72, 376, 345, 49));
  Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label5->setFont(PixelFont(QStringLiteral("Arial Narrow"), 27, true));

  Button2 =
      MakeButton<QPushButton>(this, "Button2", QStringLiteral("Burn TP"), QRect(72, 336, 145, 25));
  Button2->setEnabled(false);

  Button5 =
      MakeButton<QPushButton>(this, "Button5", QStringLiteral("TP ver"), QRect(240, 336, 65, 25));
  Button5->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, true));
  SetTextColor(Button5, ToQColor(clMenuText, palette()));

  Button9 =
      MakeButton<QPushButton>(this, "Button9", QStringLiteral("Start"), QRect(424, 232, 121, 49));
  Button9->setEnabled(false);
  Button9->setFont(PixelFont(QStringLiteral("Arial"), 32, true));
  Button9->setMouseTracking(true);

  Image1 = MakeLabel(this, "Image1", QRect(504, 8, 296, 96));
  Image1->setAttribute(Qt::WA_TranslucentBackground);
  Image1->setAutoFillBackground(false);
  const JpegDecodeResult picture = LoadJpeg(QStringLiteral(":/kbupdate/Image1.jpg"));
  if (!picture.image.isNull()) {
    Image1->setPixmap(QPixmap::fromImage(picture.image));
    Image1->resize(picture.image.size());  // sized to its picture
  }
  Image1->setVisible(false);

  Button1 = MakeButton<QPushButton>(this, "Button1", QStringLiteral("Burn MCU"),
                                    QRect(800, 168, 145, 25));
  Button1->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, true));
  SetTextColor(Button1, red);
  Button1->setCursor(Qt::PointingHandCursor);

  // The three lock pairs: each group box holds two buttons that exclude
  // each other; the pairs are independent.
  const QFont radioFont = PixelFont(QStringLiteral("MS Sans Serif"), 13, true);
  auto makeGroup = [&](const char* name, int top, QRadioButton*& first, const char* firstName,
                       const QString& firstCaption, QRadioButton*& second, const char* secondName,
                       const QString& secondCaption) {
    auto* group = new QGroupBox(this);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(608, top, 257, 33);
    first = MakeButton<QRadioButton>(group, firstName, firstCaption, QRect(16, 8, 113, 17));
    second = MakeButton<QRadioButton>(group, secondName, secondCaption, QRect(136, 8, 113, 17));
    for (QRadioButton* radio : {first, second}) {
      radio->setFont(radioFont);
      SetTextColor(radio, red);
    }
    first->setChecked(true);
    return group;
  };
  GroupBox3 =
      makeGroup("GroupBox3", 344, RadioButton1, "RadioButton1", QStringLiteral("Fn     Unlock"),
                RadioButton2, "RadioButton2", QStringLiteral("Fn     Lock"));
  GroupBox1 =
      makeGroup("GroupBox1", 384, RadioButton3, "RadioButton3", QStringLiteral("Mute Unlock"),
                RadioButton4, "RadioButton4", QStringLiteral("Mute Lock"));
  GroupBox2 =
      makeGroup("GroupBox2", 424, RadioButton5, "RadioButton5", QStringLiteral("Mic   Unlock"),
                RadioButton6, "RadioButton6", QStringLiteral("Mic   Lock"));

  // A speed button of its own group that a second click releases again.
  ReadBtn =
      MakeButton<QToolButton>(this, "ReadBtn", QStringLiteral("Read"), QRect(984, 259, 81, 22));
  ReadBtn->setCheckable(true);
  ReadBtn->setAutoRaise(true);

  Button3 =
      MakeButton<QPushButton>(this, "Button3", QStringLiteral("Button3"), QRect(984, 288, 75, 25));
  Button3->setFocusPolicy(Qt::ClickFocus);
  Button4 =
      MakeButton<QPushButton>(this, "Button4", QStringLiteral("Button4"), QRect(1064, 288, 75, 25));
  Button4->setFocusPolicy(Qt::ClickFocus);

  // Developer controls, right of the visible area.
  InfoBtn =
      MakeButton<QPushButton>(this, "InfoBtn", QStringLiteral("Info"), QRect(680, 24, 75, 25));
  WriteBtn =
      MakeButton<QPushButton>(this, "WriteBtn", QStringLiteral("Write"), QRect(680, 56, 75, 25));
  SaveBtn =
      MakeButton<QPushButton>(this, "SaveBtn", QStringLiteral("Save"), QRect(680, 88, 75, 25));
  ClearBtn =
      MakeButton<QPushButton>(this, "ClearBtn", QStringLiteral("Clear"), QRect(680, 120, 75, 25));
  Label1 = MakeLabel(this, "Label1", QRect(768, 28, 50, 13));
  Label1->setText(QStringLiteral("ReportID"));
  ReportID = MakeEdit(this, "ReportID", QString(), QRect(824, 24, 41, 21));
  Edit1 = MakeEdit(this, "Edit1", QString(), QRect(768, 56, 97, 21));
  Edit2 = MakeEdit(this, "Edit2", QStringLiteral("Edit2"), QRect(768, 88, 97, 21));

  for (QTimer* timer : {&Timer1, &Timer2, &Timer3, &Timer4}) timer->stop();
  Timer1.setInterval(1000);
  Timer2.setInterval(500);
  Timer3.setInterval(500);
  Timer4.setInterval(1000);
}

void TbootloaderFORM::BindEvents() {
  ColorBtn1->installEventFilter(this);
  Button9->installEventFilter(this);
  connect(ColorBtn1, &QAbstractButton::clicked, this, [this] { ColorBtn1Click(); });
  connect(Button1, &QAbstractButton::clicked, this, [this] { Button1Click(); });
  connect(Button5, &QAbstractButton::clicked, this, [this] { Button5Click(); });
  connect(Button9, &QAbstractButton::clicked, this, [this] { Button9Click(); });
  connect(ReadBtn, &QAbstractButton::clicked, this, [this] { ReadBtnClick(); });
  connect(SaveBtn, &QAbstractButton::clicked, this,
          [this] { RunHandler([this] { SaveBtnClick(); }); });
  connect(InfoBtn, &QAbstractButton::clicked, this,
          [this] { RunHandler([this] { InfoBtnClick(); }); });
  connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(&Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
  connect(&Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });

  // The user's selection in the device list; selections made by the
  // program itself are not clicks.
  connect(DevListBox, &QListWidget::itemSelectionChanged, this, [this] {
    if (!selectingDeviceEntry_) DevListBoxClick();
  });
  connect(DevListBox, &QListWidget::itemClicked, this, [this] { DevListBoxClick(); });

  // A radio button's click is its becoming the checked one of its pair.
  struct LockCommand {
    QRadioButton* button;
    std::uint8_t code;
    std::uint8_t argument;
    const char* suffix;
  };
  const LockCommand commands[] = {
      {RadioButton1, 0x54, 0x01, " (Fn Unlock)"},   {RadioButton2, 0x54, 0x02, " (Fn Lock)"},
      {RadioButton3, 0x64, 0x01, " (Mute Unlock)"}, {RadioButton4, 0x64, 0x02, " (Mute Lock)"},
      {RadioButton5, 0x74, 0x01, " (Mic Unlock)"},  {RadioButton6, 0x74, 0x02, " (Mic Lock)"},
  };
  for (const LockCommand& command : commands) {
    connect(command.button, &QAbstractButton::toggled, this, [this, command](bool checked) {
      if (checked) SendCommand(command.code, command.argument, QString::fromLatin1(command.suffix));
    });
  }
}

void TbootloaderFORM::CenterOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  move(available.center() - QPoint(width() / 2, height() / 2));
}
