// kbupdate.exe: the keyboard firmware update window, on the platform's own
// windows.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "app/DevReader.h"
#include "app/win32/ShellBurnerLauncher.h"
#include "app/win32/Utf16.h"
#include "app/win32/Win32Toolkit.h"
#include "version/StandardOptions.h"

namespace {

constexpr const char* kUsage =
    "usage: kbupdate [--help | --version]\n"
    "Opens the firmware update window for the USB keyboard with touchpad.\n"
    "\"Update\" restarts the keyboard into its boot loader and starts mcuprog with\n"
    "the firmware file USBKeyboard.MTP from kbupdate's own directory.\n";

// The one argument of the command line, if there is exactly one.
std::string SoleArgument() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string argument;
  if (arguments != nullptr && count == 2) argument = win32::Utf8FromUtf16(arguments[1]);
  LocalFree(arguments);
  return argument;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  // A windowed program has no console of its own: --help and --version are
  // written to the one it was started from.
  const std::string argument = SoleArgument();
  if (argument == "--help" || argument == "--version") {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      FILE* ignored = nullptr;
      freopen_s(&ignored, "CONOUT$", "w", stdout);
    }
    kbversion::AnswerStandardOption(argument, "kbupdate", kUsage);
    return 0;
  }
  win32::Win32Toolkit toolkit;
  TbootloaderFORM bootloaderFORM(
      toolkit, std::make_unique<win32::ShellBurnerLauncher>(toolkit.ProgramDirectory()));
  bootloaderFORM.Window().Show();
  return win32::Win32Toolkit::RunMessageLoop();
}
