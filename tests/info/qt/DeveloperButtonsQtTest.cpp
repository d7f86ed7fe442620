// What only the Qt window shows of its Info button: the dialog is a child
// window of the update window and paints after the device it shows is gone.
#include <QPixmap>
#include <QWidget>

#include "app/qt/QtToolkit.h"
#include "hid/info/Info.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace {

class DeveloperButtonsQtTest : public apptest::ScratchDirWindowTest {};

TEST_F(DeveloperButtonsQtTest, InfoDialogBelongsToTheWindowAndPaintsWithoutItsDevice) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(apptest::MakeKeyboard(6));
  ASSERT_NE(form->DevListBox->ItemIndex(), -1);
  bool painted = false;
  toolkit.whileModal = [&](ui::Form& dialog) {
    QWidget& window = qtui::WidgetOf(dialog);
    EXPECT_EQ(window.parentWidget(), &qtui::WidgetOf(form->Window()));
    UnplugAndWait(keyboard);
    EXPECT_TRUE(WaitFor([&] { return form->DevListBox->Count() == 0; }));
    window.resize(650, 450);
    painted = !window.grab().isNull();
  };
  form->InfoBtn->Click();
  EXPECT_EQ(toolkit.modalRuns, 1);
  EXPECT_TRUE(painted);
}

}  // namespace
