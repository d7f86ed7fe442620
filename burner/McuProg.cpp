// mcuprog: writes a firmware file into the keyboard's microcontroller through
// ISPDLL, step by step, reporting each step on the console. Exit code 0 after
// a complete burn, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/ConsoleOutput.h"
#include "base/ProgramArguments.h"
#include "base/TextEncoding.h"
#include "isp/IspDll.h"
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

// Prints the progress of the step that just ran until it reaches 100.
void PollProgress() {
  std::int32_t percent = 0;
  do {
    percent = GetTransProgress();
    Say("%d%% ", static_cast<int>(percent));
  } while (percent < 100);
  Say("\n");
}

int FailStep() {
  Say(" ---->NG\n");
  return WaitAndFail();
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

  if (ConnectToBootloader() == -1) {
    Say("fail connect to keyboard, please plugin to USB port\n");
    return WaitAndFail();
  }
  Say("connect to USB keyboard ok\n");

  // The name's bytes as they are, also when they are not UTF-8: LoadFile
  // turns the UTF-16 back into the same bytes.
  const std::u16string wideName = hidplatform::FileNameToUtf16(fileName);
  const std::uint8_t* program = nullptr;
  const std::uint8_t* option = nullptr;
  const std::uint8_t* third = nullptr;
  std::uint32_t programSize = 0;
  std::uint32_t optionSize = 0;
  std::uint32_t thirdSize = 0;
#if defined(_WIN32)
  const auto* libraryName = reinterpret_cast<const wchar_t*>(wideName.c_str());
#else
  const char16_t* libraryName = wideName.c_str();
#endif
  if (LoadFile(libraryName, &program, &programSize, &option, &optionSize, &third, &thirdSize) ==
      -1) {
    Say("fail loadfile %s\n", fileName.c_str());
    Say("\ncommand usage: mcuprog  (load 'burn.mtp' as default file)\n");
    Say("\ncommand usage: mcuprog filename.mtp   (load 'filename.mtp' to burnin)\n");
    return WaitAndFail();
  }
  Say("loadfile ok\n");
  Say("ProgramSize=%d   OptionSize=%d\n", static_cast<int>(programSize & 0xFFFFU),
      static_cast<int>(optionSize & 0xFFFFU));

  Say(" erase page0~239  total 240 pages Code\n");
  Say("  processing...");
  std::int32_t result = EraseByPage(0, 240, 0);
  PollProgress();
  if (result == -1) return FailStep();
  Say(" --->ok\n");

  Say(" program page0~239  total 240 pages Code\n");
  Say("  processing...");
  result = Program(0);
  PollProgress();
  if (result == -1) return FailStep();
  Say(" --->ok\n");

  Say(" veryfy from page0~239  total 240 pages Code\n");
  Say("  processing...");
  result = VerifyByPage(0, 240, 0);
  PollProgress();
  if (result == 1) Say(" ----->unmatch");
  if (result != 0) return FailStep();
  Say("--->ok\n");

  Say(" MCU start at the user firmware\n");
  if (ExecuteProgramFrom(2) == -1) return FailStep();
  Say("--->ok\n");

  SwitchToUserProgram();
  Say(" Burnin OK, please re-plugin USB KB.\n");
  return 0;
}
