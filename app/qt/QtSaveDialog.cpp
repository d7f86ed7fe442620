#include "app/qt/QtSaveDialog.h"

#include <QDir>

namespace qtui {

void ConfigureSaveDialog(QFileDialog& dialog, const ui::SaveDialogSpec& spec) {
  dialog.setWindowTitle(QString::fromStdString(spec.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  QStringList filters;
  for (const ui::FileFilter& filter : spec.filters) {
    const QString pattern = QString::fromStdString(filter.pattern);
    const QString matched = pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern;
    filters << QStringLiteral("%1 %2 (%3)")
                   .arg(QString::fromStdString(filter.description), pattern, matched);
  }
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
  dialog.setDirectory(spec.initialDirectory.empty()
                          ? QDir::currentPath()
                          : QString::fromStdString(spec.initialDirectory));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, spec.replaceWithoutPrompt);
}

int ExecModally(QFileDialog& dialog) {
  return dialog.exec();
}

std::optional<std::string> AskSaveFileName(QWidget* owner, const ui::SaveDialogSpec& spec,
                                           const DialogRunner& run) {
  QFileDialog dialog(owner);
  ConfigureSaveDialog(dialog, spec);
  if (run(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first().toStdString();
}

}  // namespace qtui
