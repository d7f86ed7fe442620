// The window's Save and Info developer buttons, with the modal parts (the
// save dialog, the information dialog, the error box) answered by the
// ScriptedToolkit so no test waits for a person. Only the ui interfaces: the
// same tests run on every front end.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "hid/info/DeviceInfo.h"
#include "hid/info/Info.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace {

class DeveloperButtonsTest : public apptest::ScratchDirWindowTest {
 protected:
  std::string FileText(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    if (!in) return "<missing>";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::size_t FilesInDir() const {
    const std::filesystem::directory_iterator entries(dir_.Path());
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
  }
};

TEST_F(DeveloperButtonsTest, SaveAsksForATextFileAndWritesTheHistoryLog) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  PlugAndWait(apptest::MakeBootLoader());
  const apptest::Lines lines = History();
  ASSERT_EQ(lines.size(), 2u);

  toolkit.saveAnswer = PathIn("history.txt");
  form->SaveBtn->Click();
  ASSERT_EQ(toolkit.saveDialogs.size(), 1u);
  const ui::SaveDialogSpec& asked = toolkit.saveDialogs.front();
  EXPECT_EQ(asked.title, "Save History");
  ASSERT_EQ(asked.filters.size(), 2u);
  EXPECT_EQ(asked.filters[0].description, "Text Files");
  EXPECT_EQ(asked.filters[0].pattern, "*.txt");
  EXPECT_EQ(asked.filters[1].pattern, "*.*");
  EXPECT_EQ(asked.defaultExtension, "txt");
  EXPECT_TRUE(asked.initialDirectory.empty());  // the current directory
  EXPECT_TRUE(asked.replaceWithoutPrompt);
  EXPECT_EQ(FileText("history.txt"), lines[0] + "\r\n" + lines[1] + "\r\n");
  EXPECT_TRUE(toolkit.TakeErrors().empty());
  EXPECT_EQ(History(), lines);

  // An existing file is replaced, not appended to.
  form->SaveBtn->Click();
  EXPECT_EQ(FileText("history.txt"), lines[0] + "\r\n" + lines[1] + "\r\n");
}

TEST_F(DeveloperButtonsTest, SaveOfAnEmptyLogAndCancel) {
  Open();
  ASSERT_TRUE(History().empty());
  toolkit.saveAnswer = PathIn("empty.log");
  form->SaveBtn->Click();
  EXPECT_EQ(FileText("empty.log"), "");

  toolkit.saveAnswer = std::nullopt;
  form->SaveBtn->Click();
  EXPECT_EQ(toolkit.saveDialogs.size(), 2u);
  EXPECT_EQ(FilesInDir(), 1u);  // the cancelled save wrote nothing
  EXPECT_TRUE(toolkit.TakeErrors().empty());
}

TEST_F(DeveloperButtonsTest, SaveIntoAMissingDirectoryShowsTheError) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  const apptest::Lines lines = History();
  const std::string target = PathIn("missing/log.txt");
  toolkit.saveAnswer = target;
  form->SaveBtn->Click();
  EXPECT_EQ(toolkit.TakeErrors(), std::vector<std::string>{"Cannot create file " + target});
  EXPECT_EQ(History(), lines);
  EXPECT_TRUE(form->Window().IsShown());
}

TEST_F(DeveloperButtonsTest, InfoOpensNothingWithoutASelectedDevice) {
  Open();
  form->InfoBtn->Click();  // empty list
  PlugAndWait(apptest::MakeKeyboard(3));
  ASSERT_EQ(form->DevListBox->Count(), 3);
  ASSERT_EQ(form->DevListBox->ItemIndex(), -1);
  form->InfoBtn->Click();  // nothing selected
  Pump(std::chrono::milliseconds(50));
  EXPECT_EQ(toolkit.modalRuns, 0);
  EXPECT_EQ(form->InfoDialog(), nullptr);
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
    dialog.SetClientSize(650, 450);
    Pump(std::chrono::milliseconds(20));
    product = info->ProductName->Text();
    vid = info->Vid->Text();
  };
  form->InfoBtn->Click();
  EXPECT_EQ(toolkit.modalRuns, 1);
  EXPECT_EQ(form->InfoDialog(), nullptr);
  EXPECT_EQ(listedAfterRemoval, 0);
  EXPECT_EQ(product, DisplayText(apptest::kKeyboardProduct));
  EXPECT_EQ(vid, "2C7A");
  EXPECT_TRUE(toolkit.TakeErrors().empty());
}

}  // namespace
