// The command reports: what reaches each listed interface and what the
// HistoryLog says.
#include "tests/app/WindowFixture.h"
#include "tests/support/Drive.h"

namespace apptest {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& bytes, std::size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes.size()))};
}

TEST_F(WindowTest, LockPairsSendToEveryInterfaceInListOrderAndLogOnce) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  const auto interfaces = bus.InterfacesOf(keyboard);
  ASSERT_EQ(interfaces.size(), 6u);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  form->HistoryListBox->Clear();
  TakeWrites();

  testsupport::Click(*form->RadioButton2);
  EXPECT_TRUE(form->RadioButton2->Checked());
  auto writes = TakeWrites();
  ASSERT_EQ(writes.size(), 6u);
  // Interfaces with a one-byte output report (length 2) get the first two
  // bytes only.
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(writes[i].path, interfaces[i].path) << i;
    const std::size_t n = i == kCommandInterface ? 3 : 2;
    EXPECT_EQ(Head(writes[i].bytes, 3), Head(Bytes({0x09, 0x54, 0x02}), n)) << i;
  }
  // Each interface gets its own output report length; the rest is zero.
  EXPECT_EQ(writes[kCommandInterface].bytes.size(), 65u);
  EXPECT_EQ(writes[0].bytes.size(), 2u);
  for (std::size_t b = 3; b < 65; ++b) EXPECT_EQ(writes[kCommandInterface].bytes[b], 0) << b;
  EXPECT_EQ(History(), Lines{std::string("W --> 09 54 02  (Fn Lock)")});
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));

  // Choosing the button that is already checked sends nothing.
  testsupport::Click(*form->RadioButton3);
  EXPECT_TRUE(TakeWrites().empty());
  testsupport::Click(*form->RadioButton4);
  testsupport::Click(*form->RadioButton3);
  writes = TakeWrites();
  ASSERT_EQ(writes.size(), 12u);
  EXPECT_EQ(Head(writes[kCommandInterface].bytes, 3), Bytes({0x09, 0x64, 0x02}));
  EXPECT_EQ(Head(writes[6 + kCommandInterface].bytes, 3), Bytes({0x09, 0x64, 0x01}));

  testsupport::Click(*form->RadioButton6);
  testsupport::Click(*form->RadioButton5);
  testsupport::Click(*form->RadioButton1);
  EXPECT_EQ(History(), (Lines{"W --> 09 54 02  (Fn Lock)", "W --> 09 64 02  (Mute Lock)",
                              "W --> 09 64 01  (Mute Unlock)", "W --> 09 74 02  (Mic Lock)",
                              "W --> 09 74 01  (Mic Unlock)", "W --> 09 54 01  (Fn Unlock)"}));
  // The pairs are independent of each other.
  EXPECT_TRUE(form->RadioButton1->Checked());
  EXPECT_TRUE(form->RadioButton3->Checked());
  EXPECT_TRUE(form->RadioButton5->Checked());
}

TEST_F(WindowTest, VersionQueryLogsWithTrailingSpaceAndShowsItsStatus) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  form->HistoryListBox->Clear();
  TakeWrites();
  testsupport::Click(*form->Button5);
  EXPECT_EQ(History(), Lines{std::string("W --> 09 95 7E ")});
  EXPECT_EQ(TakeWrites().size(), 6u);
  EXPECT_EQ(form->Label2->Text(), std::string("Check Touchpad FW Version"));
}

TEST_F(WindowTest, WithoutCurrentDeviceNothingIsSentOrLogged) {
  Open();
  PlugAndWait(MakeKeyboard(5));  // five entries: nothing selected, no current device
  ASSERT_EQ(form->CurrentDevice(), nullptr);
  form->HistoryListBox->Clear();
  TakeWrites();
  testsupport::Click(*form->RadioButton2);
  form->SendCommand(0x64, 0x02, " (Mute Lock)");
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_EQ(form->HistoryListBox->Count(), 0);
  // The version query still shows its status line.
  testsupport::Click(*form->Button5);
  EXPECT_EQ(form->HistoryListBox->Count(), 0);
  EXPECT_EQ(form->Label2->Text(), std::string("Check Touchpad FW Version"));
}

TEST_F(WindowTest, EachInterfaceGetsExactlyItsOutputReportLength) {
  Open();
  // Data sizes 2, 8, 127, 63, 0, 63: lengths 3, 9, 128 (past the 65-byte
  // buffer), 64, none and 64.
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboardWithOutputSizes({2, 8, 127, 63, 0, 63}));
  ASSERT_EQ(form->DevListBox->Count(), 6);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  TakeWrites();
  testsupport::Click(*form->RadioButton2);
  const auto writes = TakeWrites();
  // The interface without an output report takes no write.
  ASSERT_EQ(writes.size(), 5u);
  EXPECT_EQ(writes[0].bytes, Bytes({0x09, 0x54, 0x02}));
  EXPECT_EQ(writes[1].bytes, Bytes({0x09, 0x54, 0x02, 0, 0, 0, 0, 0, 0}));
  ASSERT_EQ(writes[2].bytes.size(), 128u);
  EXPECT_EQ(Head(writes[2].bytes, 3), Bytes({0x09, 0x54, 0x02}));
  for (std::size_t b = 3; b < 128; ++b) EXPECT_EQ(writes[2].bytes[b], 0) << b;
  EXPECT_EQ(writes[3].bytes.size(), 64u);
  for (const auto& w : writes) EXPECT_EQ(w.deviceInstance, keyboard);
}

TEST_F(WindowTest, AFailedWriteDoesNotStopTheOtherInterfaces) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  ASSERT_NE(form->CurrentDevice(), nullptr);
  form->HistoryListBox->Clear();
  // A keyboard that may be opened only for queries still lists and is
  // claimed; the write fails and the next interface still gets its report.
  hidplatform::VirtualPlugOptions queryOnly;
  queryOnly.readWriteAccess = false;
  const std::uint32_t second = PlugAndWait(MakeKeyboard(2), queryOnly);
  ASSERT_EQ(form->DevListBox->Count(), 8);
  ASSERT_NE(form->CurrentDevice(), nullptr);
  TakeWrites();
  form->SendCommand(0x54, 0x02, " (Fn Lock)");
  const auto writes = TakeWrites();
  EXPECT_EQ(writes.size(), 6u);  // the two query-only interfaces refuse
  for (const auto& w : writes) EXPECT_NE(w.deviceInstance, second);
  EXPECT_EQ(History().back(), std::string("W --> 09 54 02  (Fn Lock)"));
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(7));
}

}  // namespace
}  // namespace apptest

namespace apptest {
namespace {

TEST_F(WindowTest, EntriesWhoseClaimFailedAreListedAndSkipped) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(MakeKeyboard(6));
  // The removal timer gives every claimed device back to the controller.
  form->Timer4Timer();
  ASSERT_EQ(form->DeviceListCount(), 0);
  // Someone else holds the first interface, so the window's claim fails.
  hid::THidDevice* held = nullptr;
  ASSERT_TRUE(form->HidCtl->ClaimDeviceByIndex(held, 0));
  std::unique_ptr<hid::THidDevice> heldOwner(held);
  PlugAndWait(MakeOtherDevice());
  ASSERT_EQ(form->DevListBox->Count(), 6);
  EXPECT_EQ(form->DeviceOfEntry(0), nullptr);
  for (int i = 1; i < 6; ++i) EXPECT_NE(form->DeviceOfEntry(i), nullptr) << i;
  ASSERT_EQ(form->CurrentDevice(), form->DeviceOfEntry(5));

  TakeWrites();
  form->HistoryListBox->Clear();
  testsupport::Click(*form->RadioButton2);
  const auto writes = TakeWrites();
  ASSERT_EQ(writes.size(), 5u);
  const auto interfaces = bus.InterfacesOf(keyboard);
  for (std::size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i].path, interfaces[i + 1].path);
  EXPECT_EQ(History(), Lines{std::string("W --> 09 54 02  (Fn Lock)")});
  heldOwner.reset();
}

}  // namespace
}  // namespace apptest
