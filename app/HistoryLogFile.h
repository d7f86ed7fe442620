// Writing the HistoryLog to a text file: 8-bit text, every line ended by a
// carriage return and a line feed, an existing file replaced.
#pragma once

#include <QStringList>

#include <stdexcept>
#include <string>

namespace historylog {

// Raised when the file cannot be created ("Cannot create file <name>") or a
// write to it fails ("Cannot write file <name>").
class HistoryFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void WriteHistoryFile(const QString& path, const QStringList& lines);

}  // namespace historylog
