// The device information dialog: names, IDs, report lengths, indexed strings
// and languages of one HID device. It only reads the device, once, when it is
// shown.
#pragma once

#include <QDialog>

#include <functional>

#include "hid/info/DeviceInfo.h"

class QLabel;
class QListWidget;

class TInfoForm : public QDialog {
  Q_OBJECT

 public:
  explicit TInfoForm(QWidget* owner = nullptr);
  ~TInfoForm() override;

  // The device to show; set by the opener before showing, not owned. Cleared
  // once the dialog has read it.
  hid::THidDevice* Device = nullptr;

  // --- Controls, named as on the form ---
  QLabel* Label10 = nullptr;
  QLabel* VendorName = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* SerialNo = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Vid = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Pid = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Vers = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* InputLen = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* OutputLen = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* FeatureLen = nullptr;
  QLabel* Label1 = nullptr;
  QListWidget* DevStrings = nullptr;
  QLabel* Label12 = nullptr;
  QListWidget* LangStrings = nullptr;

  // Bound to the show event: reads Device once and fills every control.
  void FormShow();
  // Fills the controls from a copy of the device's data.
  void ShowInfo(const DeviceInfo& info);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* AddLabel(int left, int top, const QString& text);
  void PlaceLists();

  bool filled_ = false;
};

// Shows the dialog for `device` with `owner` as its owner and frees it when
// it closes; nothing happens without a device. The runner shows it (modally
// in the window; tests answer it).
using InfoDialogRunner = std::function<int(TInfoForm& dialog)>;
int ExecInfoModally(TInfoForm& dialog);
void ShowDeviceInfo(QWidget* owner, hid::THidDevice* device,
                    const InfoDialogRunner& run = ExecInfoModally);
