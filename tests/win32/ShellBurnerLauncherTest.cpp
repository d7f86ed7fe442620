// Starting the burner on Windows: the argument arrives whole, the program is
// taken from kbupdate's directory only, and a failed start says why.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/SystemErrorText.h"
#include "app/win32/ShellBurnerLauncher.h"
#include "app/win32/Utf16.h"
#include "tests/support/Drive.h"
#include "tests/win32/Win32TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The arguments a program started with that command line sees.
std::vector<std::wstring> ParsedArguments(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> parsed(arguments, arguments + count);
  LocalFree(arguments);
  return parsed;
}

TEST(ShellBurnerLauncher, TheQuotedArgumentComesBackWholeFromTheCommandLine) {
  const std::wstring longDirectory(300, L'd');
  for (const std::wstring& argument :
       {std::wstring(L"C:\\Program Files\\kb tools\\USBKeyboard.MTP"),
        L"C:\\Tools\\" + longDirectory + L"\\with blank\\USBKeyboard.MTP",
        std::wstring(L"C:\\ends with a separator\\"), std::wstring(L"a \"quoted\" \\\"name"),
        std::wstring(L"")}) {
    const std::vector<std::wstring> parsed =
        ParsedArguments(L"mcuprog.exe " + win32::QuotedArgument(argument));
    ASSERT_EQ(parsed.size(), 2u) << win32::Utf8FromUtf16(argument);
    EXPECT_EQ(parsed[1], argument);
  }
  EXPECT_EQ(win32::QuotedArgument(L"C:\\a b\\x.MTP"), L"\"C:\\a b\\x.MTP\"");
  EXPECT_EQ(win32::ProgramPathIn("C:\\Tools", "mcuprog.exe"), L"C:\\Tools\\mcuprog.exe");
  EXPECT_EQ(win32::ProgramPathIn("C:\\Tools\\", "mcuprog.exe"), L"C:\\Tools\\mcuprog.exe");
}

struct BurnerFolder {
  BurnerFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    root = fs::path(temp) / ("kb launcher " + std::to_string(GetCurrentProcessId()));
    withBurner = root / "kbupdate with blanks";
    empty = root / "empty";
    fs::create_directories(withBurner);
    fs::create_directories(empty);
    // This test program stands in for the burner: started with a firmware
    // path, it writes down what it received (see Win32TestMain.cpp).
    wchar_t self[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    fs::copy_file(self, withBurner / "mcuprog.exe");
  }
  ~BurnerFolder() {
    std::error_code ignored;
    for (int attempt = 0; attempt < 50 && fs::exists(root, ignored); ++attempt) {
      fs::remove_all(root, ignored);  // the burner may still be ending
      if (fs::exists(root, ignored)) std::this_thread::sleep_for(100ms);
    }
  }
  std::string Utf8(const fs::path& path) const { return win32::Utf8FromUtf16(path.wstring()); }
  fs::path root, withBurner, empty;
};

TEST(ShellBurnerLauncher, StartsTheBurnerBesideKbupdateWithTheWholeFirmwarePath) {
  BurnerFolder folder;
  const std::string firmware =
      folder.Utf8(folder.withBurner) + "\\" + std::string(260, 'f') + "\\USBKeyboard.MTP";
  win32::ShellBurnerLauncher launcher(folder.Utf8(folder.withBurner));
  const LaunchResult result = launcher.Launch("mcuprog.exe", firmware);
  ASSERT_TRUE(result.started) << result.error;
  const fs::path received = folder.withBurner / "received-argument.txt";
  ASSERT_TRUE(testsupport::RunUntil([&] { return fs::exists(received); }, 60s));
  std::string text;
  ASSERT_TRUE(testsupport::RunUntil(
      [&] {
        std::ifstream in(received, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        text = content.str();
        return text.ends_with("\n");
      },
      10s));
  EXPECT_EQ(text, firmware + "\n");
}

TEST(ShellBurnerLauncher, NeverTakesTheBurnerFromTheCurrentDirectoryAndSaysWhyItFailed) {
  BurnerFolder folder;
  const fs::path previous = fs::current_path();
  fs::current_path(folder.withBurner);  // holds a mcuprog.exe
  win32::ShellBurnerLauncher launcher(folder.Utf8(folder.empty));
  const LaunchResult result = launcher.Launch("mcuprog.exe", "USBKeyboard.MTP");
  fs::current_path(previous);
  EXPECT_FALSE(result.started);
  // The system's words for the missing file, as the log shows any code.
  EXPECT_EQ(result.error, ErrorLogText(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(fs::exists(folder.withBurner / "received-argument.txt"));
}

}  // namespace
