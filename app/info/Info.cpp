#include "app/info/Info.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/HexText.h"
#include "ui/HandlerGuard.h"

namespace {

// Client area that gives the form's outer size of 573 x 409 inside a classic
// frame (4-pixel border, 26-pixel caption).
constexpr int kClientWidth = 565;
constexpr int kClientHeight = 375;
constexpr int kLabelHeight = 16;

// A label of the form: 16 pixels high, as wide as its text.
ui::ControlLayout LabelAt(const char* name, int left, int top, const char* text) {
  return {
      .name = name, .bounds = {left, top, 0, kLabelHeight}, .caption = text, .sizeToContent = true};
}

ui::ControlLayout ListAt(const char* name, int left, unsigned anchors) {
  return {.name = name, .bounds = {left, 72, 161, 297}, .anchors = anchors, .itemHeight = 16};
}

// The length without its report-id byte; a zero length leaves the label's
// design text.
void ShowReportLength(ui::Label& label, int length) {
  if (length > 0) label.SetText(UpperHex(static_cast<unsigned>(length - 1)));
}

// "%3d) %s": the index right-aligned in three columns.
std::string IndexedLine(int index, const std::string& text) {
  char number[16];
  std::snprintf(number, sizeof number, "%3d) ", index);
  return number + text;
}

}  // namespace

ui::FormLayout TInfoForm::FormDescription() {
  return {.name = "InfoForm",
          .caption = "HID Device Info",
          .clientWidth = kClientWidth,
          .clientHeight = kClientHeight,
          .font = {.family = "MS Sans Serif", .pixels = 13},
          .color = clBtnFace,
          .stayOnTop = false,
          .fixedSize = false,
          .centered = true};
}

const std::vector<ui::ControlLayout>& TInfoForm::ControlDescriptions() {
  // Strings follows all four edges; Languages keeps its width and moves with
  // the right edge.
  static const std::vector<ui::ControlLayout> controls = {
      LabelAt("Label10", 8, 8, "Vendor name:"),
      LabelAt("VendorName", 96, 8, "VendorName"),
      LabelAt("Label9", 8, 24, "Product name:"),
      LabelAt("ProductName", 96, 24, "ProductName"),
      LabelAt("Label11", 8, 40, "Serial No:"),
      LabelAt("SerialNo", 96, 40, "SerialNo"),
      LabelAt("Label2", 8, 72, "VID:"),
      LabelAt("Vid", 64, 72, "Vid"),
      LabelAt("Label3", 8, 88, "PID:"),
      LabelAt("Pid", 64, 88, "Pid"),
      LabelAt("Label4", 8, 104, "Version:"),
      LabelAt("Vers", 64, 104, "Vers"),
      LabelAt("Label5", 8, 136, "Report Length"),
      LabelAt("Label6", 8, 160, "Input:"),
      LabelAt("InputLen", 72, 160, "0"),
      LabelAt("Label7", 8, 176, "Output:"),
      LabelAt("OutputLen", 72, 176, "0"),
      LabelAt("Label8", 8, 192, "Feature:"),
      LabelAt("FeatureLen", 72, 192, "0"),
      LabelAt("Label1", 232, 56, "Strings"),
      ListAt("DevStrings", 232,
             ui::kAnchorLeft | ui::kAnchorTop | ui::kAnchorRight | ui::kAnchorBottom),
      LabelAt("Label12", 400, 56, "Languages"),
      ListAt("LangStrings", 400, ui::kAnchorTop | ui::kAnchorRight | ui::kAnchorBottom),
  };
  return controls;
}

namespace {
const ui::ControlLayout& Describe(std::string_view name) {
  for (const ui::ControlLayout& layout : TInfoForm::ControlDescriptions()) {
    if (layout.name == name) return layout;
  }
  throw std::logic_error("no control " + std::string(name) + " on the information dialog");
}
}  // namespace

TInfoForm::TInfoForm(ui::Toolkit& toolkit, ui::Form* owner)
    : window_(toolkit.MakeForm(FormDescription(), owner)) {
  Label10 = AddLabel("Label10");
  VendorName = AddLabel("VendorName");
  Label9 = AddLabel("Label9");
  ProductName = AddLabel("ProductName");
  Label11 = AddLabel("Label11");
  SerialNo = AddLabel("SerialNo");
  Label2 = AddLabel("Label2");
  Vid = AddLabel("Vid");
  Label3 = AddLabel("Label3");
  Pid = AddLabel("Pid");
  Label4 = AddLabel("Label4");
  Vers = AddLabel("Vers");
  Label5 = AddLabel("Label5");
  Label6 = AddLabel("Label6");
  InputLen = AddLabel("InputLen");
  Label7 = AddLabel("Label7");
  OutputLen = AddLabel("OutputLen");
  Label8 = AddLabel("Label8");
  FeatureLen = AddLabel("FeatureLen");
  Label1 = AddLabel("Label1");
  DevStrings = &window_->AddListBox(Describe("DevStrings"));
  Label12 = AddLabel("Label12");
  LangStrings = &window_->AddListBox(Describe("LangStrings"));
  window_->FinishCreation();
  // Guarded here as the update window guards its own handlers: a device that
  // fails while it is read shows the error box, whichever front end runs it.
  window_->OnShow = [this, &toolkit] {
    if (filled_) return;
    filled_ = true;
    ui::RunGuarded([this] { FormShow(); },
                   [&toolkit](std::string_view message) { toolkit.ShowError(message); });
  };
}

TInfoForm::~TInfoForm() = default;

ui::Label* TInfoForm::AddLabel(std::string_view name) {
  return &window_->AddLabel(Describe(name));
}

void TInfoForm::FormShow() {
  if (Device == nullptr) return;
  const DeviceInfo info = ReadDeviceInfo(*Device);
  Device = nullptr;
  ShowInfo(info);
}

void TInfoForm::ShowInfo(const DeviceInfo& info) {
  VendorName->SetText(info.vendorName);
  ProductName->SetText(info.productName);
  SerialNo->SetText(info.serialNumber);
  Vid->SetText(UpperHex(info.vendorId, 4));
  Pid->SetText(UpperHex(info.productId, 4));
  Vers->SetText(UpperHex(info.versionNumber, 4));
  ShowReportLength(*InputLen, info.inputReportLength);
  ShowReportLength(*OutputLen, info.outputReportLength);
  ShowReportLength(*FeatureLen, info.featureReportLength);
  for (const auto& [index, text] : info.indexedStrings) {
    if (text.empty()) continue;
    DevStrings->Add(IndexedLine(index, text));
  }
  for (const std::string& language : info.languages) LangStrings->Add(language);
}
