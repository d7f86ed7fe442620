// The window's "Save" developer button: the HistoryLog into a text file.
#include <string>
#include <vector>

#include "app/DevReader.h"
#include "app/HistoryLogDialog.h"
#include "app/HistoryLogFile.h"

void TbootloaderFORM::SaveBtnClick() {
  const std::optional<std::string> path =
      toolkit_.AskSaveFileName(historylog::SaveDialogDescription(), *window_);
  if (!path) return;
  std::vector<std::string> lines;
  for (int i = 0; i < HistoryListBox->Count(); ++i) lines.push_back(HistoryListBox->Item(i));
  // A file that cannot be written raises; the toolkit's error box shows it.
  historylog::WriteHistoryFile(*path, lines);
}
