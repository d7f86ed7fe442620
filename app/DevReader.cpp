#include "app/DevReader.h"

#include <optional>
#include <utility>
#include <vector>

#include "app/SystemErrorText.h"
#include "isp/FirmwareFile.h"
#include "keyboard/CommandReport.h"
#include "keyboard/KeyboardIdentity.h"
#include "ui/HandlerGuard.h"

TbootloaderFORM::TbootloaderFORM(ui::Toolkit& toolkit, std::unique_ptr<BurnerLauncher> launcher)
    : toolkit_(toolkit),
      launcher_(std::move(launcher)),
      window_(toolkit.MakeForm(FormDescription(), nullptr)),
      programDirectory_(toolkit.ProgramDirectory()) {
  CreateControls();
  CreateTouchpadPanel();
  window_->FinishCreation();
  BindEvents();
  BindHidEvents();
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

std::string TbootloaderFORM::DeviceIdText(const hid::THidDevice& device) {
  return keyboard::DeviceIdText(device.Attributes().VendorID, device.Attributes().ProductID);
}

std::string TbootloaderFORM::DeviceVersionText(const hid::THidDevice& device) {
  return keyboard::DeviceVersionText(device.Attributes().VersionNumber);
}

std::string TbootloaderFORM::CommandLogLine(std::uint8_t reportId, std::uint8_t code,
                                            std::uint8_t argument, std::string_view suffix) {
  return keyboard::CommandLogLine(reportId, code, argument, suffix);
}

std::function<void()> TbootloaderFORM::Guarded(std::function<void()> handler) {
  return [this, handler = std::move(handler)] {
    ui::RunGuarded(handler, [this](std::string_view message) { toolkit_.ShowError(message); });
  };
}

void TbootloaderFORM::BindHidEvents() {
  // Created as the form loads: the handlers are in place before the first
  // scan, which the controller runs from the event loop. The controller's
  // notifications and hand-overs arrive on the toolkit's loop.
  mainLoop_ = std::make_unique<hidplatform::ScopedMainLoop>(toolkit_.HidMainLoop());
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

void TbootloaderFORM::BindEvents() {
  // Every handler runs guarded: a failure is shown, never unwound through
  // the toolkit's own frames.
  window_->OnActivate = Guarded([this] { FormActivate(); });
  ColorBtn1->OnClick = Guarded([this] { ColorBtn1Click(); });
  ColorBtn1->OnMouseMove = Guarded([this] { ColorBtn1MouseMove(); });
  Button1->OnClick = Guarded([this] { Button1Click(); });
  Button2->OnClick = Guarded([this] { Button2Click(); });
  Button3->OnClick = Guarded([this] { Button3Click(); });
  Button4->OnClick = Guarded([this] { Button4Click(); });
  Button5->OnClick = Guarded([this] { Button5Click(); });
  Button9->OnClick = Guarded([this] { Button9Click(); });
  Button9->OnMouseMove = Guarded([this] { Button9MouseMove(); });
  ReadBtn->OnClick = Guarded([this] { ReadBtnClick(); });
  SaveBtn->OnClick = Guarded([this] { SaveBtnClick(); });
  InfoBtn->OnClick = Guarded([this] { InfoBtnClick(); });
  Timer1->OnTimer = Guarded([this] { Timer1Timer(); });
  Timer3->OnTimer = Guarded([this] { Timer3Timer(); });
  Timer4->OnTimer = Guarded([this] { Timer4Timer(); });
  // The user's click or selection in the device list; the program's own
  // SetItemIndex is no click.
  DevListBox->OnClick = Guarded([this] { DevListBoxClick(); });

  // A radio button's click is its becoming the checked one of its pair.
  struct LockCommand {
    ui::CheckButton* button;
    keyboard::Command command;
  };
  const LockCommand commands[] = {
      {RadioButton1, keyboard::kFnUnlock},   {RadioButton2, keyboard::kFnLock},
      {RadioButton3, keyboard::kMuteUnlock}, {RadioButton4, keyboard::kMuteLock},
      {RadioButton5, keyboard::kMicUnlock},  {RadioButton6, keyboard::kMicLock},
  };
  for (const LockCommand& lock : commands) {
    lock.button->OnChecked = Guarded([this, command = lock.command] {
      SendCommand(command.code, command.argument, command.logSuffix);
    });
  }
}

void TbootloaderFORM::FormCreate() {
  updateFlag_.clear();
}

void TbootloaderFORM::AddHistoryLine(std::string_view text) {
  HistoryListBox->Add(text);
  HistoryListBox->SetItemIndex(HistoryListBox->Count() - 1);
}

void TbootloaderFORM::DisableUpdateButton() {
  ColorBtn1->SetButtonColor(clBtnFace);
  ColorBtn1->SetEnabled(false);
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
  DevListBox->Clear();
}

void TbootloaderFORM::HidCtlDeviceChange(hid::THidDeviceController* /*Sender*/) {
  ClearDeviceList(false);
  HidCtl->EnumerateDevices();
  // The sixth entry is selected; with fewer, nothing is.
  if (DevListBox->Count() > 0) DevListBox->SetItemIndex(DevListBox->Count() > 5 ? 5 : -1);
  if (updateFlag_ != "OK") DevListBoxClick();
  if (DeviceChangeHandled) DeviceChangeHandled();
}

bool TbootloaderFORM::HidCtlEnumerate(hid::THidDevice* HidDev, std::int32_t Idx) {
  hid::THidDevice* const device = HidDev;
  const keyboard::DeviceKind kind =
      keyboard::KindOf(device->Attributes().VendorID, device->Attributes().ProductID);

  if (kind == keyboard::DeviceKind::kBootLoader) {
    Button1->SetEnabled(true);
    Button2->SetEnabled(false);
    DisableUpdateButton();
    Label3->SetText("Updating...");
    ui::EnableTimer(*Timer1);
  } else {
    Button1->SetEnabled(false);
  }

  if (kind == keyboard::DeviceKind::kKeyboard) {
    Label5->SetText("Keyboard Enable");
    Label5->SetFontColor(clGreen);
    Label4->SetText("KB Firmware " + DeviceVersionText(*device));
    Label2->SetFontColor(clBlue);
    Label2->SetText("KB Connect..");
    Image1->SetVisible(true);

    DevListBox->Add(DisplayText(device->GetProductName()));
    hid::THidDevice* claimed = nullptr;
    DeviceEntry entry;
    if (HidCtl->ClaimDeviceByIndex(claimed, Idx)) entry.device.reset(claimed);
    deviceList_.push_back(std::move(entry));

    const int newIndex = DeviceListCount() - 1;
    if (newIndex == 4) {
      Button2->SetEnabled(true);
      ColorBtn1->SetButtonColor(clRed);
      ColorBtn1->SetEnabled(true);
      if (!Label3->Text().empty()) DisableUpdateButton();
      currentDevice_ = DeviceOfEntry(4);
    }
  } else if (!Button2->Enabled() && !Button1->Enabled()) {
    Label2->SetFontColor(clRed);
    Label2->SetText("Not Connect..");
    Image1->SetVisible(false);
    Button2->SetEnabled(false);
    DisableUpdateButton();
  }
  return true;
}

void TbootloaderFORM::HidCtlArrival(hid::THidDevice* HidDev) {
  AddHistoryLine(DeviceIdText(*HidDev) + DeviceVersionText(*HidDev));
  if (Label3->Text().empty()) {
    updateFlag_.clear();
    Timer3->SetEnabled(false);
  }
}

void TbootloaderFORM::HidCtlRemoval(hid::THidDevice* /*HidDev*/) {
  Label4->SetText("Keyboard remove");
  ui::EnableTimer(*Timer4);
}

void TbootloaderFORM::HidCtlDeviceDataError(hid::THidDevice* /*HidDev*/, std::uint32_t Error) {
  AddHistoryLine("READ ERROR: " + ErrorLogText(Error));
}

void TbootloaderFORM::ReadBtnClick() {
  currentDevice_ = nullptr;
  if (deviceList_.empty() || DevListBox->ItemIndex() < 0) return;
  currentDevice_ = deviceList_.back().device.get();
}

void TbootloaderFORM::InfoBtnClick() {
  const int selected = DevListBox->ItemIndex();
  if (deviceList_.empty() || selected < 0) return;
  // An entry whose claim failed has no device to show: nothing opens.
  hid::THidDevice* const device = DeviceOfEntry(selected);
  if (device == nullptr) return;
  TInfoForm dialog(toolkit_, window_.get());
  dialog.Device = device;
  infoDialog_ = &dialog;
  struct Forget {
    TInfoForm*& shown;
    ~Forget() { shown = nullptr; }
  } forget{infoDialog_};
  toolkit_.RunModal(dialog.Window());
}

void TbootloaderFORM::DevListBoxClick() {
  ReadBtn->SetChecked(false);
  ReadBtnClick();
}

bool TbootloaderFORM::WriteCommand(hid::THidDevice& device, std::uint8_t code,
                                   std::uint8_t argument) {
  const std::optional<std::uint32_t> error = keyboard::WriteCommand(device, code, argument);
  if (error) lastWriteError_ = *error;
  return !error;
}

void TbootloaderFORM::SendCommand(std::uint8_t code, std::uint8_t argument,
                                  std::string_view suffix) {
  if (currentDevice_ == nullptr) return;
  for (DeviceEntry& entry : deviceList_) {
    // An entry whose claim failed has nothing to write to.
    if (!entry.device) continue;
    currentDevice_ = entry.device.get();
    WriteCommand(*currentDevice_, code, argument);
  }
  AddHistoryLine(CommandLogLine(keyboard::kCommandReportId, code, argument, suffix));
}

void TbootloaderFORM::Button5Click() {
  SendCommand(keyboard::kTouchpadVersion.code, keyboard::kTouchpadVersion.argument,
              keyboard::kTouchpadVersion.logSuffix);
  Label2->SetText("Check Touchpad FW Version");
}

void TbootloaderFORM::ColorBtn1Click() {
  if (currentDevice_ == nullptr) return;
  // A keyboard restarted into its boot loader with nothing to burn stays
  // there: the file is checked before the command goes out.
  const std::string firmware = FirmwarePathIn(programDirectory_);
  const std::string firmwareProblem = isp::CheckFirmwareFile(firmware);
  if (!firmwareProblem.empty()) {
    AddHistoryLine("Firmware file " + firmware + ": " + firmwareProblem);
    Label2->SetFontColor(clRed);
    Label2->SetText("No valid firmware");
    return;
  }
  currentDevice_->SetDataHandler(hid::THidDataEvent());
  int attempted = 0;
  int delivered = 0;
  for (DeviceEntry& entry : deviceList_) {
    if (!entry.device) continue;
    currentDevice_ = entry.device.get();
    ++attempted;
    if (WriteCommand(*currentDevice_, keyboard::kUpdate.code, keyboard::kUpdate.argument)) {
      ++delivered;
    }
    updateFlag_ = "OK";
    Label3->SetText("Ready Update");
    HistoryListBox->Clear();
    if (!Label3->Text().empty()) DisableUpdateButton();
    Label2->SetFontColor(clRed);
    Label2->SetText("wait a few seconds");
    Image1->SetVisible(false);
    Timer3->SetEnabled(false);
    currentDevice_->SetDataHandler(hid::THidDataEvent());
  }
  AddHistoryLine(keyboard::CommandLogLine(keyboard::kUpdate));
  // Not one interface took the command: say so, or the user waits for a
  // re-plug that never comes.
  if (attempted > 0 && delivered == 0) {
    AddHistoryLine("Cannot write to the keyboard: " + ErrorLogText(lastWriteError_));
  }
}

void TbootloaderFORM::ColorBtn1MouseMove() {
  ui::EnableTimer(*Timer3);
}

void TbootloaderFORM::Timer1Timer() {
  Timer1->SetEnabled(false);
  if (Label3->Text() == "Updating...") Button1Click();
}

void TbootloaderFORM::Button1Click() {
  currentDevice_ = nullptr;
  const std::string program = BurnerProgramName();
  const std::string firmware = FirmwarePathIn(programDirectory_);
  const LaunchResult launched = launcher_->Launch(program, firmware);
  if (!launched.started) {
    // The window stays: the next appearance of the boot loader arms Timer1
    // again, so a re-plug retries.
    AddHistoryLine("Cannot start " + program + ": " + launched.error);
    Label2->SetFontColor(clRed);
    Label2->SetText("Burner not started");
    return;
  }
  window_->Close();
  Button1->SetEnabled(true);
  Label2->SetFontColor(clRed);
  Label2->SetText("Please Unplug KB");
  Label3->SetText("Update OK.....");
  for (ui::CheckButton* radio :
       {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6}) {
    radio->SetEnabled(true);
  }
}

void TbootloaderFORM::Timer3Timer() {
  Image1->SetVisible(!Image1->Visible());
}

void TbootloaderFORM::Timer4Timer() {
  Label2->SetFontColor(clRed);
  Label2->SetText("Not Connect..");
  Label5->SetText("");
  Timer3->SetEnabled(false);
  Timer4->SetEnabled(false);
  Button2->SetEnabled(false);
  DisableUpdateButton();
  ClearDeviceList(true);
}
