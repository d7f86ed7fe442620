// mcuprog: writes a firmware file into the keyboard's microcontroller through
// ISPDLL, step by step, reporting each step on the console. Exit code 0 after
// a complete burn, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/ConsoleOutput.h"
#include "base/ProgramArguments.h"
#include "isp/BurnSequence.h"
#include "version/StandardOptions.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Every message is shown the moment it is printed, through the platform's
// console output: a file name outside ASCII must read right on a console.
template <typename... Args>
void Say(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  if (length <= 0) return;
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.pop_back();
  hidplatform::WriteStandardOutput(text);
}
void Say(const char* text) {
  hidplatform::WriteStandardOutput(text);
}

int WaitAndFail() {
  Say("\nhit Enter key to end \n");
  std::getchar();  // returns at once at the end of input
  return 1;
}

constexpr const char* kUsage =
    "usage: mcuprog [FILE.MTP]\n"
    "       mcuprog --help | --version\n"
    "Burns FILE.MTP (default burn.MTP in the current directory) into the keyboard\n"
    "while it runs its boot loader: connect, load, erase, program, verify, start.\n"
    "Exit code 0 after a complete burn, 1 otherwise.\n";

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // A Windows console program needs its own module and a usable console
  // before anything else; Linux has no counterpart for either step.
  if (GetModuleHandleW(nullptr) == nullptr) {
    Say("Fatal Error: GetModuleHandle failed\n");
    return 1;
  }
  if (GetStdHandle(STD_OUTPUT_HANDLE) == INVALID_HANDLE_VALUE) {
    Say("Fatal Error: MFC initialization failed\n");
    return 1;
  }
#endif
  // UTF-8 on every platform, so that any file can be named.
  const std::vector<std::string> arguments = hidplatform::ProgramArguments(argc, argv);
  // Only these two first arguments are not file names; a file of that name
  // is still reached as ./--help.
  if (arguments.size() > 1 && kbversion::AnswerStandardOption(arguments[1], "mcuprog", kUsage))
    return 0;
  std::string fileName = "burn.MTP";
  if (arguments.size() > 1) fileName = arguments[1];
  Say("You have filename: %s\n", fileName.c_str());

  using isp::BurnStage;
  isp::BurnHooks hooks;
  hooks.begin = [](BurnStage stage) {
    switch (stage) {
      case BurnStage::kErase:
        Say(" erase page0~239  total 240 pages Code\n");
        break;
      case BurnStage::kProgram:
        Say(" program page0~239  total 240 pages Code\n");
        break;
      case BurnStage::kVerify:
        Say(" veryfy from page0~239  total 240 pages Code\n");
        break;
      case BurnStage::kStart:
        Say(" MCU start at the user firmware\n");
        return;
      default:
        return;
    }
    Say("  processing...");
  };
  // The line of per cent values ends with the one that reached 100.
  hooks.progress = [](BurnStage, int percent) {
    Say("%d%% ", percent);
    if (percent >= 100) Say("\n");
  };
  hooks.loaded = [](std::uint32_t programSize, std::uint32_t optionSize) {
    Say("loadfile ok\n");
    Say("ProgramSize=%d   OptionSize=%d\n", static_cast<int>(programSize & 0xFFFFU),
        static_cast<int>(optionSize & 0xFFFFU));
  };
  hooks.done = [](BurnStage stage) {
    switch (stage) {
      case BurnStage::kConnect:
        Say("connect to USB keyboard ok\n");
        break;
      case BurnStage::kErase:
      case BurnStage::kProgram:
        Say(" --->ok\n");
        break;
      case BurnStage::kVerify:
      case BurnStage::kStart:
        Say("--->ok\n");
        break;
      case BurnStage::kLoad:
        break;
    }
  };
  hooks.failed = [&fileName](BurnStage stage, std::int32_t result) {
    switch (stage) {
      case BurnStage::kConnect:
        Say("fail connect to keyboard, please plugin to USB port\n");
        return;
      case BurnStage::kLoad:
        Say("fail loadfile %s\n", fileName.c_str());
        Say("\ncommand usage: mcuprog  (load 'burn.mtp' as default file)\n");
        Say("\ncommand usage: mcuprog filename.mtp   (load 'filename.mtp' to burnin)\n");
        return;
      case BurnStage::kVerify:
        if (result == 1) Say(" ----->unmatch");
        break;
      default:
        break;
    }
    Say(" ---->NG\n");
  };
  if (!isp::RunBurn(isp::LinkedIspOperations(), fileName, hooks).ok) {
    return WaitAndFail();
  }
  Say(" Burnin OK, please re-plugin USB KB.\n");
  return 0;
}
