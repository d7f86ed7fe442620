// Writing the HistoryLog to a text file: every line ended by a carriage
// return and a line feed, an existing file replaced. Names and lines are
// UTF-8.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace historylog {

// Raised when the file cannot be created ("Cannot create file <name>") or a
// write to it fails ("Cannot write file <name>").
class HistoryFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void WriteHistoryFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace historylog
