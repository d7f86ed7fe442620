// The update window: identifies the keyboard and its boot loader, shows the
// connection state, sends the keyboard's command reports and starts the
// burner once the boot loader is there. Knows no toolkit: the window and its
// controls come from the front end's ui::Toolkit, texts are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/BurnerLauncher.h"
#include "app/TouchpadPanel.h"
#include "app/info/Info.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/MainLoop.h"
#include "ui/Toolkit.h"

class TbootloaderFORM {
 public:
  // Makes the window and its controls with `toolkit`, installs the
  // toolkit's HID main loop and creates the controller; the first scan runs
  // once the loop runs. `launcher` starts the burner.
  TbootloaderFORM(ui::Toolkit& toolkit, std::unique_ptr<BurnerLauncher> launcher);
  ~TbootloaderFORM();
  TbootloaderFORM(const TbootloaderFORM&) = delete;
  TbootloaderFORM& operator=(const TbootloaderFORM&) = delete;

  // The form's description, the one place its geometry is written.
  static ui::FormLayout FormDescription();
  static const std::vector<ui::ControlLayout>& ControlDescriptions();
  // The entry of ControlDescriptions() with that name; throws when none.
  static const ui::ControlLayout& ControlDescription(std::string_view name);

  ui::Form& Window() const { return *window_; }

  // --- Controls, named as on the form ---
  ui::Label* Label1 = nullptr;
  ui::Label* Label2 = nullptr;
  ui::Label* Label3 = nullptr;
  ui::Label* Label4 = nullptr;
  ui::Label* Label5 = nullptr;
  ui::ColorButton* ColorBtn1 = nullptr;
  ui::ListBox* HistoryListBox = nullptr;
  ui::ListBox* DevListBox = nullptr;
  ui::Button* Button1 = nullptr;
  ui::Button* Button2 = nullptr;
  ui::Button* Button3 = nullptr;
  ui::Button* Button4 = nullptr;
  ui::Button* Button5 = nullptr;
  ui::Button* Button9 = nullptr;
  ui::Static* Image1 = nullptr;
  ui::Static* GroupBox1 = nullptr;
  ui::Static* GroupBox2 = nullptr;
  ui::Static* GroupBox3 = nullptr;
  ui::CheckButton* RadioButton1 = nullptr;
  ui::CheckButton* RadioButton2 = nullptr;
  ui::CheckButton* RadioButton3 = nullptr;
  ui::CheckButton* RadioButton4 = nullptr;
  ui::CheckButton* RadioButton5 = nullptr;
  ui::CheckButton* RadioButton6 = nullptr;
  ui::CheckButton* ReadBtn = nullptr;
  ui::Button* InfoBtn = nullptr;
  ui::Button* WriteBtn = nullptr;
  ui::Button* SaveBtn = nullptr;
  ui::Button* ClearBtn = nullptr;
  ui::Edit* ReportID = nullptr;
  ui::Edit* Edit1 = nullptr;
  ui::Edit* Edit2 = nullptr;
  ui::Memo* Memo1 = nullptr;  // the staged image lines
  ui::Memo* Memo2 = nullptr;
  ui::ProgressBar* ProgressBar1 = nullptr;

  // --- Non-visual components ---
  std::unique_ptr<hid::THidDeviceController> HidCtl;
  ui::Timer* Timer1 = nullptr;  // starts the burner one second after the boot loader appeared
  ui::Timer* Timer2 = nullptr;  // touchpad animation; nothing starts it
  ui::Timer* Timer3 = nullptr;  // blinks Image1
  ui::Timer* Timer4 = nullptr;  // empties the device list one second after a removal

  // After each device change has been handled (tests, benchmark).
  std::function<void()> DeviceChangeHandled;

  // --- Window state ---
  hid::THidDevice* CurrentDevice() const { return currentDevice_; }
  const std::string& UpdateFlag() const { return updateFlag_; }
  // The claimed device of a device-list entry; null when the claim failed.
  hid::THidDevice* DeviceOfEntry(int index) const;
  int DeviceListCount() const { return static_cast<int>(deviceList_.size()); }
  // Where kbupdate looks for the firmware file; its own directory unless a
  // test sets another.
  const std::string& ProgramDirectory() const { return programDirectory_; }
  void SetProgramDirectory(std::string directory) { programDirectory_ = std::move(directory); }

  // --- Texts ---
  static std::string DeviceIdText(const hid::THidDevice& device);
  static std::string DeviceVersionText(const hid::THidDevice& device);
  // "W --> 09 54 02 " and the suffix.
  static std::string CommandLogLine(std::uint8_t reportId, std::uint8_t code, std::uint8_t argument,
                                    std::string_view suffix);

  // --- Operations for the window's parts ---
  void AddHistoryLine(std::string_view text);
  void SendCommand(std::uint8_t code, std::uint8_t argument, std::string_view suffix);

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
  void Button2Click();  // "Burn TP"; throws touchpad::ImageOpenError
  void Button3Click();
  void Button4Click();
  void SaveBtnClick();  // throws historylog::HistoryFileError
  void InfoBtnClick();

  // The information dialog while InfoBtnClick shows it; null otherwise.
  TInfoForm* InfoDialog() const { return infoDialog_; }

  // --- Touchpad flashing ---
  std::unique_ptr<TouchpadPanel> Touchpad;
  std::int32_t StagedLineCounter() const;
  // Two staged hex digits back into their byte; nothing for any other text.
  std::optional<std::uint8_t> StrToByte(std::string_view text) const;

 private:
  struct DeviceEntry {
    std::unique_ptr<hid::THidDevice> device;  // claimed from HidCtl; null when the claim failed
  };

  void CreateControls();
  void CreateTouchpadPanel();
  // A handler of a control's or timer's event that may raise: the error goes
  // to the toolkit's error box from here, so that no exception unwinds
  // through the toolkit's frames.
  std::function<void()> Guarded(std::function<void()> handler);
  void BindEvents();
  void BindHidEvents();
  // Frees the claimed devices, closing their handles first when asked, and
  // empties the device list.
  void ClearDeviceList(bool closeHandles);
  // Writes the command report to one device; false when the write failed.
  bool WriteCommand(hid::THidDevice& device, std::uint8_t code, std::uint8_t argument);
  void DisableUpdateButton();

  ui::Toolkit& toolkit_;
  // The controller's notifications arrive on the toolkit's loop while the
  // window lives.
  std::unique_ptr<hidplatform::ScopedMainLoop> mainLoop_;
  std::unique_ptr<BurnerLauncher> launcher_;
  std::unique_ptr<ui::Form> window_;
  hid::THidDevice* currentDevice_ = nullptr;
  std::string updateFlag_;
  std::vector<DeviceEntry> deviceList_;
  std::uint32_t lastWriteError_ = 0;
  std::string programDirectory_;
  TInfoForm* infoDialog_ = nullptr;
};
