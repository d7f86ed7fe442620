// The device information dialog: names, IDs, report lengths, indexed strings
// and languages of one HID device. It only reads the device, once, when it is
// shown. Knows no toolkit: its window and controls come from a ui::Toolkit.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "hid/DeviceInfo.h"
#include "ui/Toolkit.h"

class TInfoForm {
 public:
  // Makes the dialog's window, owned by `owner` (centred on it), with all
  // its controls; it is shown by toolkit.RunModal(Window()).
  TInfoForm(ui::Toolkit& toolkit, ui::Form* owner);
  ~TInfoForm();
  TInfoForm(const TInfoForm&) = delete;
  TInfoForm& operator=(const TInfoForm&) = delete;

  // The dialog's description, the one place its geometry is written.
  static ui::FormLayout FormDescription();
  static const std::vector<ui::ControlLayout>& ControlDescriptions();

  ui::Form& Window() const { return *window_; }

  // The device to show; set by the opener before showing, not owned. Cleared
  // once the dialog has read it.
  hid::THidDevice* Device = nullptr;

  // --- Controls, named as on the form ---
  ui::Label* Label10 = nullptr;
  ui::Label* VendorName = nullptr;
  ui::Label* Label9 = nullptr;
  ui::Label* ProductName = nullptr;
  ui::Label* Label11 = nullptr;
  ui::Label* SerialNo = nullptr;
  ui::Label* Label2 = nullptr;
  ui::Label* Vid = nullptr;
  ui::Label* Label3 = nullptr;
  ui::Label* Pid = nullptr;
  ui::Label* Label4 = nullptr;
  ui::Label* Vers = nullptr;
  ui::Label* Label5 = nullptr;
  ui::Label* Label6 = nullptr;
  ui::Label* InputLen = nullptr;
  ui::Label* Label7 = nullptr;
  ui::Label* OutputLen = nullptr;
  ui::Label* Label8 = nullptr;
  ui::Label* FeatureLen = nullptr;
  ui::Label* Label1 = nullptr;
  ui::ListBox* DevStrings = nullptr;
  ui::Label* Label12 = nullptr;
  ui::ListBox* LangStrings = nullptr;

  // Bound to the show event: reads Device once and fills every control.
  void FormShow();
  // Fills the controls from a copy of the device's data.
  void ShowInfo(const DeviceInfo& info);

 private:
  ui::Label* AddLabel(std::string_view name);

  std::unique_ptr<ui::Form> window_;
  bool filled_ = false;
};
