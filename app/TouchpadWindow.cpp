// The window's touchpad flashing: its panel, the three buttons' handlers and
// the published StrToByte.
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <exception>

#include "app/Application.h"
#include "app/DevReader.h"
#include "app/TouchpadImage.h"
#include "app/TouchpadPanel.h"

void TbootloaderFORM::CreateTouchpadPanel() {
  TouchpadWindowParts parts;
  parts.Button2 = Button2;
  parts.Label2 = Label2;
  parts.Label3 = Label3;
  parts.Image1 = Image1;
  parts.RadioButtons = {RadioButton1, RadioButton2, RadioButton3,
                        RadioButton4, RadioButton5, RadioButton6};
  parts.DisableUpdateButton = [this] {
    ColorBtn1->SetButtonColor(clBtnFace);
    ColorBtn1->setEnabled(false);
  };
  parts.HasCurrentDevice = [this] { return CurrentDevice() != nullptr; };
  parts.SendCommand = [this](std::uint8_t code, std::uint8_t argument, const QString& suffix) {
    SendCommand(code, argument, suffix);
  };
  parts.AddHistoryLine = [this](const QString& text) { AddHistoryLine(text); };
  Touchpad = std::make_unique<TouchpadPanel>(this, std::move(parts));
  Memo1 = Touchpad->Memo1;
  Memo2 = Touchpad->Memo2;
  ProgressBar1 = Touchpad->ProgressBar1;

  connect(Button2, &QAbstractButton::clicked, this,
          [this] { RunHandler([this] { Button2Click(); }); });
  connect(Button3, &QAbstractButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QAbstractButton::clicked, this, [this] { Button4Click(); });
}

std::int32_t TbootloaderFORM::StagedLineCounter() const {
  return Touchpad->StagedLineCounter();
}

std::optional<std::uint8_t> TbootloaderFORM::StrToByte(const QString& text) const {
  return touchpad::StrToByte(text.toStdString());
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

void TbootloaderFORM::RunHandler(const std::function<void()>& handler) {
  QString message;
  try {
    handler();
    return;
  } catch (const std::exception& error) {
    message = QString::fromLocal8Bit(error.what());
  }
  if (auto* application = dynamic_cast<TApplication*>(QCoreApplication::instance())) {
    application->ReportError(message);
  } else {
    QMessageBox::critical(this, QCoreApplication::applicationName(), message);
  }
}
