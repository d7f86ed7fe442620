#include "app/DevReader.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "app/ClientAreaFocus.h"
#include "app/SystemErrorText.h"
#include "hid/info/HexText.h"
#include "hid/info/Info.h"
#include "hid/platform/HidBackend.h"
#include "hid/qt/QtMainLoop.h"
#include "isp/FirmwareFile.h"

namespace {

constexpr std::uint8_t kCommandReportId = 9;
// Report id plus 64 bytes; a device that declares a longer output report
// gets a zero-filled report of its own length.
constexpr std::size_t kCommandReportSize = 65;
constexpr std::uint8_t kUpdateCode = 0x84;
constexpr std::uint8_t kUpdateArgument = 0x57;

const QString kBootLoaderId = QStringLiteral("Device VID=04D9 PID=8022");
const QString kKeyboardId = QStringLiteral("Device VID=2C7A PID=5B1D");

}  // namespace

void EnableTimer(QTimer& timer) {
  if (!timer.isActive()) timer.start();
}

TbootloaderFORM::TbootloaderFORM(std::unique_ptr<BurnerLauncher> launcher, QWidget* parent)
    : QWidget(parent), launcher_(std::move(launcher)) {
  if (!launcher_) launcher_ = std::make_unique<ProcessBurnerLauncher>();
  programDirectory_ = QCoreApplication::applicationDirPath();
  CreateControls();
  CreateTouchpadPanel();
  KeepFocusInClientArea(*this);
  BindEvents();
  BindHidEvents();
  CenterOnScreen();
  FormCreate();
}

TbootloaderFORM::~TbootloaderFORM() {
  // The claimed devices go back before the controller that listed them.
  currentDevice_ = nullptr;
  deviceList_.clear();
  HidCtl.reset();
}

hid::THidDevice* TbootloaderFORM::DeviceOfEntry(int index) const {
  if (index < 0 || index >= DeviceListCount()) return nullptr;
  return deviceList_[static_cast<std::size_t>(index)].device.get();
}

QString TbootloaderFORM::DeviceIdText(const hid::THidDevice& device) {
  return QStringLiteral("Device VID=%1 PID=%2")
      .arg(UpperHex(device.Attributes().VendorID, 4), UpperHex(device.Attributes().ProductID, 4));
}

QString TbootloaderFORM::DeviceVersionText(const hid::THidDevice& device) {
  return QStringLiteral(" VER=%1").arg(UpperHex(device.Attributes().VersionNumber, 4));
}

QString TbootloaderFORM::CommandLogLine(std::uint8_t reportId, std::uint8_t code,
                                        std::uint8_t argument, const QString& suffix) {
  return QStringLiteral("W --> %1 ").arg(UpperHex(reportId, 2)) + UpperHex(code, 2) +
         QLatin1Char(' ') + UpperHex(argument, 2) + QLatin1Char(' ') + suffix;
}

void TbootloaderFORM::SetLabelColor(QLabel* label, TColor color) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(color, palette));
  label->setPalette(palette);
}

void TbootloaderFORM::BindHidEvents() {
  // Created as the form loads: the handlers are in place before the first
  // scan, which the controller runs from the event loop.
  // The controller's notifications and hand-overs arrive on Qt's loop.
  hidqt::UseQtMainLoop();
  HidCtl = std::make_unique<hid::THidDeviceController>(true);
  HidCtl->SetOnArrival(hid::THidPlugEvent(this, &TbootloaderFORM::HidCtlArrival));
  HidCtl->SetOnEnumerate(hid::THidEnumerateEvent(this, &TbootloaderFORM::HidCtlEnumerate));
  HidCtl->SetOnDeviceChange(hid::TNotifyEvent(this, &TbootloaderFORM::HidCtlDeviceChange));
  HidCtl->SetOnDeviceDataError(
      hid::THidDataErrorEvent(this, &TbootloaderFORM::HidCtlDeviceDataError));
  HidCtl->SetOnDeviceUnplug(hid::THidPlugEvent(this, &TbootloaderFORM::HidCtlDeviceUnplug));
  HidCtl->SetOnRemoval(hid::THidPlugEvent(this, &TbootloaderFORM::HidCtlRemoval));
  HidCtl->SetLoading(false);
}

void TbootloaderFORM::FormCreate() {
  updateFlag_.clear();
}

void TbootloaderFORM::AddHistoryLine(const QString& text) {
  HistoryListBox->addItem(text);
  QListWidgetItem* item = HistoryListBox->item(HistoryListBox->count() - 1);
  item->setSizeHint(QSize(0, 14));
  HistoryListBox->setCurrentRow(HistoryListBox->count() - 1);
  HistoryListBox->scrollToItem(item);
}

void TbootloaderFORM::ClearDeviceList(bool closeHandles) {
  currentDevice_ = nullptr;
  for (DeviceEntry& entry : deviceList_) {
    if (entry.device) {
      if (closeHandles) entry.device->CloseDeviceHandle();
      entry.device.reset();  // hands the device back to the controller
    }
  }
  deviceList_.clear();
  selectingDeviceEntry_ = true;
  DevListBox->clear();
  selectingDeviceEntry_ = false;
}

void TbootloaderFORM::SelectDeviceEntry(int index) {
  selectingDeviceEntry_ = true;
  DevListBox->setCurrentRow(index);
  selectingDeviceEntry_ = false;
}

void TbootloaderFORM::HidCtlDeviceChange(hid::THidDeviceController* /*Sender*/) {
  ClearDeviceList(false);
  HidCtl->EnumerateDevices();
  // The sixth entry is selected; with fewer, nothing is.
  if (DevListBox->count() > 0) SelectDeviceEntry(5);
  if (updateFlag_ != QStringLiteral("OK")) DevListBoxClick();
  emit DeviceChangeHandled();
}

bool TbootloaderFORM::HidCtlEnumerate(hid::THidDevice* HidDev, std::int32_t Idx) {
  hid::THidDevice* const device = HidDev;
  const QString id = DeviceIdText(*device);

  if (id == kBootLoaderId) {
    Button1->setEnabled(true);
    Button2->setEnabled(false);
    ColorBtn1->SetButtonColor(clBtnFace);
    ColorBtn1->setEnabled(false);
    Label3->setText(QStringLiteral("Updating..."));
    EnableTimer(Timer1);
  } else {
    Button1->setEnabled(false);
  }

  if (id == kKeyboardId) {
    Label5->setText(QStringLiteral("Keyboard Enable"));
    SetLabelColor(Label5, clGreen);
    Label4->setText(QStringLiteral("KB Firmware ") + DeviceVersionText(*device));
    SetLabelColor(Label2, clBlue);
    Label2->setText(QStringLiteral("KB Connect.."));
    Image1->setVisible(true);

    const QString product = QString::fromStdU16String(device->GetProductName());
    DevListBox->addItem(product);
    DevListBox->item(DevListBox->count() - 1)->setSizeHint(QSize(0, 16));
    hid::THidDevice* claimed = nullptr;
    DeviceEntry entry;
    if (HidCtl->ClaimDeviceByIndex(claimed, Idx)) entry.device.reset(claimed);
    deviceList_.push_back(std::move(entry));

    const int newIndex = DeviceListCount() - 1;
    if (newIndex == 4) {
      Button2->setEnabled(true);
      ColorBtn1->SetButtonColor(clRed);
      ColorBtn1->setEnabled(true);
      if (!Label3->text().isEmpty()) {
        ColorBtn1->SetButtonColor(clBtnFace);
        ColorBtn1->setEnabled(false);
      }
      currentDevice_ = DeviceOfEntry(4);
    }
  } else if (!Button2->isEnabled() && !Button1->isEnabled()) {
    SetLabelColor(Label2, clRed);
    Label2->setText(QStringLiteral("Not Connect.."));
    Image1->setVisible(false);
    Button2->setEnabled(false);
    ColorBtn1->SetButtonColor(clBtnFace);
    ColorBtn1->setEnabled(false);
  }
  return true;
}

void TbootloaderFORM::HidCtlArrival(hid::THidDevice* HidDev) {
  AddHistoryLine(DeviceIdText(*HidDev) + DeviceVersionText(*HidDev));
  if (Label3->text().isEmpty()) {
    updateFlag_.clear();
    Timer3.stop();
  }
}

void TbootloaderFORM::HidCtlRemoval(hid::THidDevice* /*HidDev*/) {
  Label4->setText(QStringLiteral("Keyboard remove"));
  EnableTimer(Timer4);
}

void TbootloaderFORM::HidCtlDeviceDataError(hid::THidDevice* /*HidDev*/, std::uint32_t Error) {
  AddHistoryLine(QStringLiteral("READ ERROR: ") + ErrorLogText(Error));
}

void TbootloaderFORM::ReadBtnClick() {
  currentDevice_ = nullptr;
  if (deviceList_.empty() || DevListBox->selectedItems().isEmpty()) return;
  currentDevice_ = deviceList_.back().device.get();
}

void TbootloaderFORM::InfoBtnClick() {
  const QList<QListWidgetItem*> selected = DevListBox->selectedItems();
  if (deviceList_.empty() || selected.isEmpty()) return;
  // An entry whose claim failed has no device to show: nothing opens.
  ShowDeviceInfo(this, DeviceOfEntry(DevListBox->row(selected.first())));
}

void TbootloaderFORM::DevListBoxClick() {
  ReadBtn->setChecked(false);
  ReadBtnClick();
}

bool TbootloaderFORM::WriteCommand(hid::THidDevice& device, std::uint8_t code,
                                   std::uint8_t argument) {
  hid::HIDP_CAPS caps{};
  device.GetCapabilities(caps);
  const std::size_t length = caps.OutputReportByteLength;
  std::vector<std::uint8_t> report(std::max(length, kCommandReportSize), 0);
  report[0] = kCommandReportId;
  report[1] = code;
  report[2] = argument;
  std::uint32_t written = 0;
  if (device.WriteOutputReport(report.data(), static_cast<std::int32_t>(length), written)) {
    return true;
  }
  lastWriteError_ = hidplatform::CurrentBackend().LastError();
  return false;
}

void TbootloaderFORM::SendCommand(std::uint8_t code, std::uint8_t argument, const QString& suffix) {
  if (currentDevice_ == nullptr) return;
  for (DeviceEntry& entry : deviceList_) {
    // An entry whose claim failed has nothing to write to.
    if (!entry.device) continue;
    currentDevice_ = entry.device.get();
    WriteCommand(*currentDevice_, code, argument);
  }
  AddHistoryLine(CommandLogLine(kCommandReportId, code, argument, suffix));
}

void TbootloaderFORM::Button5Click() {
  SendCommand(0x95, 0x7E, QString());
  Label2->setText(QStringLiteral("Check Touchpad FW Version"));
}

void TbootloaderFORM::ColorBtn1Click() {
  if (currentDevice_ == nullptr) return;
  // A keyboard restarted into its boot loader with nothing to burn stays
  // there: the file is checked before the command goes out.
  const QString firmware = FirmwarePathIn(programDirectory_);
  const std::string firmwareProblem =
      isp::CheckFirmwareFile(QFile::encodeName(firmware).toStdString());
  if (!firmwareProblem.empty()) {
    AddHistoryLine(QStringLiteral("Firmware file %1: %2")
                       .arg(firmware, QString::fromStdString(firmwareProblem)));
    SetLabelColor(Label2, clRed);
    Label2->setText(QStringLiteral("No valid firmware"));
    return;
  }
  currentDevice_->SetDataHandler(hid::THidDataEvent());
  int attempted = 0;
  int delivered = 0;
  for (DeviceEntry& entry : deviceList_) {
    if (!entry.device) continue;
    currentDevice_ = entry.device.get();
    ++attempted;
    if (WriteCommand(*currentDevice_, kUpdateCode, kUpdateArgument)) ++delivered;
    updateFlag_ = QStringLiteral("OK");
    Label3->setText(QStringLiteral("Ready Update"));
    HistoryListBox->clear();
    if (!Label3->text().isEmpty()) {
      ColorBtn1->SetButtonColor(clBtnFace);
      ColorBtn1->setEnabled(false);
    }
    SetLabelColor(Label2, clRed);
    Label2->setText(QStringLiteral("wait a few seconds"));
    Image1->setVisible(false);
    Timer3.stop();
    currentDevice_->SetDataHandler(hid::THidDataEvent());
  }
  AddHistoryLine(
      CommandLogLine(kCommandReportId, kUpdateCode, kUpdateArgument, " (Please Re-plug USB)"));
  // Not one interface took the command: say so, or the user waits for a
  // re-plug that never comes.
  if (attempted > 0 && delivered == 0) {
    AddHistoryLine(QStringLiteral("Cannot write to the keyboard: ") +
                   ErrorLogText(lastWriteError_));
  }
}

void TbootloaderFORM::ColorBtn1MouseMove() {
  EnableTimer(Timer3);
}

void TbootloaderFORM::Timer1Timer() {
  Timer1.stop();
  if (Label3->text() == QStringLiteral("Updating...")) Button1Click();
}

void TbootloaderFORM::Button1Click() {
  currentDevice_ = nullptr;
  const QString program = BurnerProgramName();
  const QString firmware = FirmwarePathIn(programDirectory_);
  const LaunchResult launched = launcher_->Launch(program, firmware);
  if (!launched.started) {
    // The window stays: the next appearance of the boot loader arms Timer1
    // again, so a re-plug retries.
    AddHistoryLine(QStringLiteral("Cannot start %1: %2").arg(program, launched.error));
    SetLabelColor(Label2, clRed);
    Label2->setText(QStringLiteral("Burner not started"));
    return;
  }
  close();
  Button1->setEnabled(true);
  SetLabelColor(Label2, clRed);
  Label2->setText(QStringLiteral("Please Unplug KB"));
  Label3->setText(QStringLiteral("Update OK....."));
  for (QRadioButton* radio :
       {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6}) {
    radio->setEnabled(true);
  }
}

void TbootloaderFORM::Timer3Timer() {
  Image1->setVisible(!Image1->isVisible());
}

void TbootloaderFORM::Timer4Timer() {
  SetLabelColor(Label2, clRed);
  Label2->setText(QStringLiteral("Not Connect.."));
  Label5->setText(QString());
  Timer3.stop();
  Timer4.stop();
  Button2->setEnabled(false);
  ColorBtn1->SetButtonColor(clBtnFace);
  ColorBtn1->setEnabled(false);
  ClearDeviceList(true);
}

bool TbootloaderFORM::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    if (watched == ColorBtn1) ColorBtn1MouseMove();
    if (watched == Button9) Button9MouseMove();
  }
  return QWidget::eventFilter(watched, event);
}

void TbootloaderFORM::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
  QWidget::changeEvent(event);
}
