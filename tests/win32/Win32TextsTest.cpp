// Text on its way to the platform: the window's UTF-16 strings.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/win32/Utf16.h"

namespace {

TEST(Win32Texts, WindowStringsTreatBadInputAsTheRestOfTheSystemDoes) {
  EXPECT_EQ(win32::Utf16FromUtf8("\xE5\x9B\xBA\xE4\xBB\xB6-\xF0\x9F\x98\x80"),
            L"\x56FA\x4EF6-\xD83D\xDE00");
  // One U+FFFD per byte that starts no character, as for device strings and
  // file names.
  EXPECT_EQ(win32::Utf16FromUtf8("a\xC0\xAFz"), L"a\xFFFD\xFFFDz");
  EXPECT_EQ(win32::Utf8FromUtf16(L"\x56FA\x4EF6"), "\xE5\x9B\xBA\xE4\xBB\xB6");
  const wchar_t lone[] = {L'x', 0xDC00, L'y', 0};
  EXPECT_EQ(win32::Utf8FromUtf16(lone), "x\xEF\xBF\xBDy");
}

}  // namespace
