// The window's touchpad flashing: its panel, the three buttons' handlers and
// the published StrToByte.
#include "app/DevReader.h"
#include "app/TouchpadPanel.h"
#include "touchpad/TouchpadImage.h"

void TbootloaderFORM::CreateTouchpadPanel() {
  TouchpadWindowParts parts;
  parts.Memo1 = Memo1;
  parts.Memo2 = Memo2;
  parts.ProgressBar1 = ProgressBar1;
  parts.Button2 = Button2;
  parts.Label2 = Label2;
  parts.Label3 = Label3;
  parts.Image1 = Image1;
  parts.RadioButtons = {RadioButton1, RadioButton2, RadioButton3,
                        RadioButton4, RadioButton5, RadioButton6};
  parts.DisableUpdateButton = [this] { DisableUpdateButton(); };
  parts.HasCurrentDevice = [this] { return CurrentDevice() != nullptr; };
  parts.SendCommand = [this](std::uint8_t code, std::uint8_t argument, std::string_view suffix) {
    SendCommand(code, argument, suffix);
  };
  parts.AddHistoryLine = [this](std::string_view text) { AddHistoryLine(text); };
  Touchpad = std::make_unique<TouchpadPanel>(std::move(parts));
}

std::int32_t TbootloaderFORM::StagedLineCounter() const {
  return Touchpad->StagedLineCounter();
}

std::optional<std::uint8_t> TbootloaderFORM::StrToByte(std::string_view text) const {
  return touchpad::StrToByte(std::string(text));
}

void TbootloaderFORM::Button2Click() {
  Touchpad->Button2Click();
}
void TbootloaderFORM::Button3Click() {
  Touchpad->Button3Click();
}
void TbootloaderFORM::Button4Click() {
  Touchpad->Button4Click();
}
