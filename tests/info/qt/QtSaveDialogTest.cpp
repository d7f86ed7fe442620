// The save dialog on Qt: QFileDialog as the description configures it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
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

TEST(QtSaveDialogTest, BareNameGetsTxtAndCancelChoosesNothing) {
  QTemporaryDir dir;
  ScopedCurrentDir cwd(dir.path());
  const ui::SaveDialogOptions layout = historylog::SaveDialogDescription();

  const auto chosen = qtui::AskSaveFileName(nullptr, layout, [](QFileDialog& dialog) {
    dialog.selectFile("history");
    static_cast<QDialog&>(dialog).accept();
    return dialog.result();
  });
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).fileName(), "history.txt");

  const auto cancelled = qtui::AskSaveFileName(nullptr, layout, [](QFileDialog& dialog) {
    dialog.selectFile("other");
    dialog.reject();
    return dialog.result();
  });
  EXPECT_FALSE(cancelled.has_value());
}

}  // namespace
