// Text on its way to the platform: the window's UTF-16 strings, and the
// console programs' output on a console.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/win32/Utf16.h"
#include "base/ConsoleOutput.h"

namespace {

TEST(Win32Texts, WindowStringsTreatBadInputAsTheRestOfTheSystemDoes) {
  // One U+FFFD per byte that starts no character, as for device strings and
  // file names.
  EXPECT_EQ(win32::Utf16FromUtf8("a\xC0\xAFz"), L"a\xFFFD\xFFFDz");
  const wchar_t lone[] = {L'x', 0xDC00, L'y', 0};
  EXPECT_EQ(win32::Utf8FromUtf16(lone), "x\xEF\xBF\xBDy");
}

// A console of the test's own, read back character by character: the
// burner's file name must show as characters, not as its UTF-8 bytes in the
// console's code page.
TEST(Win32Texts, AConsoleGetsTheOutputAsCharacters) {
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  const HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  const HANDLE previous = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, console);
  DWORD count = 0;
  FillConsoleOutputCharacterW(console, L' ', 80 * 3, COORD{0, 0}, &count);
  SetConsoleCursorPosition(console, COORD{0, 0});
  hidplatform::WriteStandardOutput(
      "You have filename: \xE5\x9B\xBA\xE4\xBB\xB6-\xCF\x85\xCE\xBB.MTP\nnext\n");
  SetStdHandle(STD_OUTPUT_HANDLE, previous);

  const std::wstring name = L"You have filename: \x56FA\x4EF6-\x03C5\x03BB.MTP";
  std::wstring first(name.size(), L'\0');
  std::wstring second(4, L'\0');
  ReadConsoleOutputCharacterW(console, first.data(), static_cast<DWORD>(first.size()), COORD{0, 0},
                              &count);
  ReadConsoleOutputCharacterW(console, second.data(), 4, COORD{0, 1}, &count);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  CloseHandle(console);
  FreeConsole();
  EXPECT_EQ(first, name);
  EXPECT_EQ(second, L"next");
  // Each line end went to the start of the next line.
  EXPECT_EQ(info.dwCursorPosition.X, 0);
  EXPECT_EQ(info.dwCursorPosition.Y, 2);
}

}  // namespace
