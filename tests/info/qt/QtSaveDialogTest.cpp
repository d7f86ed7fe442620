// The save dialog on Qt, set up from the Save button's description: what it
// offers, and the name it returns for what the user typed.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include "app/HistoryLogDialog.h"
#include "app/qt/QtSaveDialog.h"

namespace {

// Runs a test inside its own current directory, the one the dialog opens in.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const QString& path) : previous_(QDir::currentPath()) {
    QDir::setCurrent(path);
  }
  ~ScopedCurrentDir() { QDir::setCurrent(previous_); }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  QString previous_;
};

TEST(QtSaveDialogTest, OffersTextFilesFirstInTheCurrentDirectory) {
  QTemporaryDir dir;
  ScopedCurrentDir cwd(dir.path());
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  qtui::ConfigureSaveDialog(dialog, historylog::SaveDialogDescription());
  EXPECT_EQ(dialog.windowTitle(), "Save History");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.defaultSuffix(), "txt");
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  ASSERT_EQ(dialog.nameFilters().size(), 2);
  auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), "Text Files *.txt");
  EXPECT_EQ(types->itemText(1), "All Files *.*");
  EXPECT_EQ(types->currentIndex(), 0);
}

TEST(QtSaveDialogTest, BareNameGetsTxtAndCancelGivesNothing) {
  QTemporaryDir dir;
  ScopedCurrentDir cwd(dir.path());
  const auto typed = [](const QString& name, bool accept) {
    return [name, accept](QFileDialog& dialog) {
      dialog.setOption(QFileDialog::DontUseNativeDialog, true);
      // Typed as a user would: selectFile() leaves a focused name field alone.
      auto* field = dialog.findChild<QLineEdit*>("fileNameEdit");
      if (field != nullptr) {
        field->setText(name);
      } else {
        dialog.selectFile(name);
      }
      if (accept) {
        static_cast<QDialog&>(dialog).accept();
      } else {
        dialog.reject();
      }
      return dialog.result();
    };
  };
  const auto chosen =
      qtui::AskSaveFileName(nullptr, historylog::SaveDialogDescription(), typed("history", true));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QString::fromStdString(*chosen), QDir(dir.path()).filePath("history.txt"));

  EXPECT_FALSE(
      qtui::AskSaveFileName(nullptr, historylog::SaveDialogDescription(), typed("other", false))
          .has_value());
}

}  // namespace
