#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <chrono>
#include <memory>

#include "app/HistoryLogDialog.h"
#include "app/win32/Dpi.h"
#include "app/win32/Utf16.h"
#include "app/win32/Win32Form.h"
#include "tests/support/Drive.h"
#include "tests/win32/Win32TestSupport.h"

namespace {

using namespace std::chrono_literals;

ui::FormLayout UpdateWindowLike() {
  ui::FormLayout layout;
  layout.name = "bootloaderFORM";
  layout.caption = "MVR508_UP2";
  layout.clientWidth = 383;
  layout.clientHeight = 320;
  layout.font = {"MS Sans Serif", 13, false};
  layout.color = clWindow;
  layout.stayOnTop = true;
  return layout;
}

ui::ControlLayout Control(const char* name, ui::Rect bounds, const char* caption = "") {
  ui::ControlLayout layout;
  layout.name = name;
  layout.bounds = bounds;
  layout.caption = caption;
  return layout;
}

struct Window {
  Window() : form(win32test::Toolkit().MakeForm(UpdateWindowLike(), nullptr)) {}
  win32::Win32Form& Form() const { return dynamic_cast<win32::Win32Form&>(*form); }
  HWND Handle(const ui::Control& control) const { return Form().HandleOf(control); }
  // Where a control stands in the form's client area.
  RECT Placed(const ui::Control& control) const {
    RECT r{};
    GetWindowRect(Handle(control), &r);
    MapWindowPoints(nullptr, Form().Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::unique_ptr<ui::Form> form;
};

TEST(Win32Form, FrameClientSizeCaptionAndPlace) {
  Window w;
  HWND hwnd = w.Form().Handle();
  RECT client{};
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 383);
  EXPECT_EQ(client.bottom, 320);
  wchar_t caption[64] = {};
  GetWindowTextW(hwnd, caption, 64);
  EXPECT_STREQ(caption, L"MVR508_UP2");

  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);  // fixed size
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // Centred on the work area, to within the odd pixel.
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_LE(std::abs((outer.left - area.left) - (area.right - outer.right)), 1);
  EXPECT_LE(std::abs((outer.top - area.top) - (area.bottom - outer.bottom)), 1);

  // A dialog is centred on its owner and has no topmost flag of its own.
  ui::FormLayout dialogLayout;
  dialogLayout.caption = "HID Device Info";
  dialogLayout.clientWidth = 200;
  dialogLayout.clientHeight = 100;
  dialogLayout.fixedSize = false;
  auto dialog = win32test::Toolkit().MakeForm(dialogLayout, w.form.get());
  HWND dialogWindow = dynamic_cast<win32::Win32Form&>(*dialog).Handle();
  EXPECT_EQ(GetWindow(dialogWindow, GW_OWNER), hwnd);
  EXPECT_TRUE(GetWindowLongW(dialogWindow, GWL_STYLE) & WS_THICKFRAME);
  RECT inner{};
  GetWindowRect(dialogWindow, &inner);
  EXPECT_LE(std::abs((inner.left + inner.right) - (outer.left + outer.right)), 1);
  EXPECT_LE(std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)), 1);
}

TEST(Win32Form, LabelsAlignAndTakeTheirColoursThroughCtlColorStatic) {
  Window w;
  ui::ControlLayout layout = Control("Label2", {8, 80, 369, 49});
  layout.alignment = ui::Alignment::kCenter;
  layout.centerVertically = true;
  layout.textColor = clRed;
  layout.font = ui::Font{"Arial Narrow", 27, true};
  ui::Label& label = w.Form().AddLabel(layout);
  ui::Label& right = w.Form().AddLabel([] {
    auto s = Control("Label4", {80, 0, 297, 25});
    s.alignment = ui::Alignment::kRight;
    s.textColor = clBlue;
    return s;
  }());
  const RECT placed = w.Placed(label);
  EXPECT_EQ(placed.left, 8);
  EXPECT_EQ(placed.top, 80);
  EXPECT_EQ(placed.right - placed.left, 369);
  EXPECT_EQ(placed.bottom - placed.top, 49);
  const LONG style = GetWindowLongW(w.Handle(label), GWL_STYLE);
  EXPECT_EQ(style & SS_TYPEMASK, SS_CENTER);
  EXPECT_TRUE(style & SS_CENTERIMAGE);
  EXPECT_EQ(GetWindowLongW(w.Handle(right), GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);

  HDC dc = CreateCompatibleDC(nullptr);
  auto askColour = [&](const ui::Control& control) {
    const LRESULT brush =
        SendMessageW(w.Form().Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(w.Handle(control)));
    EXPECT_NE(brush, 0);
    return GetTextColor(dc);
  };
  EXPECT_EQ(askColour(label), RGB(255, 0, 0));
  EXPECT_EQ(askColour(right), RGB(0, 0, 255));
  label.SetFontColor(clBlue);
  EXPECT_EQ(askColour(label), RGB(0, 0, 255));
  EXPECT_EQ(label.FontColor(), clBlue);
  // The background is the form's: the system window colour.
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
  DeleteDC(dc);

  label.SetText("KB Connect..");
  EXPECT_EQ(label.Text(), "KB Connect..");
  // Texts arrive and come back as UTF-8.
  label.SetText(
      "Gr\xC3\xBC\xC3\x9F"
      "e");
  EXPECT_EQ(label.Text(),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  // The kept text decides what is skipped; the window must follow it back.
  label.SetText("KB Connect..");
  wchar_t shown[32] = {};
  GetWindowTextW(w.Handle(label), shown, 32);
  EXPECT_STREQ(shown, L"KB Connect..");
}

TEST(Win32Form, RadioPairsExcludeEachOtherAndStayIndependent) {
  Window w;
  ui::Static& fn = w.Form().AddGroupBox(Control("GroupBox3", {608, 344, 257, 33}));
  ui::CheckButton& fnUnlock =
      w.Form().AddRadioButton(Control("RadioButton1", {16, 8, 113, 17}, "Fn     Unlock"), fn);
  ui::CheckButton& fnLock =
      w.Form().AddRadioButton(Control("RadioButton2", {136, 8, 113, 17}, "Fn     Lock"), fn);
  ui::Static& mute = w.Form().AddGroupBox(Control("GroupBox1", {608, 384, 257, 33}));
  ui::CheckButton& muteUnlock =
      w.Form().AddRadioButton(Control("RadioButton3", {16, 8, 113, 17}, "Mute Unlock"), mute);
  ui::CheckButton& muteLock =
      w.Form().AddRadioButton(Control("RadioButton4", {136, 8, 113, 17}, "Mute Lock"), mute);
  int fnLocks = 0;
  int fnUnlocks = 0;
  int clicks = 0;
  fnLock.OnChecked = [&] { ++fnLocks; };
  fnUnlock.OnChecked = [&] { ++fnUnlocks; };
  fnLock.OnClick = [&] { ++clicks; };

  fnUnlock.SetChecked(true);
  muteUnlock.SetChecked(true);
  EXPECT_EQ(fnUnlocks, 1);
  EXPECT_EQ(clicks, 0);  // setting the state is no click

  testsupport::Click(fnLock);
  EXPECT_TRUE(fnLock.Checked());
  EXPECT_FALSE(fnUnlock.Checked());
  EXPECT_TRUE(muteUnlock.Checked());  // the other pair is not touched
  EXPECT_FALSE(muteLock.Checked());
  EXPECT_EQ(fnLocks, 1);
  EXPECT_EQ(clicks, 1);
  testsupport::Click(fnLock);  // already checked: a click, no new check
  EXPECT_EQ(fnLocks, 1);
  EXPECT_EQ(clicks, 2);

  fnUnlock.SetChecked(true);
  EXPECT_FALSE(fnLock.Checked());
  EXPECT_EQ(fnUnlocks, 2);
  // Within the group box, relative to it.
  const RECT placed = w.Placed(fnLock);
  EXPECT_EQ(placed.left, 608 + 136);
  EXPECT_EQ(placed.top, 344 + 8);

  // The speed button stays down until the next click.
  ui::CheckButton& read = w.Form().AddSpeedButton(Control("ReadBtn", {984, 259, 81, 22}, "Read"));
  testsupport::Click(read);
  EXPECT_TRUE(read.Checked());
  testsupport::Click(read);
  EXPECT_FALSE(read.Checked());
}

TEST(Win32Form, ListBoxesKeepTheirItemHeightAndOnlyClicksNotify) {
  Window w;
  ui::ControlLayout history = Control("HistoryListBox", {16, 176, 353, 97});
  history.font = ui::Font{"Courier New", 11, false};
  history.itemHeight = 14;
  ui::ListBox& log = w.Form().AddListBox(history);
  ui::ControlLayout devices = Control("DevListBox", {15, 280, 354, 25});
  devices.itemHeight = 16;
  ui::ListBox& list = w.Form().AddListBox(devices);
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETITEMHEIGHT, 0, 0), 14);
  EXPECT_EQ(SendMessageW(w.Handle(list), LB_GETITEMHEIGHT, 0, 0), 16);
  const RECT placed = w.Placed(list);
  EXPECT_EQ(placed.bottom - placed.top, 25);  // no integral height

  int clicks = 0;
  list.OnClick = [&] { ++clicks; };
  for (const char* item : {"one", "two", "three"}) list.Add(item);
  list.SetItemIndex(1);
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(clicks, 0);
  testsupport::ClickItem(list, 2);
  EXPECT_EQ(list.ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(list.Item(2), "three");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.ItemIndex(), -1);

  // Shown, a list holds its painting and its selection until the loop runs
  // again; the program reads its own selection at once all the same.
  w.Form().Show();
  for (int line = 0; line < 30; ++line) {
    log.Add("line " + std::to_string(line));
    log.SetItemIndex(log.Count() - 1);
    EXPECT_EQ(log.ItemIndex(), line);
  }
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETCOUNT, 0, 0), 30);
  log.SetItemIndex(99);
  EXPECT_EQ(log.ItemIndex(), -1);  // outside the list: nothing selected
  log.SetItemIndex(29);
  testsupport::RunUntil([] { return false; }, 50ms);
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETCURSEL, 0, 0), 29);
  EXPECT_GT(SendMessageW(w.Handle(log), LB_GETTOPINDEX, 0, 0), 0);  // scrolled to it
  log.SetItemIndex(3);
  log.Clear();
  EXPECT_EQ(log.ItemIndex(), -1);
  testsupport::RunUntil([] { return false; }, 50ms);
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST(Win32Form, AHeldListPaintsWhenReleasedWithPostedWorkStillWaiting) {
  Window w;
  ui::ListBox& log = w.Form().AddListBox(Control("HistoryListBox", {16, 176, 353, 97}));
  const HWND list = w.Handle(log);
  w.Form().Show();
  for (const char* line : {"old one", "old two"}) log.Add(line);
  testsupport::RunUntil([] { return false; }, 50ms);
  log.Clear();
  log.Add("new");
  // Only posted messages, as a loop busy with posted work handles them: no
  // WM_PAINT comes. The release must paint by itself.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE)) {
    DispatchMessageW(&message);
  }
  EXPECT_FALSE(GetUpdateRect(list, nullptr, FALSE));
  // On the screen: the new line, and no old one under it.
  const int itemHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  HDC dc = GetDC(list);
  auto inked = [&](int item) {
    for (int y = item * itemHeight; y < (item + 1) * itemHeight; ++y)
      for (int x = 0; x < 100; ++x)
        if (GetPixel(dc, x, y) != GetSysColor(COLOR_WINDOW)) return true;
    return false;
  };
  EXPECT_TRUE(inked(0));
  EXPECT_FALSE(inked(1));
  ReleaseDC(list, dc);
}

TEST(Win32Form, ProgressBarColourRangeAndMemoLines) {
  Window w;
  ui::ProgressBar& bar = w.Form().AddProgressBar(Control("ProgressBar1", {10, 10, 200, 20}));
  EXPECT_EQ(bar.Maximum(), 100);
  bar.SetBarColor(clGreen);
  bar.SetPosition(50);
  EXPECT_EQ(bar.Position(), 50);
  w.Form().Show();
  EXPECT_TRUE(GetWindowLongW(w.Handle(bar), GWL_STYLE) & PBS_SMOOTH);
  const win32test::Rendering picture(w.Handle(bar));
  // Smooth: no gaps between blocks in the filled part.
  for (int x = picture.Width() / 10; x < picture.Width() * 2 / 5; ++x) {
    ASSERT_EQ(picture.Pixel(x, picture.Height() / 2), RGB(0, 128, 0)) << x;
  }
  EXPECT_NE(picture.Pixel(picture.Width() * 3 / 4, picture.Height() / 2), RGB(0, 128, 0));
  bar.SetPosition(150);  // past the range: at its end
  EXPECT_EQ(bar.Position(), 100);
  bar.SetMaximum(2000);
  bar.SetPosition(1500);
  EXPECT_EQ(bar.Position(), 1500);

  ui::Memo& memo = w.Form().AddMemo(Control("Memo1", {10, 40, 200, 100}));
  // Longer than the edit control's default limit of 32767 characters.
  const std::string line(40, 'A');
  for (int i = 0; i < 1000; ++i) memo.AppendLine(line + std::to_string(i));
  EXPECT_EQ(memo.LineCount(), 1000);
  EXPECT_EQ(memo.Line(999), line + "999");
  // The control shows them in one go once the loop has run, not line by line
  // (each a repaint and a scroll, about 40 ms under Wine).
  EXPECT_EQ(GetWindowTextLengthW(w.Handle(memo)), 0);
  testsupport::RunUntil([] { return false; }, 50ms);
  EXPECT_EQ(SendMessageW(w.Handle(memo), EM_GETLINECOUNT, 0, 0), 1000);
  memo.Clear();
  EXPECT_EQ(memo.LineCount(), 0);
  EXPECT_EQ(GetWindowTextLengthW(w.Handle(memo)), 0);
}

TEST(Win32Form, ControlsOutsideTheClientAreaTakeNoTabStopAndNoFocus) {
  Window w;
  ui::Button& inside = w.Form().AddButton(Control("Inside", {10, 10, 75, 25}, "In"));
  ui::Button& outside = w.Form().AddButton(Control("SaveBtn", {680, 88, 75, 25}, "Save"));
  ui::Button& straddling = w.Form().AddButton(Control("Edge", {350, 300, 75, 25}, "Edge"));
  // A radio button stands where its group box puts it.
  ui::Static& box = w.Form().AddGroupBox(Control("GroupBox", {300, 10, 200, 33}));
  ui::CheckButton& boxed = w.Form().AddRadioButton(Control("Radio", {16, 8, 113, 17}, "R"), box);
  w.Form().FinishCreation();
  EXPECT_FALSE(GetWindowLongW(w.Handle(boxed), GWL_STYLE) & WS_TABSTOP);
  EXPECT_TRUE(GetWindowLongW(w.Handle(inside), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongW(w.Handle(outside), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongW(w.Handle(straddling), GWL_STYLE) & WS_TABSTOP);

  w.Form().Show();
  SetFocus(w.Handle(inside));
  int clicks = 0;
  outside.OnClick = [&] { ++clicks; };
  testsupport::Click(outside);
  EXPECT_EQ(clicks, 1);  // it still works
  EXPECT_EQ(GetFocus(), w.Handle(inside));
  outside.SetEnabled(false);
  outside.SetEnabled(false);
  testsupport::Click(outside);
  EXPECT_EQ(clicks, 1);  // a disabled button is not clicked
  outside.SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(w.Handle(outside)));
  inside.SetVisible(false);
  inside.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(w.Handle(inside)));
  inside.SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(w.Handle(inside)));
}

BOOL CALLBACK CountWindow(HWND /*window*/, LPARAM counted) {
  ++*reinterpret_cast<int*>(counted);
  return TRUE;
}

// Every window below parent, its children's children too.
int ChildWindows(HWND parent) {
  int count = 0;
  EnumChildWindows(parent, &CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

std::wstring TextOf(HWND window) {
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return text;
}

TEST(Win32Form, ControlsWhollyOutsideTheClientAreaGetTheirWindowsWhenFirstNeeded) {
  Window w;
  HWND form = w.Form().Handle();
  ui::Button& inside = w.Form().AddButton(Control("Inside", {10, 10, 75, 25}, "In"));
  ui::Label& label = w.Form().AddLabel(Control("Label1", {400, 10, 50, 13}, "ReportID"));
  ui::ListBox& list = w.Form().AddListBox(Control("List", {400, 40, 100, 60}));
  ui::Static& box = w.Form().AddGroupBox(Control("Box", {10, 400, 257, 33}));
  ui::CheckButton& first = w.Form().AddRadioButton(Control("R1", {16, 8, 113, 17}, "A"), box);
  ui::CheckButton& second = w.Form().AddRadioButton(Control("R2", {136, 8, 113, 17}, "B"), box);
  ui::ControlLayout growLayout = Control("Grow", {390, 10, 75, 25}, "Grow");
  ui::Button& grow = w.Form().AddButton(growLayout);
  ui::ControlLayout pictureLayout = Control("Image1", {504, 8, 296, 96});
  pictureLayout.sizeToContent = true;
  pictureLayout.resource = "Image1.jpg";
  w.Form().AddPicture(pictureLayout);
  ui::ProgressBar& bar = w.Form().AddProgressBar(Control("Bar", {472, 536, 313, 33}));
  EXPECT_EQ(ChildWindows(form), 1);

  // Their state is kept and read back without a window.
  label.SetText("Later");
  label.SetEnabled(false);
  for (const char* item : {"one", "two", "three"}) list.Add(item);
  list.SetItemIndex(1);
  second.SetChecked(true);
  bar.SetMaximum(200);
  bar.SetPosition(300);  // past the end: at it
  w.Form().FinishCreation();
  w.Form().Show();
  EXPECT_EQ(label.Text(), "Later");
  EXPECT_FALSE(label.Enabled());
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Item(2), "three");
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_TRUE(second.Checked());
  EXPECT_FALSE(first.Checked());
  EXPECT_EQ(bar.Position(), 200);
  EXPECT_EQ(ChildWindows(form), 1);
  EXPECT_NE(w.Handle(inside), nullptr);

  // Made, each window has it all.
  HWND labelWindow = w.Handle(label);
  EXPECT_EQ(TextOf(labelWindow), L"Later");
  EXPECT_FALSE(IsWindowEnabled(labelWindow));
  HWND listWindow = w.Handle(list);
  EXPECT_EQ(SendMessageW(listWindow, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(listWindow, LB_GETCURSEL, 0, 0), 1);
  wchar_t item[16] = {};
  SendMessageW(listWindow, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"three");
  EXPECT_EQ(SendMessageW(w.Handle(bar), PBM_GETPOS, 0, 0), 200);
  EXPECT_EQ(SendMessageW(w.Handle(bar), PBM_GETRANGE, FALSE, 0), 200);
  // The box comes with its buttons, as one radio group, without tab stops.
  HWND secondWindow = w.Handle(second);
  EXPECT_EQ(GetParent(secondWindow), w.Handle(box));
  EXPECT_EQ(SendMessageW(secondWindow, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(w.Handle(first), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(GetWindowLongW(secondWindow, GWL_STYLE) & WS_TABSTOP);
  testsupport::Click(first);
  EXPECT_TRUE(first.Checked());
  EXPECT_FALSE(second.Checked());
  // In the tab order where it would have been made at once: after the list.
  EXPECT_EQ(GetWindow(listWindow, GW_HWNDPREV), labelWindow);
  EXPECT_EQ(GetWindow(labelWindow, GW_HWNDPREV), w.Handle(inside));
  EXPECT_EQ(GetWindow(w.Handle(box), GW_HWNDPREV), listWindow);
  EXPECT_EQ(GetWindow(w.Handle(box), GW_HWNDNEXT), w.Handle(bar));

  // A client area grown over a control makes it, where the form puts it.
  EXPECT_EQ(FindWindowExW(form, nullptr, L"BUTTON", L"Grow"), nullptr);
  testsupport::SetClientSize(w.Form(), 420, 320);
  HWND grown = FindWindowExW(form, nullptr, L"BUTTON", L"Grow");
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(w.Handle(grow), grown);
  EXPECT_EQ(w.Placed(grow).left, 390);
  EXPECT_EQ(ChildWindows(form), 8);  // the picture still lies beyond the edge
}

TEST(Win32Form, TimersTickOnTheMessageLoopAndKeepTheirPeriodWhenEnabledAgain) {
  Window w;
  ui::Timer& timer = w.Form().AddTimer(100ms);
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  // Enabled again every 10 ms for three of its periods, it must have ticked:
  // enabling it while it runs must not push the first tick back. (A slow
  // machine only makes the periods between enables longer.)
  for (int i = 0; i < 30; ++i) {
    testsupport::RunUntil([] { return false; }, 10ms);
    ui::EnableTimer(timer);
    timer.SetEnabled(true);
  }
  EXPECT_GT(ticks, 0);
  timer.SetEnabled(false);
  const int stopped = ticks;
  testsupport::RunUntil([] { return false; }, 250ms);
  EXPECT_EQ(ticks, stopped);
}

TEST(Win32Form, HandlerExceptionsReachTheErrorReporter) {
  Window w;
  std::vector<std::string> errors;
  win32test::Toolkit().SetErrorReporter([&](std::string_view m) { errors.emplace_back(m); });
  ui::Button& save = w.Form().AddButton(Control("SaveBtn", {10, 10, 75, 25}, "Save"));
  save.OnClick = [] { throw std::runtime_error("Cannot create file C:\\x\\log.txt"); };
  testsupport::Click(save);
  win32test::Toolkit().SetErrorReporter(nullptr);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Cannot create file C:\\x\\log.txt");
}

TEST(Win32Form, PictureIsTheDecodedJpegAtItsOwnSize) {
  Window w;
  ui::ControlLayout layout = Control("Image1", {504, 8, 296, 96});
  layout.visible = false;
  layout.sizeToContent = true;
  layout.resource = "Image1.jpg";
  ui::Static& picture = w.Form().AddPicture(layout);
  HWND window = w.Handle(picture);
  const auto bitmap =
      reinterpret_cast<HBITMAP>(SendMessageW(window, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 296);
  EXPECT_EQ(info.bmHeight, 96);
  const RECT placed = w.Placed(picture);
  EXPECT_EQ(placed.right - placed.left, 296);
  EXPECT_EQ(placed.bottom - placed.top, 96);
  EXPECT_FALSE(picture.Visible());
}

}  // namespace

namespace {

TEST(Win32Toolkit, ModalLoopDisablesTheOwnerUntilTheDialogCloses) {
  Window w;
  w.Form().Show();
  ui::FormLayout layout;
  layout.caption = "HID Device Info";
  layout.clientWidth = 200;
  layout.clientHeight = 100;
  auto dialog = win32test::Toolkit().MakeForm(layout, w.form.get());
  ui::Timer& close = dialog->AddTimer(std::chrono::milliseconds(50));
  bool ownerDisabledMeanwhile = false;
  int shows = 0;
  dialog->OnShow = [&] { ++shows; };
  close.OnTimer = [&] {
    ownerDisabledMeanwhile = !IsWindowEnabled(w.Form().Handle());
    close.SetEnabled(false);
    dialog->Close();
  };
  close.SetEnabled(true);
  win32test::Toolkit().RunModal(*dialog);
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(ownerDisabledMeanwhile);
  EXPECT_FALSE(dialog->IsShown());
  EXPECT_TRUE(IsWindowEnabled(w.Form().Handle()));
  EXPECT_TRUE(w.form->IsShown());  // a dialog's close ends nothing else

  ui::SaveDialogOptions save;
  save.filters = {{"Text Files *.txt", "*.txt"}, {"All Files *.*", "*.*"}};
  EXPECT_EQ(win32::SaveDialogFilter(save),
            std::wstring(L"Text Files *.txt\0*.txt\0All Files *.*\0*.*\0\0", 42));
}

}  // namespace

namespace {

// Answers the real save dialog from inside its own modal loop (a timer of
// the owner ticks there): types a bare name and presses Save.
TEST(Win32Toolkit, SaveDialogOffersTheFiltersAndAppendsTheDefaultExtension) {
  Window w;
  w.Form().Show();
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring typed = std::wstring(temp) + L"history";
  ui::Timer& answer = w.Form().AddTimer(std::chrono::milliseconds(100));
  std::wstring filterNames[2];
  answer.OnTimer = [&] {
    HWND dialog = FindWindowW(nullptr, L"Save History");
    if (dialog == nullptr) return;
    answer.SetEnabled(false);
    HWND types = GetDlgItem(dialog, cmb1);
    for (int i = 0; i < 2 && types != nullptr; ++i) {
      wchar_t text[128] = {};
      SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      filterNames[i] = text;
    }
    // The name field is a combo box (cmb13) or an edit (edt1), by version.
    SetDlgItemTextW(dialog, GetDlgItem(dialog, cmb13) != nullptr ? cmb13 : edt1, typed.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  };
  answer.SetEnabled(true);
  // The history log's own dialog.
  const ui::SaveDialogOptions layout = historylog::SaveDialogDescription();
  const std::optional<std::string> chosen = win32test::Toolkit().AskSaveFileName(layout, *w.form);
  answer.SetEnabled(false);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, win32::Utf8FromUtf16(typed) + ".txt");
  EXPECT_EQ(filterNames[0], L"Text Files *.txt");
  EXPECT_EQ(filterNames[1], L"All Files *.*");
}

}  // namespace

namespace {

TEST(Win32Form, At144DpiEveryLengthFontRowAndThePictureAreOneAndAHalfTimesTheForms) {
  EXPECT_EQ(win32::ScaleToDpi(383, 96), 383);
  EXPECT_EQ(win32::ScaleToDpi(383, 144), 575);  // 574.5, rounded as MulDiv does
  EXPECT_EQ(win32::ScaleToDpi(1, 144), 2);
  EXPECT_EQ(win32::ScaleToDpi(13, 120), 16);

  Window w;
  ui::ControlLayout label = Control("Label2", {10, 20, 75, 25}, "KB Connect..");
  label.font = ui::Font{"Arial", 24, true};
  ui::Label& text = w.Form().AddLabel(label);
  ui::ControlLayout history = Control("HistoryListBox", {16, 176, 353, 97});
  history.itemHeight = 14;
  history.anchors = ui::kAnchorLeft | ui::kAnchorRight | ui::kAnchorTop;
  ui::ListBox& log = w.Form().AddListBox(history);
  ui::ControlLayout image = Control("Image1", {504, 8, 296, 96});
  image.sizeToContent = true;
  image.resource = "Image1.jpg";
  ui::Static& picture = w.Form().AddPicture(image);

  w.Form().Rescale(144, nullptr);
  EXPECT_EQ(w.Form().Dpi(), 144);
  RECT client{};
  GetClientRect(w.Form().Handle(), &client);
  EXPECT_EQ(client.right, 575);
  EXPECT_EQ(client.bottom, 480);
  const RECT labelAt = w.Placed(text);
  EXPECT_EQ(labelAt.left, 15);
  EXPECT_EQ(labelAt.top, 30);
  EXPECT_EQ(labelAt.right, 128);  // 85 * 1.5 = 127.5
  EXPECT_EQ(labelAt.bottom, 68);  // 45 * 1.5 = 67.5
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w.Handle(text), WM_GETFONT, 0, 0)), sizeof font,
             &font);
  EXPECT_EQ(font.lfHeight, -36);
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETITEMHEIGHT, 0, 0), 21);
  EXPECT_EQ(w.Placed(log).right, 554);  // anchored both sides: 369 * 1.5, rounded
  const auto bitmap =
      reinterpret_cast<HBITMAP>(SendMessageW(w.Handle(picture), STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP pixels{};
  ASSERT_TRUE(GetObjectW(bitmap, sizeof pixels, &pixels));
  EXPECT_EQ(pixels.bmWidth, 444);
  EXPECT_EQ(pixels.bmHeight, 144);
  const RECT pictureAt = w.Placed(picture);
  EXPECT_EQ(pictureAt.left, 756);
  EXPECT_EQ(pictureAt.right - pictureAt.left, 444);

  // Back at 96 DPI, every length is the form's again.
  w.Form().Rescale(96, nullptr);
  GetClientRect(w.Form().Handle(), &client);
  EXPECT_EQ(client.right, 383);
  EXPECT_EQ(w.Placed(text).right, 85);
  EXPECT_EQ(SendMessageW(w.Handle(log), LB_GETITEMHEIGHT, 0, 0), 14);
}

TEST(Win32Form, TheWindowProgramsAreDpiAwareWithCommonControls6) {
  // What the manifest of the programs that make the window gives them.
  EXPECT_TRUE(IsProcessDPIAware());
  ACTCTX_SECTION_KEYED_DATA comctl32{};
  comctl32.cbSize = sizeof comctl32;
  EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                       L"comctl32.dll", &comctl32));
}

}  // namespace
