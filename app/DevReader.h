// The update window: identifies the keyboard and its boot loader, shows the
// connection state, sends the keyboard's command reports and starts the
// burner once the boot loader is there.
#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/BurnerLauncher.h"
#include "app/TouchpadPanel.h"
#include "controls/ColorBtn.h"
#include "hid/HidControllerClass.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

class TbootloaderFORM : public QWidget {
  Q_OBJECT

 public:
  // launcher starts the burner; null means the real process launcher.
  explicit TbootloaderFORM(std::unique_ptr<BurnerLauncher> launcher = nullptr,
                           QWidget* parent = nullptr);
  ~TbootloaderFORM() override;

  // --- Controls, named as on the form ---
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  TColorBtn* ColorBtn1 = nullptr;
  QListWidget* HistoryListBox = nullptr;
  QListWidget* DevListBox = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button9 = nullptr;
  QLabel* Image1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QRadioButton* RadioButton4 = nullptr;
  QRadioButton* RadioButton5 = nullptr;
  QRadioButton* RadioButton6 = nullptr;
  QToolButton* ReadBtn = nullptr;
  QPushButton* InfoBtn = nullptr;
  QPushButton* WriteBtn = nullptr;
  QPushButton* SaveBtn = nullptr;
  QPushButton* ClearBtn = nullptr;
  QLineEdit* ReportID = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;

  // --- Non-visual components ---
  std::unique_ptr<hid::THidDeviceController> HidCtl;
  QTimer Timer1;  // starts the burner one second after the boot loader appeared
  QTimer Timer2;  // touchpad animation; nothing starts it
  QTimer Timer3;  // blinks Image1
  QTimer Timer4;  // empties the device list one second after a removal

  // --- Window state ---
  hid::THidDevice* CurrentDevice() const { return currentDevice_; }
  const QString& UpdateFlag() const { return updateFlag_; }
  // The claimed device of a device-list entry; null when the claim failed.
  hid::THidDevice* DeviceOfEntry(int index) const;
  int DeviceListCount() const { return static_cast<int>(deviceList_.size()); }
  // Where kbupdate looks for the firmware file; its own directory unless a
  // test sets another.
  QString ProgramDirectory() const { return programDirectory_; }
  void SetProgramDirectory(const QString& directory) { programDirectory_ = directory; }

  // --- Texts ---
  static QString DeviceIdText(const hid::THidDevice& device);
  static QString DeviceVersionText(const hid::THidDevice& device);
  // "W --> 09 54 02 " and the suffix.
  static QString CommandLogLine(std::uint8_t reportId, std::uint8_t code, std::uint8_t argument,
                                const QString& suffix);

  // --- Operations for the window's parts ---
  void AddHistoryLine(const QString& text);
  void SendCommand(std::uint8_t code, std::uint8_t argument, const QString& suffix);

  // --- Handlers (bound to the controls' and the controller's events) ---
  void FormCreate();
  void FormActivate() {}
  void HidCtlDeviceChange(hid::THidDeviceController* Sender);
  bool HidCtlEnumerate(hid::THidDevice* HidDev, std::int32_t Idx);
  void HidCtlArrival(hid::THidDevice* HidDev);
  void HidCtlRemoval(hid::THidDevice* HidDev);
  void HidCtlDeviceUnplug(hid::THidDevice* /*HidDev*/) {}
  void HidCtlDeviceDataError(hid::THidDevice* HidDev, std::uint32_t Error);
  void DevListBoxClick();
  void ReadBtnClick();
  void ColorBtn1Click();
  void ColorBtn1MouseMove();
  void Timer1Timer();
  void Button1Click();
  void Timer3Timer();
  void Timer4Timer();
  void Button5Click();
  void Button9Click() {}
  void Button9MouseMove() {}
  void Button2Click();  // "Burn TP"
  void Button3Click();
  void Button4Click();
  void SaveBtnClick();
  void InfoBtnClick();

  // --- Touchpad flashing ---
  std::unique_ptr<TouchpadPanel> Touchpad;
  QPlainTextEdit* Memo1 = nullptr;  // the staged image lines
  QPlainTextEdit* Memo2 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  std::int32_t StagedLineCounter() const;
  // Two staged hex digits back into their byte; nothing for any other text.
  std::optional<std::uint8_t> StrToByte(const QString& text) const;

 signals:
  // After each device change has been handled (tests, benchmark).
  void DeviceChangeHandled();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct DeviceEntry {
    std::unique_ptr<hid::THidDevice> device;  // claimed from HidCtl; null when the claim failed
  };

  void CreateControls();
  void CreateTouchpadPanel();
  // Runs a click handler that may raise. The error is shown in the
  // application's error box from here: an exception must not unwind through
  // Qt's own frames (a slot's exception is undefined behaviour there).
  void RunHandler(const std::function<void()>& handler);
  void BindEvents();
  void BindHidEvents();
  void CenterOnScreen();
  // Frees the claimed devices, closing their handles first when asked, and
  // empties the device list.
  void ClearDeviceList(bool closeHandles);
  void SelectDeviceEntry(int index);
  // Writes the command report to one device; false when the write failed.
  bool WriteCommand(hid::THidDevice& device, std::uint8_t code, std::uint8_t argument);
  void SetLabelColor(QLabel* label, TColor color);

  std::unique_ptr<BurnerLauncher> launcher_;
  hid::THidDevice* currentDevice_ = nullptr;
  QString updateFlag_;
  std::vector<DeviceEntry> deviceList_;
  // True while the program itself changes the device list's selection.
  bool selectingDeviceEntry_ = false;
  std::uint32_t lastWriteError_ = 0;
  QString programDirectory_;
};

// Enables a timer without restarting the period of one that already runs.
void EnableTimer(QTimer& timer);
