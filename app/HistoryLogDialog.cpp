#include "app/HistoryLogDialog.h"

#include <QDir>

#include "app/HistoryLogFile.h"

namespace historylog {

void ConfigureSaveDialog(QFileDialog& dialog) {
  dialog.setWindowTitle(QStringLiteral("Save History"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The patterns stay out of the names the user sees; "All Files" is every
  // file, also one without a dot.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(
      {QStringLiteral("Text Files *.txt (*.txt)"), QStringLiteral("All Files *.* (*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setDirectory(QDir::currentPath());
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
}

int ExecModally(QFileDialog& dialog) {
  return dialog.exec();
}

bool SaveHistory(QWidget* owner, const QStringList& lines, const DialogRunner& run) {
  QFileDialog dialog(owner);
  ConfigureSaveDialog(dialog);
  if (run(dialog) != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  WriteHistoryFile(chosen.first(), lines);
  return true;
}

}  // namespace historylog
