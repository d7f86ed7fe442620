// What the window shows for the devices present: the keyboard in application
// mode, its boot loader, other devices, and removals.
#include "app/SystemErrorText.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/Drive.h"

namespace apptest {
namespace {

TEST_F(WindowTest, StartsWithTheFormsLookAndNoDevice) {
  Open();
  EXPECT_FALSE(form->Image1->Visible());
  EXPECT_TRUE(form->RadioButton1->Checked());
  EXPECT_FALSE(form->RadioButton2->Checked());
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_FALSE(form->Button9->Enabled());
  EXPECT_TRUE(form->RadioButton3->Checked());
  EXPECT_TRUE(form->RadioButton5->Checked());
  EXPECT_EQ(form->Timer1->Interval(), std::chrono::milliseconds(1000));
  EXPECT_EQ(form->Timer2->Interval(), std::chrono::milliseconds(500));
  EXPECT_EQ(form->Timer3->Interval(), std::chrono::milliseconds(500));
  EXPECT_EQ(form->Timer4->Interval(), std::chrono::milliseconds(1000));
  for (ui::Timer* timer : {form->Timer1, form->Timer2, form->Timer3, form->Timer4}) {
    EXPECT_FALSE(timer->Enabled());
  }

  // No HID device at all: the first change happened and changed no label.
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(form->Label2->Text().empty());
  EXPECT_TRUE(form->Label3->Text().empty());
  EXPECT_TRUE(form->Label4->Text().empty());
  EXPECT_TRUE(form->ColorBtn1->Enabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_EQ(form->HistoryListBox->Count(), 0);
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_TRUE(form->UpdateFlag().empty());
  // Initial checks send nothing.
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(WindowTest, OnlyOtherDevicesShowNotConnected) {
  bus.Plug(MakeOtherDevice(0x046D, 0xC077));
  bus.Plug(MakeOtherDevice(0x00AB, 0x0C0D));
  Open();
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_FALSE(form->Image1->Visible());
  // One arrival line per device, four upper-case digits, one space before VER.
  EXPECT_EQ(History(),
            (Lines{"Device VID=046D PID=C077 VER=2201", "Device VID=00AB PID=0C0D VER=2201"}));
  EXPECT_EQ(form->HistoryListBox->ItemIndex(), 1);
}

TEST_F(WindowTest, FourInterfacesAreListedButDoNotReadyTheUpdate) {
  Open();
  PlugAndWait(MakeKeyboard(4, 0x0105));
  EXPECT_EQ(form->DevListBox->Count(), 4);
  EXPECT_EQ(form->DevListBox->Item(0), std::string("USB Keyboard with Touchpad"));
  // Two spaces before VER in the label, one in the log.
  EXPECT_EQ(form->Label4->Text(), std::string("KB Firmware  VER=0105"));
  EXPECT_EQ(History().back(), std::string("Device VID=2C7A PID=5B1D VER=0105"));
  EXPECT_EQ(History().size(), 4u);
  EXPECT_EQ(form->Label2->Text(), std::string("KB Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clBlue);
  EXPECT_EQ(form->Label5->Text(), std::string("Keyboard Enable"));
  EXPECT_EQ(form->Label5->FontColor(), clGreen);
  EXPECT_TRUE(form->Image1->Visible());
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_FALSE(form->Button1->Enabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_TRUE((form->DevListBox->ItemIndex() == -1));

  // A device enumerated after them turns the status to "Not Connect..",
  // since the update was never readied.
  PlugAndWait(MakeOtherDevice());
  EXPECT_EQ(form->DevListBox->Count(), 4);
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_FALSE(form->ColorBtn1->Enabled());

  // "Update" with no current device does nothing at all.
  const int lines = form->HistoryListBox->Count();
  form->ColorBtn1Click();
  EXPECT_EQ(form->HistoryListBox->Count(), lines);
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(WindowTest, FiveInterfacesReadyTheUpdateButSelectNothing) {
  Open();
  PlugAndWait(MakeKeyboard(5));
  EXPECT_EQ(form->DevListBox->Count(), 5);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  EXPECT_TRUE(form->ColorBtn1->Enabled());
  EXPECT_TRUE(form->Button2->Enabled());
  EXPECT_TRUE((form->DevListBox->ItemIndex() == -1));
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  // "Update" does nothing while there is no current device.
  testsupport::Click(*form->ColorBtn1);
  EXPECT_TRUE(bus.WrittenReports().empty());
  EXPECT_EQ(form->Label3->Text(), std::string());
  EXPECT_EQ(form->HistoryListBox->Count(), 5);

  // Picking any entry makes the last entry's device the current one.
  testsupport::ClickItem(*form->DevListBox, 0);
  EXPECT_EQ(form->DevListBox->ItemIndex(), 0);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(4));
}

TEST_F(WindowTest, SixInterfacesSelectTheSixthAndMakeTheLastCurrent) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  EXPECT_EQ(form->DevListBox->Count(), 6);
  EXPECT_EQ(form->DevListBox->ItemIndex(), 5);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  EXPECT_TRUE(form->ColorBtn1->Enabled());
  ASSERT_NE(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));
  for (int i = 0; i < 6; ++i) EXPECT_NE(form->DeviceOfEntry(i), nullptr) << i;

  // A device listed after the fifth interface leaves "KB Connect..".
  PlugAndWait(MakeOtherDevice());
  EXPECT_EQ(form->Label2->Text(), std::string("KB Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clBlue);
  EXPECT_TRUE(form->ColorBtn1->Enabled());
}

TEST_F(WindowTest, ReadAndListClicksPickTheLastEntry) {
  Open();
  PlugAndWait(MakeKeyboard(3));
  ASSERT_EQ(form->DevListBox->Count(), 3);
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  // "Read" with nothing selected leaves no current device.
  testsupport::Click(*form->ReadBtn);
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  form->ReadBtn->SetChecked(true);
  testsupport::ClickItem(*form->DevListBox, 1);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(2));
  EXPECT_FALSE(form->ReadBtn->Checked());  // the list click releases "Read"

  // Selecting from the program is no click.
  form->DevListBox->SetItemIndex(0);
  form->ReadBtnClick();
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(2));
}

TEST_F(WindowTest, BootLoaderIsNeverListedAndArmsTheBurnerTimerOnce) {
  bus.Plug(MakeBootLoader(0x0100));
  Create();
  HoldTimer(*form->Timer1);
  ShowAndWait();
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_EQ(History().back(), std::string("Device VID=04D9 PID=8022 VER=0100"));
  EXPECT_EQ(form->Label3->Text(), std::string("Updating..."));
  EXPECT_EQ(form->Label3->FontColor(), clRed);
  EXPECT_TRUE(form->Button1->Enabled());
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  ASSERT_TRUE(form->Timer1->Enabled());
  // The boot loader does not turn the status to "Not Connect..".
  EXPECT_TRUE(form->Label2->Text().empty());

  // A second enumeration within the second leaves the timer running (that
  // it does not restart it, the Qt window's own tests see).
  form->HidCtl->EnumerateDevices();
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_EQ(form->DevListBox->Count(), 0);
}

TEST_F(WindowTest, DeviceListedAfterTheBootLoaderShowsNotConnected) {
  bus.Plug(MakeBootLoader());
  bus.Plug(MakeOtherDevice());
  Create();
  HoldTimer(*form->Timer1);
  ShowAndWait();
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_EQ(form->Label3->Text(), std::string("Updating..."));
  EXPECT_FALSE(form->Button1->Enabled());
  // The burner is still started.
  ASSERT_TRUE(FireTimer(*form->Timer1));
  EXPECT_EQ(launches.size(), 1u);
  EXPECT_FALSE(form->Window().IsShown());
}

TEST_F(WindowTest, AnyRemovalEmptiesTheListOneSecondLater) {
  Create();
  HoldTimer(*form->Timer4);
  ShowAndWait();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  const std::uint32_t mouse = PlugAndWait(MakeOtherDevice());
  ASSERT_EQ(form->DevListBox->Count(), 6);
  form->ColorBtn1MouseMove();
  EXPECT_TRUE(form->Timer3->Enabled());

  UnplugAndWait(mouse);
  // The removal of the mouse arms the timer; the enumeration that follows
  // in the same change shows the keyboard's version again.
  EXPECT_EQ(form->Label4->Text(), std::string("KB Firmware  VER=0105"));
  // The change itself lists the keyboard again; the timer empties the list.
  ASSERT_TRUE(form->Timer4->Enabled());
  EXPECT_EQ(form->DevListBox->Count(), 6);
  ASSERT_TRUE(FireTimer(*form->Timer4));
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_TRUE(form->Label5->Text().empty());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_FALSE(form->Button2->Enabled());
  EXPECT_FALSE(form->Timer3->Enabled());
  EXPECT_FALSE(form->Timer4->Enabled());
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->DeviceListCount(), 0);

  // The keyboard is still there, but the list stays empty until the next change.
  Pump(std::chrono::milliseconds(200));
  EXPECT_EQ(form->DevListBox->Count(), 0);
  PlugAndWait(MakeOtherDevice(0x1234, 0x5678));
  EXPECT_EQ(form->DevListBox->Count(), 6);

  // Unplugging the keyboard itself leaves "Keyboard remove" standing.
  UnplugAndWait(keyboard);
  EXPECT_EQ(form->Label4->Text(), std::string("Keyboard remove"));
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_TRUE(form->Timer4->Enabled());
}

TEST_F(WindowTest, ReadErrorsAreLoggedWithTheTrimmedMessageAndHexCode) {
  Open();
  form->HidCtlDeviceDataError(nullptr, 5);
  form->HidCtlDeviceDataError(nullptr, 1167);
  form->HidCtlDeviceDataError(nullptr, 0xABCDEF);
  const Lines lines = History();
  ASSERT_EQ(lines.size(), 3u);
#ifdef _WIN32
  // The system's words (Wine's differ from Windows').
  EXPECT_EQ(lines[0], "READ ERROR: " + ErrorLogText(5));
  EXPECT_EQ(lines[1], "READ ERROR: " + ErrorLogText(1167));
  EXPECT_TRUE(lines[1].ends_with(" (48F)"));
#else
  EXPECT_EQ(lines[0], std::string("READ ERROR: Access is denied (5)"));
  EXPECT_EQ(lines[1], std::string("READ ERROR: The device is not connected (48F)"));
#endif
  EXPECT_TRUE(lines[2].ends_with(" (ABCDEF)"));
  EXPECT_EQ(form->HistoryListBox->ItemIndex(), 2);
}

TEST_F(WindowTest, MouseOverUpdateBlinksThePicture) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  ASSERT_TRUE(form->Image1->Visible());
  // The mouse over the button, as the front end reports it.
  form->ColorBtn1->OnMouseMove();
  form->ColorBtn1->OnMouseMove();
  ASSERT_TRUE(form->Timer3->Enabled());
  ASSERT_TRUE(WaitFor([&] { return !form->Image1->Visible(); }, std::chrono::seconds(3)));
  ASSERT_TRUE(WaitFor([&] { return form->Image1->Visible(); }, std::chrono::seconds(3)));
  // An arrival while no update runs stops the blinking.
  PlugAndWait(MakeOtherDevice());
  EXPECT_FALSE(form->Timer3->Enabled());
}

}  // namespace
}  // namespace apptest
