// The burn's stage sequence with operations that only record their calls:
// the order, a failure ending it, and a stop between stages (Ctrl-C held back
// until the stage under way has ended).
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "base/DeferredInterrupt.h"
#include "isp/BurnSequence.h"

namespace {

std::string calls;
std::int32_t failAt = 0;  // the call (1-based) that returns -1; 0: none
bool interruptDuringErase = false;
#if defined(_WIN32)
const hidplatform::DeferredInterrupt* heldBack = nullptr;
#endif

std::int32_t Record(char call) {
  calls += call;
  return static_cast<std::int32_t>(calls.size()) == failAt ? -1 : 0;
}
std::int32_t ISPDLL_CALL Connect() {
  return Record('c');
}
std::int32_t ISPDLL_CALL Load(const ISPDLL_CHAR*, const std::uint8_t**, std::uint32_t*,
                              const std::uint8_t**, std::uint32_t*, const std::uint8_t**,
                              std::uint32_t*) {
  return Record('l');
}
std::int32_t ISPDLL_CALL Erase(std::int32_t, std::int32_t, std::int32_t) {
#if defined(_WIN32)
  if (interruptDuringErase) {
    // The console's Ctrl-C, which the system hands to a thread of its own:
    // the stage goes on until that thread has noted it.
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    for (int i = 0; i < 1000 && !heldBack->Requested(); ++i) Sleep(10);
  }
#else
  if (interruptDuringErase) std::raise(SIGINT);
#endif
  return Record('e');
}
std::int32_t ISPDLL_CALL Write(std::int32_t) {
  return Record('p');
}
std::int32_t ISPDLL_CALL Verify(std::int32_t, std::int32_t, std::int32_t) {
  return Record('v');
}
std::int32_t ISPDLL_CALL Start(std::int32_t) {
  return Record('s');
}
std::int32_t ISPDLL_CALL Switch() {
  return Record('x');
}
std::int32_t ISPDLL_CALL Progress() {
  return 100;
}

const isp::IspOperations kRecording{&Connect, &Load,  &Erase,  &Write,
                                    &Verify,  &Start, &Switch, &Progress};

TEST(BurnSequence, RunsTheStagesInOrderAndEndsAtTheFirstFailureOrStop) {
  const std::string name;
  isp::BurnHooks hooks;
  std::string seen;
  hooks.begin = [&seen](isp::BurnStage stage) { seen += isp::BurnStageName(stage)[0]; };

  calls.clear();
  failAt = 0;
  isp::BurnOutcome outcome = isp::RunBurn(kRecording, name, hooks);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(calls, "clepvsx");
  EXPECT_EQ(seen, "clepvs");

  // A failed program: no verify, no start, the connection left to the caller.
  calls.clear();
  failAt = 4;
  outcome = isp::RunBurn(kRecording, name, hooks);
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.stage, isp::BurnStage::kProgram);
  EXPECT_EQ(calls, "clep");

  // Stopped after the erase: nothing more is sent, above all no start.
  calls.clear();
  failAt = 0;
  hooks.stop = [] { return calls.size() == 3; };
  outcome = isp::RunBurn(kRecording, name, hooks);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.stage, isp::BurnStage::kProgram);
  EXPECT_EQ(calls, "cle");
}

TEST(BurnSequence, CtrlCDuringAStageEndsTheBurnAfterIt) {
#if defined(_WIN32)
  // A console of its own: Ctrl-C goes to every process of a console.
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
#endif
  const std::string name;
  calls.clear();
  failAt = 0;
  interruptDuringErase = true;
  isp::BurnOutcome outcome;
  {
    hidplatform::DeferredInterrupt interrupt;
#if defined(_WIN32)
    heldBack = &interrupt;
#endif
    isp::BurnHooks hooks;
    hooks.stop = [&interrupt] { return interrupt.Requested(); };
    // The process lives on: Ctrl-C only noted.
    outcome = isp::RunBurn(kRecording, name, hooks);
  }
  interruptDuringErase = false;
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.stage, isp::BurnStage::kProgram);
  EXPECT_EQ(calls, "cle");
}

}  // namespace
