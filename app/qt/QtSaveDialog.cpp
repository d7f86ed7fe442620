#include "app/qt/QtSaveDialog.h"

#include <QDir>

namespace qtui {

void ConfigureSaveDialog(QFileDialog& dialog, const ui::SaveDialogOptions& layout) {
  dialog.setWindowTitle(QString::fromStdString(layout.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  QStringList filters;
  for (const ui::FileFilter& filter : layout.filters) {
    const QString pattern = QString::fromStdString(filter.pattern);
    const QString matched = pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern;
    // The name already shows the pattern; Qt hides the part in brackets.
    filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(filter.description), matched);
  }
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QString::fromStdString(layout.defaultExtension));
  dialog.setDirectory(layout.initialDirectory.empty()
                          ? QDir::currentPath()
                          : QString::fromStdString(layout.initialDirectory));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, layout.replaceWithoutPrompt);
}

int ExecModally(QFileDialog& dialog) {
  return dialog.exec();
}

std::optional<std::string> AskSaveFileName(QWidget* owner, const ui::SaveDialogOptions& layout,
                                           const DialogRunner& run) {
  QFileDialog dialog(owner);
  ConfigureSaveDialog(dialog, layout);
  if (run(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first().toStdString();
}

}  // namespace qtui
