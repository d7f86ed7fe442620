// What the window shows for the devices present: the keyboard in application
// mode, its boot loader, other devices, and removals.
#include <QToolButton>

#include "tests/app/WindowFixture.h"

namespace apptest {
namespace {

TEST_F(WindowTest, StartsWithTheFormsLookAndNoDevice) {
  Open();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("MVR508_UP2"));
  EXPECT_EQ(form->size(), QSize(383, 320));
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form->ColorBtn1->geometry(), QRect(88, 128, 217, 41));
  EXPECT_EQ(form->HistoryListBox->geometry(), QRect(16, 176, 353, 97));
  EXPECT_EQ(form->Button1->geometry(), QRect(800, 168, 145, 25));
  EXPECT_EQ(form->Image1->geometry(), QRect(504, 8, 296, 96));
  EXPECT_FALSE(form->Image1->pixmap().isNull());
  EXPECT_FALSE(form->Image1->isVisibleTo(form.get()));
  EXPECT_TRUE(form->RadioButton1->isChecked());
  EXPECT_FALSE(form->RadioButton2->isChecked());
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_FALSE(form->Button9->isEnabled());
  EXPECT_EQ(form->Timer1.interval(), 1000);
  EXPECT_EQ(form->Timer3.interval(), 500);
  EXPECT_EQ(form->Timer4.interval(), 1000);

  // No HID device at all: the first change happened and changed no label.
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(form->Label2->text().isEmpty());
  EXPECT_TRUE(form->Label3->text().isEmpty());
  EXPECT_TRUE(form->Label4->text().isEmpty());
  EXPECT_TRUE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_EQ(form->HistoryListBox->count(), 0);
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_TRUE(form->UpdateFlag().isEmpty());
  // Initial checks send nothing.
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(WindowTest, OnlyOtherDevicesShowNotConnected) {
  bus.Plug(MakeOtherDevice(0x046D, 0xC077));
  bus.Plug(MakeOtherDevice(0x00AB, 0x0C0D));
  Open();
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_FALSE(form->Image1->isVisibleTo(form.get()));
  // One arrival line per device, four upper-case digits, one space before VER.
  EXPECT_EQ(History(), (QStringList{"Device VID=046D PID=C077 VER=2201",
                                    "Device VID=00AB PID=0C0D VER=2201"}));
  EXPECT_EQ(form->HistoryListBox->currentRow(), 1);
}

TEST_F(WindowTest, FourInterfacesAreListedButDoNotReadyTheUpdate) {
  Open();
  PlugAndWait(MakeKeyboard(4, 0x0105));
  EXPECT_EQ(form->DevListBox->count(), 4);
  EXPECT_EQ(form->DevListBox->item(0)->text(), QStringLiteral("USB Keyboard with Touchpad"));
  // Two spaces before VER in the label, one in the log.
  EXPECT_EQ(form->Label4->text(), QStringLiteral("KB Firmware  VER=0105"));
  EXPECT_EQ(History().last(), QStringLiteral("Device VID=2C7A PID=5B1D VER=0105"));
  EXPECT_EQ(History().size(), 4);
  EXPECT_EQ(form->Label2->text(), QStringLiteral("KB Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kBlue);
  EXPECT_EQ(form->Label5->text(), QStringLiteral("Keyboard Enable"));
  EXPECT_EQ(TextColor(form->Label5), kGreen);
  EXPECT_TRUE(form->Image1->isVisibleTo(form.get()));
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_FALSE(form->Button1->isEnabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_TRUE(form->DevListBox->selectedItems().isEmpty());

  // A device enumerated after them turns the status to "Not Connect..",
  // since the update was never readied.
  PlugAndWait(MakeOtherDevice());
  EXPECT_EQ(form->DevListBox->count(), 4);
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_FALSE(form->ColorBtn1->isEnabled());

  // "Update" with no current device does nothing at all.
  const int lines = form->HistoryListBox->count();
  form->ColorBtn1Click();
  EXPECT_EQ(form->HistoryListBox->count(), lines);
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(WindowTest, FiveInterfacesReadyTheUpdateButSelectNothing) {
  Open();
  PlugAndWait(MakeKeyboard(5));
  EXPECT_EQ(form->DevListBox->count(), 5);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  EXPECT_TRUE(form->ColorBtn1->isEnabled());
  EXPECT_TRUE(form->Button2->isEnabled());
  EXPECT_TRUE(form->DevListBox->selectedItems().isEmpty());
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  // "Update" does nothing while there is no current device.
  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  EXPECT_TRUE(bus.WrittenReports().empty());
  EXPECT_EQ(form->Label3->text(), QString());
  EXPECT_EQ(form->HistoryListBox->count(), 5);

  // Picking any entry makes the last entry's device the current one.
  const QRect first = form->DevListBox->visualItemRect(form->DevListBox->item(0));
  QTest::mouseClick(form->DevListBox->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(form->DevListBox->currentRow(), 0);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(4));
}

TEST_F(WindowTest, SixInterfacesSelectTheSixthAndMakeTheLastCurrent) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  EXPECT_EQ(form->DevListBox->count(), 6);
  EXPECT_EQ(form->DevListBox->currentRow(), 5);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  EXPECT_TRUE(form->ColorBtn1->isEnabled());
  ASSERT_NE(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));
  for (int i = 0; i < 6; ++i) EXPECT_NE(form->DeviceOfEntry(i), nullptr) << i;

  // A device listed after the fifth interface leaves "KB Connect..".
  PlugAndWait(MakeOtherDevice());
  EXPECT_EQ(form->Label2->text(), QStringLiteral("KB Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kBlue);
  EXPECT_TRUE(form->ColorBtn1->isEnabled());
}

TEST_F(WindowTest, ReadAndListClicksPickTheLastEntry) {
  Open();
  PlugAndWait(MakeKeyboard(3));
  ASSERT_EQ(form->DevListBox->count(), 3);
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  // "Read" with nothing selected leaves no current device.
  form->ReadBtn->click();
  EXPECT_EQ(form->CurrentDevice(), nullptr);

  form->ReadBtn->setChecked(true);
  const QRect second = form->DevListBox->visualItemRect(form->DevListBox->item(1));
  QTest::mouseClick(form->DevListBox->viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(2));
  EXPECT_FALSE(form->ReadBtn->isChecked());  // the list click releases "Read"

  // Selecting from the program is no click.
  form->DevListBox->setCurrentRow(0);
  form->ReadBtnClick();
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(2));
}

TEST_F(WindowTest, BootLoaderIsNeverListedAndArmsTheBurnerTimerOnce) {
  bus.Plug(MakeBootLoader(0x0100));
  Create();
  HoldTimer(form->Timer1);
  ShowAndWait();
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_EQ(History().last(), QStringLiteral("Device VID=04D9 PID=8022 VER=0100"));
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Updating..."));
  EXPECT_EQ(TextColor(form->Label3), kRed);
  EXPECT_TRUE(form->Button1->isEnabled());
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  ASSERT_TRUE(form->Timer1.isActive());
  // The boot loader does not turn the status to "Not Connect..".
  EXPECT_TRUE(form->Label2->text().isEmpty());

  // A second enumeration within the second does not restart the timer.
  QTest::qWait(50);
  ASSERT_TRUE(form->Timer1.isActive());
  const int before = form->Timer1.remainingTime();
  form->HidCtl->EnumerateDevices();
  EXPECT_TRUE(form->Timer1.isActive());
  EXPECT_LE(form->Timer1.remainingTime(), before);
  EXPECT_EQ(form->DevListBox->count(), 0);
}

TEST_F(WindowTest, DeviceListedAfterTheBootLoaderShowsNotConnected) {
  bus.Plug(MakeBootLoader());
  bus.Plug(MakeOtherDevice());
  Create();
  HoldTimer(form->Timer1);
  ShowAndWait();
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Updating..."));
  EXPECT_FALSE(form->Button1->isEnabled());
  // The burner is still started.
  ASSERT_TRUE(FireTimer(form->Timer1));
  EXPECT_EQ(launches.size(), 1u);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(WindowTest, AnyRemovalEmptiesTheListOneSecondLater) {
  Create();
  HoldTimer(form->Timer4);
  ShowAndWait();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  const std::uint32_t mouse = PlugAndWait(MakeOtherDevice());
  ASSERT_EQ(form->DevListBox->count(), 6);
  form->ColorBtn1MouseMove();
  EXPECT_TRUE(form->Timer3.isActive());

  UnplugAndWait(mouse);
  // The removal of the mouse arms the timer; the enumeration that follows
  // in the same change shows the keyboard's version again.
  EXPECT_EQ(form->Label4->text(), QStringLiteral("KB Firmware  VER=0105"));
  // The change itself lists the keyboard again; the timer empties the list.
  ASSERT_TRUE(form->Timer4.isActive());
  EXPECT_EQ(form->DevListBox->count(), 6);
  ASSERT_TRUE(FireTimer(form->Timer4));
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_TRUE(form->Label5->text().isEmpty());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_FALSE(form->Button2->isEnabled());
  EXPECT_FALSE(form->Timer3.isActive());
  EXPECT_FALSE(form->Timer4.isActive());
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_EQ(form->DeviceListCount(), 0);

  // The keyboard is still there, but the list stays empty until the next change.
  QTest::qWait(200);
  EXPECT_EQ(form->DevListBox->count(), 0);
  PlugAndWait(MakeOtherDevice(0x1234, 0x5678));
  EXPECT_EQ(form->DevListBox->count(), 6);

  // Unplugging the keyboard itself leaves "Keyboard remove" standing.
  UnplugAndWait(keyboard);
  EXPECT_EQ(form->Label4->text(), QStringLiteral("Keyboard remove"));
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_TRUE(form->Timer4.isActive());
}

TEST_F(WindowTest, ReadErrorsAreLoggedWithTheTrimmedMessageAndHexCode) {
  Open();
  form->HidCtlDeviceDataError(nullptr, 5);
  form->HidCtlDeviceDataError(nullptr, 1167);
  form->HidCtlDeviceDataError(nullptr, 0xABCDEF);
  const QStringList lines = History();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], QStringLiteral("READ ERROR: Access is denied (5)"));
  EXPECT_EQ(lines[1], QStringLiteral("READ ERROR: The device is not connected (48F)"));
  EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" (ABCDEF)")));
  EXPECT_EQ(form->HistoryListBox->currentRow(), 2);
}

TEST_F(WindowTest, MouseOverUpdateBlinksThePicture) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  ASSERT_TRUE(form->Image1->isVisibleTo(form.get()));
  QTest::mouseMove(form->ColorBtn1, QPoint(10, 10));
  QTest::mouseMove(form->ColorBtn1, QPoint(20, 12));
  ASSERT_TRUE(form->Timer3.isActive());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Image1->isVisibleTo(form.get()); }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Image1->isVisibleTo(form.get()); }, 3000));
  // An arrival while no update runs stops the blinking.
  PlugAndWait(MakeOtherDevice());
  EXPECT_FALSE(form->Timer3.isActive());
}

}  // namespace
}  // namespace apptest
