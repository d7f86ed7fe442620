// The Windows window tests: one toolkit for the whole program, made on the
// main thread before any test runs. Started by the launcher test as
// "mcuprog.exe" with a firmware path, the program only writes down the
// argument it received.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/win32/Utf16.h"
#include "tests/win32/Win32TestSupport.h"

namespace win32test {

win32::Win32Toolkit& Toolkit() {
  static win32::Win32Toolkit toolkit;
  return toolkit;
}

}  // namespace win32test

namespace {

bool RecordedBurnerArgument() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::wstring argument = count == 2 ? arguments[1] : L"";
  LocalFree(arguments);
  if (!argument.ends_with(L"USBKeyboard.MTP")) return false;
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  const std::wstring record = self.substr(0, self.find_last_of(L'\\')) + L"\\received-argument.txt";
  std::ofstream(std::filesystem::path(record), std::ios::binary)
      << win32::Utf8FromUtf16(argument) << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (RecordedBurnerArgument()) return 0;
  win32test::Toolkit();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
