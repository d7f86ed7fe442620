// Writing the HistoryLog to its file and what the Save button asks of the
// save dialog; no toolkit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/HistoryLogDialog.h"
#include "app/HistoryLogFile.h"
#include "tests/support/TempDir.h"
#ifndef _WIN32
#include "tests/support/PermissionBits.h"
#endif

namespace {

using historylog::HistoryFileError;
using historylog::WriteHistoryFile;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A path as the UTF-8 text the writer takes, and back.
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ErrorOf(const std::string& path, const std::vector<std::string>& lines) {
  try {
    WriteHistoryFile(path, lines);
  } catch (const HistoryFileError& error) {
    return error.what();
  }
  return "no error";
}

TEST(HistoryLogFileTest, EveryLineEndsWithCrLfAndAnOldFileIsReplaced) {
  const testsupport::TempDir dir;
  const std::string path = Utf8(dir / "log.txt");
  dir.Write("log.txt", std::vector<std::uint8_t>(1000, 'x'));
  WriteHistoryFile(path, {"Device VID=04D9 PID=8022 VER=0100", "W --> 09 94 08 ", ""});
  EXPECT_EQ(ReadAll(path), "Device VID=04D9 PID=8022 VER=0100\r\nW --> 09 94 08 \r\n\r\n");

  WriteHistoryFile(path, {});
  EXPECT_EQ(ReadAll(path), "");

  // Names and lines are UTF-8, in the file and in the file's name alike.
  const std::string named = Utf8(dir.Path()) + "/Verlauf-\xC3\xBC.txt";
  WriteHistoryFile(named, {"Ger\xC3\xA4t"});
  EXPECT_EQ(ReadAll(PathOf(named)), "Ger\xC3\xA4t\r\n");
}

TEST(HistoryLogFileTest, FailuresNameTheFile) {
  const testsupport::TempDir dir;
  const std::string missingDir = Utf8(dir / "no-such-dir" / "log.txt");
  EXPECT_EQ(ErrorOf(missingDir, {"a"}), "Cannot create file " + missingDir);
  EXPECT_EQ(ErrorOf(Utf8(dir.Path()), {"a"}), "Cannot create file " + Utf8(dir.Path()));
#ifndef _WIN32
  // A directory nobody may create files in, whoever runs the test.
  EXPECT_EQ(ErrorOf("/proc/history.txt", {"a"}), "Cannot create file /proc/history.txt");
  {
    const testsupport::PermissionBitsBind asAnyUser;
    const std::filesystem::path locked = dir / "locked";
    ASSERT_TRUE(std::filesystem::create_directory(locked));
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string inside = (locked / "log.txt").string();
    EXPECT_EQ(ErrorOf(inside, {"a"}), "Cannot create file " + inside);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  }
  // A device that accepts the open but no data: the log must not look saved.
  EXPECT_EQ(ErrorOf("/dev/full", {"a"}), "Cannot write file /dev/full");
#endif
}

TEST(SaveDialogTest, AsksForTextFilesFirstInTheCurrentDirectory) {
  const ui::SaveDialogSpec spec = historylog::SaveDialogDescription();
  EXPECT_EQ(spec.title, "Save History");
  ASSERT_EQ(spec.filters.size(), 2u);
  EXPECT_EQ(spec.filters[0].description, "Text Files");
  EXPECT_EQ(spec.filters[0].pattern, "*.txt");
  EXPECT_EQ(spec.filters[1].description, "All Files");
  EXPECT_EQ(spec.filters[1].pattern, "*.*");
  EXPECT_EQ(spec.defaultExtension, "txt");
  EXPECT_TRUE(spec.initialDirectory.empty());
  EXPECT_TRUE(spec.replaceWithoutPrompt);
}

}  // namespace
