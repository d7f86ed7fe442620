// The update window's form: its frame and every control with its place,
// caption, font and colour, for every front end. Controls that lie outside
// the 383 x 320 client area are real controls that the window clips.
#include <stdexcept>
#include <string>

#include "app/DevReader.h"

namespace {

ui::Font PixelFont(const char* family, int pixels, bool bold = false) {
  return {.family = family, .pixels = pixels, .bold = bold};
}

ui::ControlLayout Button(const char* name, ui::Rect bounds, const char* caption) {
  return {.name = name, .bounds = bounds, .caption = caption};
}

// The three lock pairs: each group box holds two buttons that exclude each
// other; the pairs are independent. Positions are relative to the group.
ui::ControlLayout Radio(const char* name, int left, const char* caption) {
  return {.name = name,
          .bounds = {left, 8, 113, 17},
          .caption = caption,
          .font = PixelFont("MS Sans Serif", 13, true),
          .textColor = clRed};
}

ui::ControlLayout Edit(const char* name, ui::Rect bounds, const char* text) {
  return {.name = name, .bounds = bounds, .caption = text, .tabStop = false};
}

}  // namespace

ui::FormLayout TbootloaderFORM::FormDescription() {
  // Single fixed border with only the close box, always on top, centred.
  return {.name = "bootloaderFORM",
          .caption = "MVR508_UP2",
          .clientWidth = 383,
          .clientHeight = 320,
          .font = PixelFont("MS Sans Serif", 13),
          .color = clWindow,
          .stayOnTop = true,
          .fixedSize = true,
          .centered = true};
}

const std::vector<ui::ControlLayout>& TbootloaderFORM::ControlDescriptions() {
  static const std::vector<ui::ControlLayout> controls = {
      {.name = "Label4",
       .bounds = {80, 0, 297, 25},
       .font = PixelFont("Arial", 13, true),
       .textColor = clBlue,
       .alignment = ui::Alignment::kRight},
      {.name = "Label3",
       .bounds = {48, 40, 297, 25},
       .font = PixelFont("Arial", 16, true),
       .textColor = clRed,
       .alignment = ui::Alignment::kCenter},
      {.name = "Label2",
       .bounds = {8, 80, 369, 49},
       .font = PixelFont("Arial Narrow", 27, true),
       .textColor = clRed,
       .alignment = ui::Alignment::kCenter,
       .centerVertically = true},
      {.name = "ColorBtn1",
       .bounds = {88, 128, 217, 41},
       .caption = "Update",
       .font = PixelFont("Arial", 32),
       .tabStop = false,
       .handCursor = true,
       .frame3D = true},
      {.name = "HistoryListBox",
       .bounds = {16, 176, 353, 97},
       .font = PixelFont("Courier New", 11),
       .itemHeight = 14},
      {.name = "DevListBox", .bounds = {15, 280, 354, 25}, .itemHeight = 16},
      {.name = "Label5",
       .bounds = {72, 376, 345, 49},
       .font = PixelFont("Arial Narrow", 27, true),
       .alignment = ui::Alignment::kCenter},
      {.name = "Button2", .bounds = {72, 336, 145, 25}, .caption = "Burn TP", .enabled = false},
      {.name = "Button5",
       .bounds = {240, 336, 65, 25},
       .caption = "TP ver",
       .font = PixelFont("MS Sans Serif", 13, true),
       .textColor = clMenuText},
      {.name = "Button9",
       .bounds = {424, 232, 121, 49},
       .caption = "Start",
       .font = PixelFont("Arial", 32, true),
       .enabled = false},
      // Sized to its picture.
      {.name = "Image1",
       .bounds = {504, 8, 296, 96},
       .visible = false,
       .sizeToContent = true,
       .resource = "Image1.jpg"},
      {.name = "Button1",
       .bounds = {800, 168, 145, 25},
       .caption = "Burn MCU",
       .font = PixelFont("MS Sans Serif", 13, true),
       .textColor = clRed,
       .handCursor = true},
      {.name = "GroupBox3", .bounds = {608, 344, 257, 33}},
      Radio("RadioButton1", 16, "Fn     Unlock"),
      Radio("RadioButton2", 136, "Fn     Lock"),
      {.name = "GroupBox1", .bounds = {608, 384, 257, 33}},
      Radio("RadioButton3", 16, "Mute Unlock"),
      Radio("RadioButton4", 136, "Mute Lock"),
      {.name = "GroupBox2", .bounds = {608, 424, 257, 33}},
      Radio("RadioButton5", 16, "Mic   Unlock"),
      Radio("RadioButton6", 136, "Mic   Lock"),
      // A speed button of its own group that a second click releases again.
      Button("ReadBtn", {984, 259, 81, 22}, "Read"),
      {.name = "Button3", .bounds = {984, 288, 75, 25}, .caption = "Button3", .tabStop = false},
      {.name = "Button4", .bounds = {1064, 288, 75, 25}, .caption = "Button4", .tabStop = false},
      // Developer controls, right of the visible area.
      Button("InfoBtn", {680, 24, 75, 25}, "Info"),
      Button("WriteBtn", {680, 56, 75, 25}, "Write"),
      Button("SaveBtn", {680, 88, 75, 25}, "Save"),
      Button("ClearBtn", {680, 120, 75, 25}, "Clear"),
      {.name = "Label1", .bounds = {768, 28, 50, 13}, .caption = "ReportID"},
      Edit("ReportID", {824, 24, 41, 21}, ""),
      Edit("Edit1", {768, 56, 97, 21}, ""),
      Edit("Edit2", {768, 88, 97, 21}, "Edit2"),
      // The touchpad part.
      {.name = "Memo1", .bounds = {584, 576, 289, 193}},
      {.name = "Memo2", .bounds = {896, 472, 345, 321}},
      {.name = "ProgressBar1", .bounds = {472, 536, 313, 33}, .visible = false},
  };
  return controls;
}

const ui::ControlLayout& TbootloaderFORM::ControlDescription(std::string_view name) {
  for (const ui::ControlLayout& layout : ControlDescriptions()) {
    if (layout.name == name) return layout;
  }
  throw std::logic_error("no control " + std::string(name) + " on the update window");
}

void TbootloaderFORM::CreateControls() {
  ui::Form& form = *window_;
  const auto layout = [](std::string_view name) -> const ui::ControlLayout& {
    return ControlDescription(name);
  };
  Label4 = &form.AddLabel(layout("Label4"));
  Label3 = &form.AddLabel(layout("Label3"));
  Label2 = &form.AddLabel(layout("Label2"));
  ColorBtn1 = &form.AddColorButton(layout("ColorBtn1"));
  HistoryListBox = &form.AddListBox(layout("HistoryListBox"));
  DevListBox = &form.AddListBox(layout("DevListBox"));
  Label5 = &form.AddLabel(layout("Label5"));
  Button2 = &form.AddButton(layout("Button2"));
  Button5 = &form.AddButton(layout("Button5"));
  Button9 = &form.AddButton(layout("Button9"));
  Image1 = &form.AddPicture(layout("Image1"));
  Button1 = &form.AddButton(layout("Button1"));
  GroupBox3 = &form.AddGroupBox(layout("GroupBox3"));
  RadioButton1 = &form.AddRadioButton(layout("RadioButton1"), *GroupBox3);
  RadioButton2 = &form.AddRadioButton(layout("RadioButton2"), *GroupBox3);
  GroupBox1 = &form.AddGroupBox(layout("GroupBox1"));
  RadioButton3 = &form.AddRadioButton(layout("RadioButton3"), *GroupBox1);
  RadioButton4 = &form.AddRadioButton(layout("RadioButton4"), *GroupBox1);
  GroupBox2 = &form.AddGroupBox(layout("GroupBox2"));
  RadioButton5 = &form.AddRadioButton(layout("RadioButton5"), *GroupBox2);
  RadioButton6 = &form.AddRadioButton(layout("RadioButton6"), *GroupBox2);
  ReadBtn = &form.AddSpeedButton(layout("ReadBtn"));
  Button3 = &form.AddButton(layout("Button3"));
  Button4 = &form.AddButton(layout("Button4"));
  InfoBtn = &form.AddButton(layout("InfoBtn"));
  WriteBtn = &form.AddButton(layout("WriteBtn"));
  SaveBtn = &form.AddButton(layout("SaveBtn"));
  ClearBtn = &form.AddButton(layout("ClearBtn"));
  Label1 = &form.AddLabel(layout("Label1"));
  ReportID = &form.AddEdit(layout("ReportID"));
  Edit1 = &form.AddEdit(layout("Edit1"));
  Edit2 = &form.AddEdit(layout("Edit2"));
  Memo1 = &form.AddMemo(layout("Memo1"));
  Memo2 = &form.AddMemo(layout("Memo2"));
  ProgressBar1 = &form.AddProgressBar(layout("ProgressBar1"));
  ProgressBar1->SetMaximum(100);
  ProgressBar1->SetPosition(0);

  // The first button of each pair is the checked one; set before the
  // handlers are bound, so nothing is sent.
  for (ui::CheckButton* first : {RadioButton1, RadioButton3, RadioButton5}) {
    first->SetChecked(true);
  }

  Timer1 = &form.AddTimer(std::chrono::milliseconds(1000));
  Timer2 = &form.AddTimer(std::chrono::milliseconds(500));
  Timer3 = &form.AddTimer(std::chrono::milliseconds(500));
  Timer4 = &form.AddTimer(std::chrono::milliseconds(1000));
}
