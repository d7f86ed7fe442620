// The burn mcuprog and kbctl run through ISPDLL's operations: connect, load,
// erase, program, verify, start. Each caller says what it shows at each step;
// the order and the checks of the results live here only.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "isp/IspDll.h"

namespace isp {

enum class BurnStage { kConnect, kLoad, kErase, kProgram, kVerify, kStart };

// "connect", "load", ...: the words both programs use for a stage.
const char* BurnStageName(BurnStage stage);

// The operations as function pointers: mcuprog takes them from the shared
// library, kbctl from the static one, and this unit depends on neither.
struct IspOperations {
  std::int32_t(ISPDLL_CALL* connect)();
  std::int32_t(ISPDLL_CALL* loadFile)(const ISPDLL_CHAR*, const std::uint8_t**, std::uint32_t*,
                                      const std::uint8_t**, std::uint32_t*, const std::uint8_t**,
                                      std::uint32_t*);
  std::int32_t(ISPDLL_CALL* eraseByPage)(std::int32_t, std::int32_t, std::int32_t);
  std::int32_t(ISPDLL_CALL* program)(std::int32_t);
  std::int32_t(ISPDLL_CALL* verifyByPage)(std::int32_t, std::int32_t, std::int32_t);
  std::int32_t(ISPDLL_CALL* executeProgramFrom)(std::int32_t);
  std::int32_t(ISPDLL_CALL* switchToUserProgram)();
  std::int32_t(ISPDLL_CALL* getTransProgress)();
};

// Inline, so that each program binds the declarations it was built with
// (imported from ISPDLL, or linked in).
inline IspOperations LinkedIspOperations() {
  return {&ConnectToBootloader, &LoadFile,           &EraseByPage,         &Program,
          &VerifyByPage,        &ExecuteProgramFrom, &SwitchToUserProgram, &GetTransProgress};
}

struct BurnHooks {
  // Before the stage's operation runs.
  std::function<void(BurnStage)> begin;
  // Each progress value read after erase, program and verify, until 100.
  std::function<void(BurnStage, int percent)> progress;
  // The sizes of the loaded blocks, after a successful load.
  std::function<void(std::uint32_t programSize, std::uint32_t optionSize)> loaded;
  // The stage ended well.
  std::function<void(BurnStage)> done;
  // The stage failed with this result (verify: 1 is a mismatch).
  std::function<void(BurnStage, std::int32_t result)> failed;
  // Asked before each stage after connect; true ends the burn there, where
  // the boot loader still waits for a complete one.
  std::function<bool()> stop;
};

struct BurnOutcome {
  bool ok = false;
  BurnStage stage = BurnStage::kConnect;  // the failed or stopped one; kStart when ok
  bool stopped = false;                   // ended by the stop hook, not by a failure
};

// Runs the whole burn of the file, named by its bytes as the user gave them
// (LoadFile gets them as UTF-16 and turns them back into the same bytes, also
// when they are not UTF-8). The connection ends only after the firmware was
// started; on a failure it is left to the caller (a process that exits drops
// it anyway).
BurnOutcome RunBurn(const IspOperations& operations, std::string_view fileName,
                    const BurnHooks& hooks);

}  // namespace isp
