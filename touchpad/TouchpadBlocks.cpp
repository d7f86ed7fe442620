#include "touchpad/TouchpadBlocks.h"

#include <optional>
#include <string_view>

#include "touchpad/TouchpadImage.h"

namespace touchpad {

BlockTable BuildBlockTable(const StagedLines& lines) {
  BlockTable table;
  if (lines.LineCount() < kBlockRecordCount) {
    table.status = BlockTableStatus::kTooFewLines;
    table.failedLine = lines.LineCount();
    return table;
  }
  std::vector<BlockRecord> records(kBlockRecordCount);
  for (int i = 0; i < kBlockRecordCount; ++i) {
    const std::string line = lines.Line(i);
    BlockRecord& record = records[static_cast<std::size_t>(i)];
    record[0] = kBlockReportId;
    record[1] = i < kProgramBlockRecords ? kProgramBlockCommand : kConfigBlockCommand;
    const std::string_view text(line);
    if (text.size() != kLineLength) {
      table.status = BlockTableStatus::kMalformedLine;
      table.failedLine = i;
      return table;
    }
    for (std::size_t k = 0; k < kBytesPerLine; ++k) {
      const std::optional<std::uint8_t> value = StrToByte(text.substr(2 * k, 2));
      if (!value) {
        table.status = BlockTableStatus::kMalformedLine;
        table.failedLine = i;
        return table;
      }
      record[2 + k] = *value;
    }
    record[18] = 0;
  }
  table.status = BlockTableStatus::kBuilt;
  table.records = std::move(records);
  return table;
}

}  // namespace touchpad
