// Writing the HistoryLog to a file, and the save dialog it asks with.
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
#include <sys/stat.h>

#include "tests/support/PermissionBits.h"
#endif

namespace {

using historylog::HistoryFileError;
using historylog::WriteHistoryFile;

// The file named by a UTF-8 path, whatever the platform's narrow encoding.
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(PathOf(path), std::ios::binary);
  if (!file) return "<missing>";
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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
  testsupport::TempDir dir;
  const std::string path = (dir / "log.txt").string();
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(1000, 'x');
  }
  WriteHistoryFile(path, {"Device VID=04D9 PID=8022 VER=0100", "W --> 09 94 08 ", ""});
  EXPECT_EQ(ReadAll(path), "Device VID=04D9 PID=8022 VER=0100\r\nW --> 09 94 08 \r\n\r\n");

  WriteHistoryFile(path, {});
  EXPECT_EQ(ReadAll(path), "");

  // UTF-8 names and lines arrive as they are.
  const std::string named = Utf8(dir.Path()) + "/Verlauf \xC3\xA4.txt";
  WriteHistoryFile(named, {"Ger\xC3\xA4t"});
  EXPECT_EQ(ReadAll(named), "Ger\xC3\xA4t\r\n");
}

TEST(HistoryLogFileTest, FailuresNameTheFile) {
  testsupport::TempDir dir;
  const std::string missingDir = (dir / "no-such-dir" / "log.txt").string();
  EXPECT_EQ(ErrorOf(missingDir, {"a"}), "Cannot create file " + missingDir);
  EXPECT_EQ(ErrorOf(dir.Path().string(), {"a"}), "Cannot create file " + dir.Path().string());
#ifndef _WIN32
  // A directory nobody may create files in, whoever runs the test.
  EXPECT_EQ(ErrorOf("/proc/history.txt", {"a"}), "Cannot create file /proc/history.txt");
  {
    const testsupport::PermissionBitsBind asAnyUser;
    const std::string locked = (dir / "locked").string();
    ASSERT_TRUE(std::filesystem::create_directory(locked));
    ::chmod(locked.c_str(), 0500);
    EXPECT_EQ(ErrorOf(locked + "/log.txt", {"a"}), "Cannot create file " + locked + "/log.txt");
    ::chmod(locked.c_str(), 0700);
  }
  // A device that accepts the open but no data: the log must not look saved.
  EXPECT_EQ(ErrorOf("/dev/full", {"a"}), "Cannot write file /dev/full");
#endif
}

TEST(SaveDialogTest, AsksForATextFileInTheCurrentDirectory) {
  const ui::SaveDialogOptions layout = historylog::SaveDialogDescription();
  EXPECT_EQ(layout.title, "Save History");
  ASSERT_EQ(layout.filters.size(), 2u);
  EXPECT_EQ(layout.filters[0].description, "Text Files *.txt");
  EXPECT_EQ(layout.filters[1].description, "All Files *.*");
  EXPECT_EQ(layout.filters[0].pattern, "*.txt");
  EXPECT_EQ(layout.filters[1].pattern, "*.*");
  EXPECT_EQ(layout.defaultExtension, "txt");
  EXPECT_TRUE(layout.initialDirectory.empty());
  EXPECT_TRUE(layout.replaceWithoutPrompt);
}

}  // namespace
