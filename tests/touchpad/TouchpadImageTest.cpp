#include "touchpad/TouchpadImage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/touchpad/PatternImage.h"

namespace {

using testsupport::TempDir;
using touchpad::AppendHexLines;
using touchpad::ByteToHex;
using touchpad::ImageOpenError;
using touchpad::ImageStager;
using touchpad::StageOutcome;
using touchpad::StrToByte;
using touchpad_test::PatternImage;

// Collects staged lines and every counter value it is told.
class RecordingSink : public touchpad::StagedLineSink {
 public:
  void AppendStagedLine(std::string_view line) override {
    lines.emplace_back(line);
    if (throwAfter != 0 && lines.size() == throwAfter) throw std::runtime_error("sink full");
  }
  void StagedLineCountChanged(std::int32_t count) override { counts.push_back(count); }

  std::vector<std::string> lines;
  std::vector<std::int32_t> counts;
  std::size_t throwAfter = 0;
};

// The expected staged text of 16 file bytes starting at `offset`; bytes past
// the end of the file are zero.
std::string HexOf(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::string text;
  for (std::size_t i = offset; i < offset + 16; ++i) {
    text += ByteToHex(i < bytes.size() ? bytes[i] : 0);
  }
  return text;
}

std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST(ByteToHexTest, TwoUpperCaseDigits) {
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(ByteToHex(0x0A), "0A");
  EXPECT_EQ(ByteToHex(0x7F), "7F");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
  EXPECT_EQ(ByteToHex(0xFF), "FF");
}

TEST(StrToByteTest, RoundTripsEveryByteAndMatchesNothingElse) {
  for (int value = 0; value < 256; ++value) {
    const auto parsed = StrToByte(ByteToHex(static_cast<std::uint8_t>(value)));
    ASSERT_TRUE(parsed.has_value()) << value;
    EXPECT_EQ(*parsed, value);
  }
  // Every other two-character text has no value: lower case, signs, blanks.
  int matches = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string text{static_cast<char>(a), static_cast<char>(b)};
      if (StrToByte(text)) ++matches;
    }
  }
  EXPECT_EQ(matches, 256);
  for (const char* text : {"0a", "a0", "A", " A", "0A ", "", "0G", "-1", "100", "0x"}) {
    EXPECT_FALSE(StrToByte(text).has_value()) << '"' << text << '"';
  }
}

TEST(AppendHexLinesTest, OneLinePerSixteenBytesWithCounterAfterEachLine) {
  std::vector<std::uint8_t> data(40);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xF0 + i);
  RecordingSink sink;
  std::int32_t counter = 5;
  AppendHexLines(data, sink, counter);
  ASSERT_EQ(sink.lines.size(), 2u);  // the 8 trailing bytes make no line
  EXPECT_EQ(sink.lines[0], "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF");
  EXPECT_EQ(sink.lines[1], "000102030405060708090A0B0C0D0E0F");
  EXPECT_EQ(counter, 7);
  EXPECT_EQ(sink.counts, (std::vector<std::int32_t>{6, 7}));
}

TEST(ImageStagerTest, FullImageStagesOffsets256To45823) {
  TempDir dir;
  const auto image = PatternImage(45824);
  const std::string path = dir.Write("img", image);
  ImageStager stager;
  RecordingSink sink;
  std::int32_t counter = 0;
  stager.Stage(path, sink, counter);
  ASSERT_EQ(sink.lines.size(), 2848u);
  for (std::size_t k = 0; k < sink.lines.size(); ++k) {
    ASSERT_EQ(sink.lines[k], HexOf(image, 256 + 16 * k)) << "line " << k + 1;
  }
  EXPECT_EQ(counter, 2848);
  ASSERT_EQ(sink.counts.size(), 2848u);
  EXPECT_EQ(sink.counts.front(), 1);
  EXPECT_EQ(sink.counts.back(), 2848);
}

TEST(ImageStagerTest, ShortImagesArePaddedWithZerosOfTheClearedBuffer) {
  TempDir dir;
  const std::string zeros(32, '0');
  {
    const auto image = PatternImage(300);
    ImageStager stager;
    RecordingSink sink;
    std::int32_t counter = 0;
    stager.Stage(dir.Write("300", image), sink, counter);
    ASSERT_EQ(sink.lines.size(), 2848u);
    EXPECT_EQ(sink.lines[0], HexOf(image, 256));
    EXPECT_EQ(sink.lines[1], HexOf(image, 272));
    EXPECT_EQ(sink.lines[2], HexOf(image, 288));
    EXPECT_EQ(sink.lines[2].substr(24), std::string(8, '0'));
    EXPECT_NE(sink.lines[2].substr(0, 24), std::string(24, '0'));
    for (std::size_t k = 3; k < sink.lines.size(); ++k) ASSERT_EQ(sink.lines[k], zeros) << k;
    EXPECT_EQ(counter, 2848);
  }
  for (std::size_t size : {256u, 1u}) {
    ImageStager stager;
    RecordingSink sink;
    std::int32_t counter = 0;
    stager.Stage(dir.Write("small", std::vector<std::uint8_t>(size, 0xEE)), sink, counter);
    ASSERT_EQ(sink.lines.size(), 2848u) << size;
    for (const auto& line : sink.lines) ASSERT_EQ(line, zeros) << size;
  }
}

TEST(ImageStagerTest, EmptyImageStagesNothing) {
  TempDir dir;
  ImageStager stager;
  RecordingSink sink;
  std::int32_t counter = 0;
  stager.Stage(dir.Write("empty", {}), sink, counter);
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_TRUE(sink.counts.empty());
  EXPECT_EQ(counter, 0);
}

TEST(ImageStagerTest, LongImageIsReadAgainAndRestagesTheBufferWindow) {
  TempDir dir;
  const auto image = PatternImage(65546);
  ImageStager stager;
  RecordingSink sink;
  std::int32_t counter = 0;
  stager.Stage(dir.Write("long", image), sink, counter);
  ASSERT_EQ(sink.lines.size(), 5696u);
  EXPECT_EQ(counter, 5696);
  // The second read fills only the first 10 bytes, below the window.
  for (std::size_t k = 0; k < 2848; ++k) {
    ASSERT_EQ(sink.lines[k], HexOf(image, 256 + 16 * k)) << k;
    ASSERT_EQ(sink.lines[2848 + k], sink.lines[k]) << k;
  }
}

TEST(ImageStagerTest, BufferKeepsTheLastReadUntilCleared) {
  TempDir dir;
  const auto big = PatternImage(45824, 3);
  const auto small = PatternImage(300, 9);
  const std::string bigPath = dir.Write("big", big);
  const std::string smallPath = dir.Write("small", small);
  ImageStager stager;
  std::int32_t counter = 0;
  RecordingSink first;
  stager.Stage(bigPath, first, counter);

  // Without clearing, the window past the short read still holds the big image.
  RecordingSink stale;
  stager.Stage(smallPath, stale, counter);
  ASSERT_EQ(stale.lines.size(), 2848u);
  EXPECT_EQ(stale.lines[0], HexOf(small, 256));
  EXPECT_EQ(stale.lines[3], first.lines[3]);
  EXPECT_EQ(stale.lines[2847], first.lines[2847]);

  stager.ClearBuffer();
  RecordingSink fresh;
  stager.Stage(smallPath, fresh, counter);
  EXPECT_EQ(fresh.lines[0], HexOf(small, 256));
  EXPECT_EQ(fresh.lines[3], std::string(32, '0'));
  EXPECT_EQ(fresh.lines[2847], std::string(32, '0'));
}

TEST(ImageStagerTest, MissingFileNamesItAndStagesNothing) {
  TempDir dir;
  const std::string path = (dir.Path() / "TPIMAGE-QX4410-01.IMG").string();
  ImageStager stager;
  RecordingSink sink;
  std::int32_t counter = 0;
  try {
    stager.Stage(path, sink, counter);
    FAIL() << "no error for a missing image";
  } catch (const ImageOpenError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
  }
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_EQ(counter, 0);
}

TEST(ImageStagerTest, ReadErrorEndsTheLoopLikeEndOfFile) {
  // A regular file whose every read fails.
  ImageStager stager;
  RecordingSink sink;
  std::int32_t counter = 0;
  EXPECT_EQ(stager.Stage("/proc/self/mem", sink, counter).outcome, StageOutcome::kStaged);
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_EQ(counter, 0);
}

TEST(ImageStagerTest, OnlyRegularFilesUpToTheBoundAreReadAndNothingBlocks) {
  TempDir dir;
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: a blocking open never returns
  const std::filesystem::path zero = dir / "zero";
  std::filesystem::create_symlink("/dev/zero", zero);  // would never end
  const std::string oversize = dir.Write("oversize", {});
  ASSERT_EQ(::truncate(oversize.c_str(), touchpad::kMaxImageBytes + 1), 0);
  const std::string bound = dir.Write("bound", {});
  ASSERT_EQ(::truncate(bound.c_str(), touchpad::kMaxImageBytes), 0);

  struct Case {
    std::string path;
    StageOutcome outcome;
    std::uint64_t size;
    std::size_t lines;
  };
  const Case cases[] = {
      {fifo, StageOutcome::kNotRegularFile, 0, 0},
      {zero.string(), StageOutcome::kNotRegularFile, 0, 0},
      {dir.Path().string(), StageOutcome::kNotRegularFile, 0, 0},
      {oversize, StageOutcome::kTooLarge, touchpad::kMaxImageBytes + 1, 0},
      {bound, StageOutcome::kStaged, touchpad::kMaxImageBytes,
       touchpad::kMaxImageBytes / touchpad::kReadBufferBytes * touchpad::kLinesPerRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ImageStager stager;
    RecordingSink sink;
    std::int32_t counter = 0;
    const touchpad::StageResult result = stager.Stage(c.path, sink, counter);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.fileSize, c.size);
    EXPECT_EQ(sink.lines.size(), c.lines);
  }
}

TEST(ImageStagerTest, FileIsClosedOnEveryWayOut) {
  TempDir dir;
  const std::string path = dir.Write("img", PatternImage(65546));
  const std::size_t before = OpenDescriptorCount();
  ImageStager stager;
  std::int32_t counter = 0;
  {
    RecordingSink sink;
    stager.Stage(path, sink, counter);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
  {
    RecordingSink sink;
    sink.throwAfter = 10;
    EXPECT_THROW(stager.Stage(path, sink, counter), std::runtime_error);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
  {
    RecordingSink sink;
    EXPECT_NO_THROW(stager.Stage(dir.Path().string(), sink, counter));
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
