// The modal save dialog on Qt: QFileDialog set up from the behaviour's
// description of it.
#pragma once

#include <QFileDialog>

#include <functional>
#include <optional>
#include <string>

#include "ui/Toolkit.h"

class QWidget;

namespace qtui {

// Title, filters (the first chosen; each name shows as it stands, without
// Qt's pattern list; "*.*" is every file, also one without a dot), default
// extension, directory (the process's current one when the description
// names none), and whether an existing file is replaced without a question.
void ConfigureSaveDialog(QFileDialog& dialog, const ui::SaveDialogOptions& layout);

// Runs the configured dialog and returns its result (QDialog::Accepted or
// QDialog::Rejected). The window shows it modally; tests answer it instead.
using DialogRunner = std::function<int(QFileDialog& dialog)>;
int ExecModally(QFileDialog& dialog);

// The chosen file, empty when the user cancelled.
std::optional<std::string> AskSaveFileName(QWidget* owner, const ui::SaveDialogOptions& layout,
                                           const DialogRunner& run = ExecModally);

}  // namespace qtui
