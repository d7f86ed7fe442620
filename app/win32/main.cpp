// kbupdate.exe: the keyboard firmware update window, on the platform's own
// windows.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/DevReader.h"
#include "app/Usage.h"
#include "app/win32/ShellBurnerLauncher.h"
#include "app/win32/Win32Toolkit.h"
#include "base/ProgramArguments.h"
#include "version/StandardOptions.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  // A windowed program has no console of its own: --help and --version are
  // written to the one it was started from.
  const std::vector<std::string> arguments = hidplatform::ProgramArguments(__argc, __argv);
  const std::string argument = arguments.size() == 2 ? arguments[1] : std::string();
  if (argument == "--help" || argument == "--version") {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      FILE* ignored = nullptr;
      freopen_s(&ignored, "CONOUT$", "w", stdout);
    }
    kbversion::AnswerStandardOption(argument, "kbupdate", kKbupdateUsage);
    return 0;
  }
  win32::Win32Toolkit toolkit;
  TbootloaderFORM bootloaderFORM(
      toolkit, std::make_unique<win32::ShellBurnerLauncher>(toolkit.ProgramDirectory()));
  bootloaderFORM.Window().Show();
  return win32::Win32Toolkit::RunMessageLoop();
}
