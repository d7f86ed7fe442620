// The "Save" developer button's dialog: what it asks for.
#pragma once

#include "ui/Toolkit.h"

namespace historylog {

// Title "Save History", the two filters ("Text Files *.txt" first, then "All
// Files *.*": the names both windows show as they stand), default extension
// "txt", the process's current directory, and an existing file replaced
// without a question.
ui::SaveDialogOptions SaveDialogDescription();

}  // namespace historylog
