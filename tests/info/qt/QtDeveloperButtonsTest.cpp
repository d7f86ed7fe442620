// Save on the Qt window with the real QFileDialog, answered from the main
// loop as a user would answer it.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>
#include <iterator>

#include "app/qt/QtToolkit.h"
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

// The window on the Qt toolkit itself, so that the real dialog opens.
class QtDeveloperButtonsTest : public apptest::ScratchDirWindowTest {
 protected:
  void OpenOnQt() {
    form = std::make_unique<TbootloaderFORM>(
        testsupport::PlatformToolkit(),
        std::make_unique<apptest::RecordingLauncher>(launches, failLaunch));
    form->DeviceChangeHandled = [this] { ++changes; };
    ShowAndWait();
  }
};

TEST_F(QtDeveloperButtonsTest, SaveAsksWithTheFileDialogAndAddsTheExtension) {
  OpenOnQt();
  PlugAndWait(apptest::MakeOtherDevice());
  const apptest::Lines lines = History();
  ASSERT_EQ(lines.size(), 1u);
  ModalAnswer answer([](QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->windowTitle(), "Save History");
    // Typed as a user would: selectFile() leaves a focused name field alone.
    auto* nameField = files->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(nameField, nullptr);
    nameField->setText("history");
    dialog.accept();
  });
  QTest::mouseClick(&qtui::WidgetOf(*form->SaveBtn), Qt::LeftButton);
  EXPECT_TRUE(answer.Seen());
  std::ifstream file(FilePath("history.txt"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(text, lines[0] + "\r\n");
}

}  // namespace
