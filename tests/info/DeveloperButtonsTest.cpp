// The window's Save and Info developer buttons, with the modal dialogs
// answered by timers so no test waits for a person.
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>

#include <functional>

#include "hid/info/Info.h"
#include "tests/touchpad/AppErrors.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace {

// Answers the next modal dialog from the main loop. Whatever it does not
// close is rejected after a while, so a missed dialog cannot hang the test.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(QDialog&)> answer) : answer_(std::move(answer)) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      poll_.stop();
      seen_ = true;
      answer_(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    poll_.start();
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->reject();
      }
    });
    watchdog_.start(20000);
  }

  bool Seen() const { return seen_; }

 private:
  std::function<void(QDialog&)> answer_;
  QTimer poll_;
  QTimer watchdog_;
  bool seen_ = false;
};

void AcceptFileName(QDialog& dialog, const QString& name) {
  auto* files = qobject_cast<QFileDialog*>(&dialog);
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->windowTitle(), "Save History");
  // Typed as a user would: selectFile() leaves a focused name field alone.
  auto* nameField = files->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(nameField, nullptr);
  nameField->setText(name);
  dialog.accept();
}

class DeveloperButtonsTest : public apptest::ScratchDirWindowTest {
 protected:
  QByteArray FileText(const QString& name) const {
    QFile file(dir_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }
};

TEST_F(DeveloperButtonsTest, SaveWritesTheHistoryLog) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  PlugAndWait(apptest::MakeBootLoader());
  const QStringList lines = History();
  ASSERT_EQ(lines.size(), 2);

  ModalAnswer answer([](QDialog& dialog) { AcceptFileName(dialog, "history"); });
  Click(form->SaveBtn);
  EXPECT_TRUE(answer.Seen());
  EXPECT_EQ(FileText("history.txt"), (lines.join("\r\n") + "\r\n").toLocal8Bit());
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
  EXPECT_EQ(History(), lines);
}

TEST_F(DeveloperButtonsTest, SaveOfAnEmptyLogAndCancel) {
  Open();
  ASSERT_TRUE(History().isEmpty());
  {
    ModalAnswer answer([](QDialog& dialog) { AcceptFileName(dialog, "empty.log"); });
    Click(form->SaveBtn);
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_EQ(FileText("empty.log"), QByteArray());
  {
    ModalAnswer answer([](QDialog& dialog) {
      dialog.findChild<QLineEdit*>("fileNameEdit")->setText("cancelled");
      dialog.reject();
    });
    Click(form->SaveBtn);
    EXPECT_TRUE(answer.Seen());
  }
  EXPECT_FALSE(QFile::exists(dir_.filePath("cancelled.txt")));
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
}

TEST_F(DeveloperButtonsTest, SaveIntoAMissingDirectoryShowsTheError) {
  Open();
  PlugAndWait(apptest::MakeOtherDevice());
  const QStringList lines = History();
  const QString target = dir_.filePath("missing/log.txt");
  ModalAnswer answer([&](QDialog& dialog) { AcceptFileName(dialog, target); });
  Click(form->SaveBtn);
  EXPECT_EQ(apptest::TakeReportedErrors(), QStringList{"Cannot create file " + target});
  EXPECT_EQ(History(), lines);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(DeveloperButtonsTest, InfoOpensNothingWithoutASelectedDevice) {
  Open();
  ModalAnswer none([](QDialog&) {});
  Click(form->InfoBtn);  // empty list
  PlugAndWait(apptest::MakeKeyboard(3));
  ASSERT_EQ(form->DevListBox->count(), 3);
  ASSERT_TRUE(form->DevListBox->selectedItems().isEmpty());
  Click(form->InfoBtn);  // nothing selected
  QTest::qWait(50);
  EXPECT_FALSE(none.Seen());
}

TEST_F(DeveloperButtonsTest, InfoShowsTheSelectedDeviceAndSurvivesItsRemoval) {
  Open();
  const std::uint32_t keyboard = PlugAndWait(apptest::MakeKeyboard(6));
  ASSERT_EQ(form->DevListBox->count(), 6);
  ASSERT_FALSE(form->DevListBox->selectedItems().isEmpty());

  QString product;
  QString vid;
  int listedAfterRemoval = -1;
  ModalAnswer answer([&](QDialog& dialog) {
    auto* info = qobject_cast<TInfoForm*>(&dialog);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->parentWidget(), form.get());
    // The keyboard goes; the window frees every device object it listed,
    // first on the change and again when the removal timer empties the list.
    const int before = changes;
    bus.Unplug(keyboard);
    EXPECT_TRUE(WaitForChanges(before + 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->DevListBox->count() == 0; }, 5000));
    listedAfterRemoval = form->DevListBox->count();
    info->resize(650, 450);
    EXPECT_FALSE(info->grab().isNull());
    product = info->ProductName->text();
    vid = info->Vid->text();
    dialog.accept();
  });
  Click(form->InfoBtn);
  EXPECT_TRUE(answer.Seen());
  EXPECT_EQ(listedAfterRemoval, 0);
  EXPECT_EQ(product, QString::fromUtf16(apptest::kKeyboardProduct));
  EXPECT_EQ(vid, "2C7A");
  EXPECT_TRUE(apptest::TakeReportedErrors().isEmpty());
}

}  // namespace
