#include "app/HistoryLogDialog.h"

namespace historylog {

ui::SaveDialogOptions SaveDialogDescription() {
  return {.title = "Save History",
          .filters = {{"Text Files *.txt", "*.txt"}, {"All Files *.*", "*.*"}},
          .defaultExtension = "txt",
          .initialDirectory = "",
          .replaceWithoutPrompt = true};
}

}  // namespace historylog
