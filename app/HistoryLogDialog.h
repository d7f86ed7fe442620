// The "Save" developer button: asks for a file name with the save dialog and
// writes the HistoryLog there.
#pragma once

#include <QFileDialog>
#include <QStringList>

#include <functional>

class QWidget;

namespace historylog {

// Title, the two filters ("Text Files *.txt" first), default extension "txt",
// the process's current directory, and an existing file replaced without a
// question.
void ConfigureSaveDialog(QFileDialog& dialog);

// Runs the configured dialog and returns its result (QDialog::Accepted or
// QDialog::Rejected). The window shows it modally; tests answer it instead.
using DialogRunner = std::function<int(QFileDialog& dialog)>;
int ExecModally(QFileDialog& dialog);

// Asks for the file and writes `lines` to it. Returns false when the user
// cancelled. Throws HistoryFileError when the file cannot be written.
bool SaveHistory(QWidget* owner, const QStringList& lines, const DialogRunner& run = ExecModally);

}  // namespace historylog
