// The window's Save and Info developer buttons, with the modal parts
// answered by the test's toolkit so no test waits for a person.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/Drive.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace {

using apptest::Lines;

class DeveloperButtonsTest : public apptest::ScratchDirWindowTest {
 protected:
  std::string FileText(const std::string& name) const {
    std::ifstream file(FilePath(name), std::ios::binary);
    if (!file) return "<missing>";
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
};

TEST_F(DeveloperButtonsTest, SaveWritesTheHistoryLog) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  PlugAndWait(apptest::MakeBootLoader());
  const Lines lines = History();
  ASSERT_EQ(lines.size(), 2u);

  toolkit.saveAnswer = FilePath("history.txt");
  testsupport::Click(*form->SaveBtn);
  ASSERT_EQ(toolkit.saveDialogs.size(), 1u);
  EXPECT_EQ(toolkit.saveDialogs[0].title, "Save History");
  EXPECT_EQ(toolkit.saveDialogs[0].defaultExtension, "txt");
  ASSERT_EQ(toolkit.saveDialogs[0].filters.size(), 2u);
  EXPECT_EQ(toolkit.saveDialogs[0].filters[0].pattern, "*.txt");  // chosen first
  EXPECT_TRUE(toolkit.saveDialogs[0].replaceWithoutPrompt);
  EXPECT_EQ(FileText("history.txt"), lines[0] + "\r\n" + lines[1] + "\r\n");
  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_EQ(History(), lines);

  // A second save replaces the file, it does not append to it.
  testsupport::Click(*form->SaveBtn);
  EXPECT_EQ(FileText("history.txt"), lines[0] + "\r\n" + lines[1] + "\r\n");
}

TEST_F(DeveloperButtonsTest, SaveOfAnEmptyLogAndCancel) {
  Open();
  ASSERT_TRUE(History().empty());
  toolkit.saveAnswer = FilePath("empty.log");
  testsupport::Click(*form->SaveBtn);
  EXPECT_EQ(FileText("empty.log"), "");
  toolkit.saveAnswer.reset();  // Cancel
  testsupport::Click(*form->SaveBtn);
  EXPECT_EQ(toolkit.saveDialogs.size(), 2u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_TRUE(toolkit.TakeErrors().empty());
}

TEST_F(DeveloperButtonsTest, SaveIntoAMissingDirectoryShowsTheError) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  const Lines lines = History();
  const std::string target = (dir_ / "missing" / "log.txt").string();
  toolkit.saveAnswer = target;
  testsupport::Click(*form->SaveBtn);
  EXPECT_EQ(toolkit.TakeErrors(), Lines{"Cannot create file " + target});
  EXPECT_EQ(History(), lines);
  EXPECT_TRUE(form->Window().IsShown());
}

TEST_F(DeveloperButtonsTest, InfoOpensNothingWithoutASelectedDevice) {
  Open();
  testsupport::Click(*form->InfoBtn);  // empty list
  PlugAndWait(apptest::MakeKeyboard(3));
  ASSERT_EQ(form->DevListBox->Count(), 3);
  ASSERT_EQ(form->DevListBox->ItemIndex(), -1);
  testsupport::Click(*form->InfoBtn);  // nothing selected
  EXPECT_EQ(toolkit.modalRuns, 0);
}

TEST_F(DeveloperButtonsTest, InfoShowsTheSelectedDeviceAndSurvivesItsRemoval) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(apptest::MakeKeyboard(6));
  ASSERT_EQ(form->DevListBox->Count(), 6);
  ASSERT_NE(form->DevListBox->ItemIndex(), -1);

  std::string product;
  std::string vid;
  int listedAfterRemoval = -1;
  toolkit.whileModal = [&](ui::Form& dialog) {
    TInfoForm* info = form->InfoDialog();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(&info->Window(), &dialog);
    // The keyboard goes; the window frees every device object it listed,
    // first on the change and again when the removal timer empties the list.
    const int before = changes;
    bus.Unplug(keyboard);
    EXPECT_TRUE(WaitForChanges(before + 1));
    EXPECT_TRUE(WaitFor([&] { return form->DevListBox->Count() == 0; }));
    listedAfterRemoval = form->DevListBox->Count();
    testsupport::SetClientSize(dialog, 650, 450);
    product = info->ProductName->Text();
    vid = info->Vid->Text();
  };
  testsupport::Click(*form->InfoBtn);
  EXPECT_EQ(toolkit.modalRuns, 1);
  EXPECT_EQ(form->InfoDialog(), nullptr);
  EXPECT_EQ(listedAfterRemoval, 0);
  EXPECT_EQ(product, "USB Keyboard with Touchpad");
  EXPECT_EQ(vid, "2C7A");
  EXPECT_TRUE(toolkit.TakeErrors().empty());
}

TEST_F(DeveloperButtonsTest, InfoForAnEntryWhoseClaimFailedOpensNothing) {
  Open();
  PlugAndWait(apptest::MakeKeyboard(6));
  form->Timer4Timer();  // every claimed device goes back to the controller
  hid::THidDevice* held = nullptr;
  ASSERT_TRUE(form->HidCtl->ClaimDeviceByIndex(held, 5));
  std::unique_ptr<hid::THidDevice> heldOwner(held);
  PlugAndWait(apptest::MakeOtherDevice());
  ASSERT_EQ(form->DevListBox->ItemIndex(), 5);
  ASSERT_EQ(form->DeviceOfEntry(5), nullptr);
  testsupport::Click(*form->InfoBtn);
  EXPECT_EQ(toolkit.modalRuns, 0);
}

}  // namespace
