#include "isp/BurnSequence.h"

#include <optional>
#include <string>

#include "base/TextEncoding.h"

namespace isp {

namespace {

// The code area's 240 pages, as the boot loader numbers them.
constexpr std::int32_t kCodePages = 240;
constexpr std::int32_t kCodeArea = 0;
constexpr std::int32_t kUserFirmware = 2;

template <typename F, typename... Args>
void Call(const F& hook, Args... args) {
  if (hook) hook(args...);
}

}  // namespace

const char* BurnStageName(BurnStage stage) {
  switch (stage) {
    case BurnStage::kConnect:
      return "connect";
    case BurnStage::kLoad:
      return "load";
    case BurnStage::kErase:
      return "erase";
    case BurnStage::kProgram:
      return "program";
    case BurnStage::kVerify:
      return "verify";
    case BurnStage::kStart:
      return "start";
  }
  return "?";
}

BurnOutcome RunBurn(const IspOperations& isp, std::string_view fileName, const BurnHooks& hooks) {
  const std::u16string wideName = hidplatform::FileNameToUtf16(fileName);
#if defined(_WIN32)
  const auto* libraryName = reinterpret_cast<const wchar_t*>(wideName.c_str());
#else
  const char16_t* libraryName = wideName.c_str();
#endif
  const auto fail = [&hooks](BurnStage stage, std::int32_t result) {
    Call(hooks.failed, stage, result);
    return BurnOutcome{false, stage};
  };
  const auto stopBefore = [&hooks](BurnStage stage) -> std::optional<BurnOutcome> {
    if (hooks.stop && hooks.stop()) return BurnOutcome{false, stage, true};
    return std::nullopt;
  };
  // The operations are synchronous: the progress is read once each returned,
  // until it says the operation has ended.
  const auto poll = [&](BurnStage stage) {
    std::int32_t percent = 0;
    do {
      percent = isp.getTransProgress();
      Call(hooks.progress, stage, static_cast<int>(percent));
    } while (percent < 100);
  };

  Call(hooks.begin, BurnStage::kConnect);
  std::int32_t result = isp.connect();
  if (result == -1) return fail(BurnStage::kConnect, result);
  Call(hooks.done, BurnStage::kConnect);

  if (auto stopped = stopBefore(BurnStage::kLoad)) return *stopped;
  Call(hooks.begin, BurnStage::kLoad);
  const std::uint8_t* program = nullptr;
  const std::uint8_t* option = nullptr;
  const std::uint8_t* third = nullptr;
  std::uint32_t programSize = 0;
  std::uint32_t optionSize = 0;
  std::uint32_t thirdSize = 0;
  result =
      isp.loadFile(libraryName, &program, &programSize, &option, &optionSize, &third, &thirdSize);
  if (result == -1) return fail(BurnStage::kLoad, result);
  Call(hooks.loaded, programSize, optionSize);
  Call(hooks.done, BurnStage::kLoad);

  if (auto stopped = stopBefore(BurnStage::kErase)) return *stopped;
  Call(hooks.begin, BurnStage::kErase);
  result = isp.eraseByPage(0, kCodePages, kCodeArea);
  poll(BurnStage::kErase);
  if (result == -1) return fail(BurnStage::kErase, result);
  Call(hooks.done, BurnStage::kErase);

  if (auto stopped = stopBefore(BurnStage::kProgram)) return *stopped;
  Call(hooks.begin, BurnStage::kProgram);
  result = isp.program(kCodeArea);
  poll(BurnStage::kProgram);
  if (result == -1) return fail(BurnStage::kProgram, result);
  Call(hooks.done, BurnStage::kProgram);

  if (auto stopped = stopBefore(BurnStage::kVerify)) return *stopped;
  Call(hooks.begin, BurnStage::kVerify);
  result = isp.verifyByPage(0, kCodePages, kCodeArea);
  poll(BurnStage::kVerify);
  if (result != 0) return fail(BurnStage::kVerify, result);
  Call(hooks.done, BurnStage::kVerify);

  if (auto stopped = stopBefore(BurnStage::kStart)) return *stopped;
  Call(hooks.begin, BurnStage::kStart);
  result = isp.executeProgramFrom(kUserFirmware);
  if (result == -1) return fail(BurnStage::kStart, result);
  Call(hooks.done, BurnStage::kStart);
  isp.switchToUserProgram();
  return {true, BurnStage::kStart};
}

}  // namespace isp
