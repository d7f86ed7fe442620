// The user's path through an update: the update command, the removal, the
// boot loader, and the start of the burner.
#include "app/SystemErrorText.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/Drive.h"
#include "tests/support/TempDir.h"

namespace apptest {
namespace {

TEST_F(WindowTest, UpdateWritesEveryInterfaceOnceAndLeavesOneLogLine) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  ASSERT_TRUE(form->ColorBtn1->Enabled());
  form->ColorBtn1MouseMove();
  ASSERT_TRUE(form->Timer3->Enabled());
  TakeWrites();

  testsupport::Click(*form->ColorBtn1);
  const auto writes = TakeWrites();
  ASSERT_EQ(writes.size(), 6u);
  const auto interfaces = bus.InterfacesOf(keyboard);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].path, interfaces[i].path);
    // Each with its own output report length.
    EXPECT_EQ(writes[i].bytes, CommandReportFor(i, 0x84, 0x57)) << "interface " << i;
  }
  EXPECT_EQ(History(), Lines{std::string("W --> 09 84 57  (Please Re-plug USB)")});
  EXPECT_EQ(form->UpdateFlag(), std::string("OK"));
  EXPECT_EQ(form->Label3->Text(), std::string("Ready Update"));
  EXPECT_EQ(form->Label2->Text(), std::string("wait a few seconds"));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_FALSE(form->Image1->Visible());
  EXPECT_FALSE(form->Timer3->Enabled());
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));
}

TEST_F(WindowTest, UpdateWithoutAFirmwareFileForThisKeyboardSendsNothing) {
  testsupport::TempDir dir("kbupdate-firmware");
  Open();
  form->SetProgramDirectory(dir.Path().string());
  PlugAndWait(MakeKeyboard(6));
  const std::string firmware = (dir / "USBKeyboard.MTP").string();
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

  const std::vector<std::pair<std::optional<std::vector<std::uint8_t>>, std::string>> cases = {
      {std::nullopt, std::string("not found")},
      {damaged, isp::MtpErrorText(isp::MtpError::kBlockCrc)},
      {isp::SerializeMtp(otherTarget), std::string("the file is made for another target")},
  };
  for (const auto& [bytes, reason] : cases) {
    SCOPED_TRACE(reason);
    if (bytes) dir.Write("USBKeyboard.MTP", *bytes);
    TakeWrites();
    testsupport::Click(*form->ColorBtn1);
    // The keyboard stays in application mode, ready for another try.
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(form->Label2->Text(), std::string("No valid firmware"));
    EXPECT_EQ(form->Label2->FontColor(), clRed);
    EXPECT_EQ(History().back(), "Firmware file " + firmware + ": " + reason);
    EXPECT_TRUE(form->Label3->Text().empty());
    EXPECT_NE(form->UpdateFlag(), std::string("OK"));
    EXPECT_TRUE(form->ColorBtn1->Enabled());
  }

  dir.Write("USBKeyboard.MTP", isp::SerializeMtp(image));
  testsupport::Click(*form->ColorBtn1);
  EXPECT_EQ(TakeWrites().size(), 6u);
  EXPECT_EQ(form->Label3->Text(), std::string("Ready Update"));
}

TEST_F(WindowTest, UpdateThatReachesNoInterfaceSaysWhy) {
  Open();
  hidplatform::VirtualPlugOptions queryOnly;
  queryOnly.readWriteAccess = false;
  PlugAndWait(MakeKeyboard(6), queryOnly);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  testsupport::Click(*form->ColorBtn1);
  EXPECT_TRUE(bus.WrittenReports().empty());
  // The sequence goes on, and the log says the keyboard took nothing.
  EXPECT_EQ(form->Label3->Text(), std::string("Ready Update"));
  const Lines lines = History();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("W --> 09 84 57  (Please Re-plug USB)"));
#ifdef _WIN32
  EXPECT_EQ(lines[1], "Cannot write to the keyboard: " + ErrorLogText(5));  // the system's words
#else
  EXPECT_EQ(lines[1], std::string("Cannot write to the keyboard: Access is denied (5)"));
#endif
}

TEST_F(WindowTest, BootLoaderAtStartStartsTheBurnerAndCloses) {
  bus.Plug(MakeBootLoader());
  Create();
  HoldTimer(*form->Timer1);
  form->SetProgramDirectory(std::string("/opt/kb tools/with blanks"));
  ShowAndWait();
  // Found: the timer runs, nothing is started yet.
  EXPECT_EQ(form->Label3->Text(), std::string("Updating..."));
  ASSERT_TRUE(form->Timer1->Enabled());
  EXPECT_TRUE(launches.empty());
  EXPECT_TRUE(form->Window().IsShown());

  ASSERT_TRUE(FireTimer(*form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, BurnerProgramName());
  // The firmware path travels whole, as one argument.
#ifdef _WIN32
  EXPECT_EQ(launches[0].argument, std::string("/opt/kb tools/with blanks\\USBKeyboard.MTP"));
#else
  EXPECT_EQ(launches[0].argument, std::string("/opt/kb tools/with blanks/USBKeyboard.MTP"));
#endif
  EXPECT_FALSE(form->Window().IsShown());
  EXPECT_EQ(form->Label3->Text(), std::string("Update OK....."));
  EXPECT_EQ(form->Label2->Text(), std::string("Please Unplug KB"));
  EXPECT_TRUE(form->Button1->Enabled());
  EXPECT_EQ(form->CurrentDevice(), nullptr);
  EXPECT_FALSE(form->Timer1->Enabled());
}

TEST_F(WindowTest, FailedLaunchKeepsTheWindowAndRetriesOnTheNextBootLoader) {
  failLaunch = true;
  Create();
  HoldTimer(*form->Timer1);
  HoldTimer(*form->Timer4);
  ShowAndWait();
  const std::uint32_t loader = PlugAndWait(MakeBootLoader());
  EXPECT_TRUE(launches.empty());
  ASSERT_TRUE(FireTimer(*form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_TRUE(form->Window().IsShown());
  EXPECT_EQ(form->Label3->Text(), std::string("Updating..."));
  EXPECT_NE(form->Label3->Text(), std::string("Update OK....."));
  EXPECT_EQ(form->Label2->Text(), std::string("Burner not started"));
  EXPECT_EQ(form->Label2->FontColor(), clRed);
  EXPECT_EQ(History().back(),
            "Cannot start " + BurnerProgramName() + ": No such file or directory");
  EXPECT_FALSE(form->Timer1->Enabled());

  // Re-plugging the boot loader arms the timer again; this time it starts.
  failLaunch = false;
  UnplugAndWait(loader);
  PlugAndWait(MakeBootLoader());
  EXPECT_EQ(launches.size(), 1u);
  ASSERT_TRUE(FireTimer(*form->Timer1));
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_FALSE(form->Window().IsShown());
  EXPECT_EQ(form->Label3->Text(), std::string("Update OK....."));
}

TEST_F(WindowTest, WholeUpdateWithTheEmulatedKeyboard) {
  auto keyboard = MakeKeyboard(6, 0x0105);
  RestartIntoBootLoaderOnUpdate(keyboard, MakeBootLoader(0x0100));
  bus.Plug(keyboard);
  Create();
  HoldTimer(*form->Timer1);
  HoldTimer(*form->Timer4);
  ShowAndWait();
  // Listed and ready.
  ASSERT_EQ(form->DevListBox->Count(), 6);
  EXPECT_EQ(form->Label2->Text(), std::string("KB Connect.."));
  EXPECT_EQ(form->Label4->Text(), std::string("KB Firmware  VER=0105"));
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clRed);
  ASSERT_TRUE(form->ColorBtn1->Enabled());

  // Update requested.
  testsupport::Click(*form->ColorBtn1);
  EXPECT_EQ(form->Label3->Text(), std::string("Ready Update"));
  EXPECT_EQ(form->Label2->Text(), std::string("wait a few seconds"));
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_EQ(keyboard->ReceivedReports().size(), 6u);

  // The keyboard leaves and comes back as the boot loader: "Keyboard
  // remove", "Updating...", the list emptied, both timers running and
  // nothing started yet.
  ASSERT_TRUE(WaitFor([&] { return form->Label3->Text() == "Updating..."; }));
  EXPECT_EQ(form->Label4->Text(), std::string("Keyboard remove"));
  EXPECT_EQ(form->Label2->Text(), std::string("wait a few seconds"));
  EXPECT_EQ(form->DevListBox->Count(), 0);
  EXPECT_TRUE(HistoryContains("Device VID=04D9 PID=8022 VER=0100"));
  EXPECT_TRUE(form->Timer4->Enabled());
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_TRUE(launches.empty());

  // The removal timer: "Not Connect..", the boot loader still awaited.
  ASSERT_TRUE(FireTimer(*form->Timer4));
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  EXPECT_EQ(form->Label3->Text(), std::string("Updating..."));
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_TRUE(launches.empty());

  // The burner timer starts the burner with the firmware beside kbupdate,
  // and the window closes.
  ASSERT_TRUE(FireTimer(*form->Timer1));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, BurnerProgramName());
  EXPECT_EQ(launches[0].argument, FirmwarePathIn(toolkit.ProgramDirectory()));
  EXPECT_FALSE(form->Window().IsShown());
  EXPECT_EQ(form->Label2->Text(), std::string("Please Unplug KB"));
  EXPECT_EQ(form->Label3->Text(), std::string("Update OK....."));
}

TEST_F(WindowTest, KeyboardBackAfterUpdateIsListedButUpdateStaysDisabled) {
  auto keyboard = MakeKeyboard(6);
  const std::uint32_t id = bus.Plug(keyboard);
  Create();
  HoldTimer(*form->Timer4);
  ShowAndWait();
  testsupport::Click(*form->ColorBtn1);
  ASSERT_EQ(form->Label3->Text(), std::string("Ready Update"));
  UnplugAndWait(id);
  ASSERT_TRUE(FireTimer(*form->Timer4));
  EXPECT_EQ(form->Label2->Text(), std::string("Not Connect.."));
  // Back in application mode without passing through the boot loader.
  PlugAndWait(MakeKeyboard(6));
  EXPECT_EQ(form->DevListBox->Count(), 6);
  EXPECT_EQ(form->Label2->Text(), std::string("KB Connect.."));
  EXPECT_FALSE(form->ColorBtn1->Enabled());
  EXPECT_EQ(form->ColorBtn1->ButtonColor(), clBtnFace);
  // UpdateFlag "OK": the change leaves the current device as enumeration set it.
  EXPECT_EQ(form->UpdateFlag(), std::string("OK"));
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(4));
}

}  // namespace
}  // namespace apptest
