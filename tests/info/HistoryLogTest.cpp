#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "app/HistoryLogDialog.h"
#include "app/HistoryLogFile.h"
#include "tests/support/PermissionBits.h"

namespace {

using historylog::HistoryFileError;
using historylog::SaveHistory;
using historylog::WriteHistoryFile;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

std::string ErrorOf(const QString& path, const QStringList& lines) {
  try {
    WriteHistoryFile(path, lines);
  } catch (const HistoryFileError& error) {
    return error.what();
  }
  return "no error";
}

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

TEST(HistoryLogFileTest, EveryLineEndsWithCrLfAndAnOldFileIsReplaced) {
  QTemporaryDir dir;
  const QString path = dir.filePath("log.txt");
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'x'));
  }
  WriteHistoryFile(path, {"Device VID=04D9 PID=8022 VER=0100", "W --> 09 94 08 ", ""});
  EXPECT_EQ(ReadAll(path),
            QByteArray("Device VID=04D9 PID=8022 VER=0100\r\nW --> 09 94 08 \r\n\r\n"));

  WriteHistoryFile(path, {});
  EXPECT_EQ(ReadAll(path), QByteArray());
}

TEST(HistoryLogFileTest, FailuresNameTheFile) {
  QTemporaryDir dir;
  const QString missingDir = dir.filePath("no-such-dir/log.txt");
  EXPECT_EQ(ErrorOf(missingDir, {"a"}), "Cannot create file " + missingDir.toStdString());
  EXPECT_EQ(ErrorOf(dir.path(), {"a"}), "Cannot create file " + dir.path().toStdString());
  // A directory nobody may create files in, whoever runs the test.
  EXPECT_EQ(ErrorOf("/proc/history.txt", {"a"}), "Cannot create file /proc/history.txt");
  {
    const testsupport::PermissionBitsBind asAnyUser;
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(ErrorOf(locked + "/log.txt", {"a"}),
              "Cannot create file " + (locked + "/log.txt").toStdString());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // A device that accepts the open but no data: the log must not look saved.
  EXPECT_EQ(ErrorOf("/dev/full", {"a"}), "Cannot write file /dev/full");
}

TEST(SaveDialogTest, OffersTextFilesFirstInTheCurrentDirectory) {
  QTemporaryDir dir;
  ScopedCurrentDir cwd(dir.path());
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  historylog::ConfigureSaveDialog(dialog);
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

TEST(SaveDialogTest, BareNameGetsTxtAndCancelWritesNothing) {
  QTemporaryDir dir;
  ScopedCurrentDir cwd(dir.path());
  const QStringList lines{"one", "two"};

  const bool saved = SaveHistory(nullptr, lines, [](QFileDialog& dialog) {
    dialog.selectFile("history");
    static_cast<QDialog&>(dialog).accept();
    return dialog.result();
  });
  EXPECT_TRUE(saved);
  EXPECT_EQ(ReadAll(dir.filePath("history.txt")), QByteArray("one\r\ntwo\r\n"));
  EXPECT_FALSE(QFile::exists(dir.filePath("history")));

  const bool cancelled = SaveHistory(nullptr, lines, [](QFileDialog& dialog) {
    dialog.selectFile("other");
    dialog.reject();
    return dialog.result();
  });
  EXPECT_FALSE(cancelled);
  EXPECT_FALSE(QFile::exists(dir.filePath("other.txt")));
}

}  // namespace
