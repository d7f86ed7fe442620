// The window's "Save" developer button: the HistoryLog into a text file.
#include <QListWidget>

#include "app/DevReader.h"
#include "app/HistoryLogDialog.h"

void TbootloaderFORM::SaveBtnClick() {
  QStringList lines;
  for (int i = 0; i < HistoryListBox->count(); ++i) lines << HistoryListBox->item(i)->text();
  // A file that cannot be written raises; the application shows the error.
  historylog::SaveHistory(this, lines);
}
