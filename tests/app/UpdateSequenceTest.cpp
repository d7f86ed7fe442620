// The user's path through an update: the update command, the removal, the
// boot loader, and the start of the burner.
#include <QDir>
#include <QSignalSpy>

#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TempDir.h"

namespace apptest {
namespace {

TEST_F(WindowTest, UpdateWritesEveryInterfaceOnceAndLeavesOneLogLine) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  ASSERT_TRUE(form->ColorBtn1->isEnabled());
  form->ColorBtn1MouseMove();
  ASSERT_TRUE(form->Timer3.isActive());
  TakeWrites();

  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  const auto writes = TakeWrites();
  ASSERT_EQ(writes.size(), 6u);
  const auto interfaces = bus.InterfacesOf(keyboard);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].path, interfaces[i].path);
    // Each with its own output report length.
    EXPECT_EQ(writes[i].bytes, CommandReportFor(i, 0x84, 0x57)) << "interface " << i;
  }
  EXPECT_EQ(History(), QStringList{QStringLiteral("W --> 09 84 57  (Please Re-plug USB)")});
  EXPECT_EQ(form->UpdateFlag(), QStringLiteral("OK"));
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Ready Update"));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("wait a few seconds"));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_FALSE(form->Image1->isVisibleTo(form.get()));
  EXPECT_FALSE(form->Timer3.isActive());
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));
}

TEST_F(WindowTest, UpdateWithoutAFirmwareFileForThisKeyboardSendsNothing) {
  testsupport::TempDir dir("kbupdate-firmware");
  Open();
  form->SetProgramDirectory(QString::fromStdString(dir.Path().string()));
  PlugAndWait(MakeKeyboard(6));
  const QString firmware = QString::fromStdString((dir / "USBKeyboard.MTP").string());
  isp::MtpImage image;
  image.targetId = isp::protocol::kTargetId;
  image.pageSize = isp::protocol::kPageSize;
  image.pageCount = isp::protocol::kPageCount;
  image.program.assign(1000, 0x5A);
  image.option = {0x06, 0x01};  // firmware version 1.06
  isp::MtpImage otherTarget = image;
  otherTarget.targetId = 0x12345678;
  std::vector<std::uint8_t> damaged = isp::SerializeMtp(image);
  damaged.back() ^= 1;

  const std::vector<std::pair<std::optional<std::vector<std::uint8_t>>, QString>> cases = {
      {std::nullopt, QStringLiteral("not found")},
      {damaged, QString::fromLatin1(isp::MtpErrorText(isp::MtpError::kBlockCrc))},
      {isp::SerializeMtp(otherTarget), QStringLiteral("the file is made for another target")},
  };
  for (const auto& [bytes, reason] : cases) {
    SCOPED_TRACE(reason.toStdString());
    if (bytes) dir.Write("USBKeyboard.MTP", *bytes);
    TakeWrites();
    QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
    // The keyboard stays in application mode, ready for another try.
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(form->Label2->text(), QStringLiteral("No valid firmware"));
    EXPECT_EQ(TextColor(form->Label2), kRed);
    EXPECT_EQ(History().last(), QStringLiteral("Firmware file %1: %2").arg(firmware, reason));
    EXPECT_TRUE(form->Label3->text().isEmpty());
    EXPECT_NE(form->UpdateFlag(), QStringLiteral("OK"));
    EXPECT_TRUE(form->ColorBtn1->isEnabled());
  }

  dir.Write("USBKeyboard.MTP", isp::SerializeMtp(image));
  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  EXPECT_EQ(TakeWrites().size(), 6u);
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Ready Update"));
}

TEST_F(WindowTest, UpdateThatReachesNoInterfaceSaysWhy) {
  Open();
  hidplatform::VirtualPlugOptions queryOnly;
  queryOnly.readWriteAccess = false;
  PlugAndWait(MakeKeyboard(6), queryOnly);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  EXPECT_TRUE(bus.WrittenReports().empty());
  // The sequence goes on, and the log says the keyboard took nothing.
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Ready Update"));
  const QStringList lines = History();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], QStringLiteral("W --> 09 84 57  (Please Re-plug USB)"));
  EXPECT_EQ(lines[1], QStringLiteral("Cannot write to the keyboard: Access is denied (5)"));
}

TEST_F(WindowTest, BootLoaderAtStartStartsTheBurnerAndCloses) {
  bus.Plug(MakeBootLoader());
  Create();
  HoldTimer(form->Timer1);
  form->SetProgramDirectory(QStringLiteral("/opt/kb tools/with blanks"));
  ShowAndWait();
  // Found: the timer runs, nothing is started yet.
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Updating..."));
  ASSERT_TRUE(form->Timer1.isActive());
  EXPECT_TRUE(launches.empty());
  EXPECT_TRUE(form->isVisible());

  ASSERT_TRUE(FireTimer(form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, QStringLiteral("mcuprog"));
  // The firmware path travels whole, as one argument.
  EXPECT_EQ(launches[0].argument, QStringLiteral("/opt/kb tools/with blanks/USBKeyboard.MTP"));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Update OK....."));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Please Unplug KB"));
  EXPECT_TRUE(form->Button1->isEnabled());
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_FALSE(form->Timer1.isActive());
}

TEST_F(WindowTest, FailedLaunchKeepsTheWindowAndRetriesOnTheNextBootLoader) {
  failLaunch = true;
  Create();
  HoldTimer(form->Timer1);
  HoldTimer(form->Timer4);
  ShowAndWait();
  const std::uint32_t loader = PlugAndWait(MakeBootLoader());
  EXPECT_TRUE(launches.empty());
  ASSERT_TRUE(FireTimer(form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Updating..."));
  EXPECT_NE(form->Label3->text(), QStringLiteral("Update OK....."));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Burner not started"));
  EXPECT_EQ(TextColor(form->Label2), kRed);
  EXPECT_EQ(History().last(), QStringLiteral("Cannot start mcuprog: No such file or directory"));
  EXPECT_FALSE(form->Timer1.isActive());

  // Re-plugging the boot loader arms the timer again; this time it starts.
  failLaunch = false;
  UnplugAndWait(loader);
  PlugAndWait(MakeBootLoader());
  EXPECT_EQ(launches.size(), 1u);
  ASSERT_TRUE(FireTimer(form->Timer1));
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Update OK....."));
}

TEST_F(WindowTest, WholeUpdateWithTheEmulatedKeyboard) {
  auto keyboard = MakeKeyboard(6, 0x0105);
  RestartIntoBootLoaderOnUpdate(keyboard, MakeBootLoader(0x0100));
  bus.Plug(keyboard);
  Create();
  HoldTimer(form->Timer1);
  HoldTimer(form->Timer4);
  ShowAndWait();
  // Listed and ready.
  ASSERT_EQ(form->DevListBox->count(), 6);
  EXPECT_EQ(form->Label2->text(), QStringLiteral("KB Connect.."));
  EXPECT_EQ(form->Label4->text(), QStringLiteral("KB Firmware  VER=0105"));
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  ASSERT_TRUE(form->ColorBtn1->isEnabled());

  // Update requested.
  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Ready Update"));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("wait a few seconds"));
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(keyboard->ReceivedReports().size(), 6u);

  // The keyboard leaves and comes back as the boot loader: "Keyboard
  // remove", "Updating...", the list emptied, both timers running and
  // nothing started yet.
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Label3->text() == QStringLiteral("Updating..."); },
                              10000));
  EXPECT_EQ(form->Label4->text(), QStringLiteral("Keyboard remove"));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("wait a few seconds"));
  EXPECT_EQ(form->DevListBox->count(), 0);
  EXPECT_TRUE(History().contains(QStringLiteral("Device VID=04D9 PID=8022 VER=0100")));
  EXPECT_TRUE(form->Timer4.isActive());
  EXPECT_TRUE(form->Timer1.isActive());
  EXPECT_TRUE(launches.empty());

  // The removal timer: "Not Connect..", the boot loader still awaited.
  ASSERT_TRUE(FireTimer(form->Timer4));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Updating..."));
  EXPECT_TRUE(form->Timer1.isActive());
  EXPECT_TRUE(launches.empty());

  // The burner timer starts the burner with the firmware beside kbupdate,
  // and the window closes.
  ASSERT_TRUE(FireTimer(form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, QStringLiteral("mcuprog"));
  EXPECT_EQ(launches[0].argument,
            QDir(QCoreApplication::applicationDirPath()).filePath("USBKeyboard.MTP"));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Please Unplug KB"));
  EXPECT_EQ(form->Label3->text(), QStringLiteral("Update OK....."));
}

TEST_F(WindowTest, KeyboardBackAfterUpdateIsListedButUpdateStaysDisabled) {
  auto keyboard = MakeKeyboard(6);
  const std::uint32_t id = bus.Plug(keyboard);
  Create();
  HoldTimer(form->Timer4);
  ShowAndWait();
  QTest::mouseClick(form->ColorBtn1, Qt::LeftButton);
  ASSERT_EQ(form->Label3->text(), QStringLiteral("Ready Update"));
  UnplugAndWait(id);
  ASSERT_TRUE(FireTimer(form->Timer4));
  EXPECT_EQ(form->Label2->text(), QStringLiteral("Not Connect.."));
  // Back in application mode without passing through the boot loader.
  PlugAndWait(MakeKeyboard(6));
  EXPECT_EQ(form->DevListBox->count(), 6);
  EXPECT_EQ(form->Label2->text(), QStringLiteral("KB Connect.."));
  EXPECT_FALSE(form->ColorBtn1->isEnabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  // UpdateFlag "OK": the change leaves the current device as enumeration set it.
  EXPECT_EQ(form->UpdateFlag(), QStringLiteral("OK"));
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(4));
}

}  // namespace
}  // namespace apptest
