#include "touchpad/TouchpadBlocks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/touchpad/PatternImage.h"
#include "touchpad/TouchpadImage.h"

namespace {

using touchpad::BlockRecord;
using touchpad::BlockTableStatus;
using touchpad::BuildBlockTable;

class LineList : public touchpad::StagedLines, public touchpad::StagedLineSink {
 public:
  int LineCount() const override { return static_cast<int>(lines.size()); }
  std::string Line(int index) const override { return lines.at(static_cast<std::size_t>(index)); }
  void AppendStagedLine(std::string_view line) override { lines.emplace_back(line); }
  void StagedLineCountChanged(std::int32_t) override {}

  std::vector<std::string> lines;
};

LineList StagedFrom(const std::vector<std::uint8_t>& image) {
  testsupport::TempDir dir;
  LineList list;
  touchpad::ImageStager stager;
  std::int32_t counter = 0;
  stager.Stage(dir.Write("img", image), list, counter);
  return list;
}

// The record a transfer would send for the 16 image bytes at `offset`.
BlockRecord Expected(const std::vector<std::uint8_t>& image, std::size_t offset,
                     std::uint8_t command) {
  BlockRecord record{};
  record[0] = 0x0A;
  record[1] = command;
  for (std::size_t k = 0; k < 16; ++k) record[2 + k] = image[offset + k];
  record[18] = 0;
  return record;
}

TEST(BlockTableTest, RecordsCarryTheImageBytesWithTheirBlockCommand) {
  const auto image = touchpad_test::PatternImage(45824, 5);
  const auto table = BuildBlockTable(StagedFrom(image));
  ASSERT_EQ(table.status, BlockTableStatus::kBuilt);
  ASSERT_EQ(table.records.size(), 2784u);
  EXPECT_EQ(table.records[0], Expected(image, 256, 0x02));       // record 1
  EXPECT_EQ(table.records[2751], Expected(image, 44272, 0x02));  // record 2,752
  EXPECT_EQ(table.records[2752], Expected(image, 44288, 0x06));  // record 2,753
  EXPECT_EQ(table.records[2783], Expected(image, 44784, 0x06));  // record 2,784
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    ASSERT_EQ(table.records[i], Expected(image, 256 + 16 * i, i < 2752 ? 0x02 : 0x06)) << i + 1;
  }
}

TEST(BlockTableTest, OnlyTheFirstRecordCountLinesAreUsed) {
  const auto image = touchpad_test::PatternImage(65546, 2);
  const LineList lines = StagedFrom(image);
  ASSERT_EQ(lines.LineCount(), 5696);
  const auto table = BuildBlockTable(lines);
  ASSERT_EQ(table.status, BlockTableStatus::kBuilt);
  EXPECT_EQ(table.records.size(), 2784u);
  EXPECT_EQ(table.records.back(), Expected(image, 44784, 0x06));
}

TEST(BlockTableTest, TooFewOrDamagedLinesBuildNothing) {
  LineList none;
  auto table = BuildBlockTable(none);
  EXPECT_EQ(table.status, BlockTableStatus::kTooFewLines);
  EXPECT_TRUE(table.records.empty());

  LineList almost;
  almost.lines.assign(2783, std::string(32, '0'));
  table = BuildBlockTable(almost);
  EXPECT_EQ(table.status, BlockTableStatus::kTooFewLines);
  EXPECT_EQ(table.failedLine, 2783);

  LineList damaged;
  damaged.lines.assign(2784, std::string(32, 'F'));
  damaged.lines[100][5] = 'f';  // lower case has no value
  table = BuildBlockTable(damaged);
  EXPECT_EQ(table.status, BlockTableStatus::kMalformedLine);
  EXPECT_EQ(table.failedLine, 100);
  EXPECT_TRUE(table.records.empty());

  damaged.lines[100] = std::string(31, '0');
  table = BuildBlockTable(damaged);
  EXPECT_EQ(table.status, BlockTableStatus::kMalformedLine);
  EXPECT_EQ(table.failedLine, 100);
}

}  // namespace
