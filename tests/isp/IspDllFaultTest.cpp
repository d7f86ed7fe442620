// Every injected fault in every operation: the operation fails promptly (or,
// for a single lost or damaged answer, recovers by retrying), never hangs,
// and a rerun afterwards burns and verifies.
#include <chrono>
#include <string>

#include "IspTestSupport.h"
#include "isp/IspDll.h"
#include "isp/IspDllInternals.h"

namespace {

using emulator::BootLoaderModel;
using Kind = BootLoaderModel::FaultKind;
using Op = BootLoaderModel::Operation;
using isptest::LoadFileAt;
using isptest::MakeImage;

enum class Step { kNone, kConnect, kLoad, kErase, kProgram, kVerify, kStart };

const char* Name(Step s) {
  switch (s) {
    case Step::kNone:
      return "none";
    case Step::kConnect:
      return "connect";
    case Step::kLoad:
      return "load";
    case Step::kErase:
      return "erase";
    case Step::kProgram:
      return "program";
    case Step::kVerify:
      return "verify";
    case Step::kStart:
      return "start";
  }
  return "?";
}

struct FaultCase {
  Op operation;
  std::optional<std::uint16_t> page;
  Kind kind;
  int times;
  Step failingStep;  // kNone: the retries recover
};

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) {
  static const char* const kKinds[] = {"None", "Disconnect", "Drop", "Corrupt", "Stall", "Weak"};
  static const char* const kOps[] = {"Any",    "Identify",    "Erase",  "Write",
                                     "Verify", "WriteOption", "Record", "Start"};
  std::string name = std::string(kKinds[static_cast<int>(info.param.kind)]) + "In" +
                     kOps[static_cast<int>(info.param.operation)];
  if (info.param.page) name += "AtPage" + std::to_string(*info.param.page);
  if (info.param.times > 1) name += "Persistent";
  return name;
}

class IspDllFault : public isptest::BootLoaderFixture,
                    public ::testing::WithParamInterface<FaultCase> {
 protected:
  // The whole burner sequence; the step that failed, or kNone.
  Step Burn(const std::filesystem::path& file) {
    if (ConnectToBootloader() == -1) return Step::kConnect;
    if (LoadFileAt(file).result == -1) return Step::kLoad;
    if (EraseByPage(0, 240, 0) == -1) return Step::kErase;
    if (Program(0) == -1) return Step::kProgram;
    const std::int32_t verified = VerifyByPage(0, 240, 0);
    if (verified != 0) {
      EXPECT_NE(verified, 1) << "a fault must not look like a mismatch";
      return Step::kVerify;
    }
    if (ExecuteProgramFrom(2) == -1) return Step::kStart;
    return Step::kNone;
  }
};

TEST_P(IspDllFault, FailsPromptlyOrRecoversAndARerunCompletes) {
  const FaultCase& c = GetParam();
  const isp::MtpImage image = MakeImage(256 * 240, 11, 0x0405);
  const auto file = Save(image);
  bool started = false;
  model_->SetStartHandler([&started](std::uint16_t) { started = true; });
  model_->InjectFault({c.kind, c.operation, c.page, c.times});

  const auto begin = std::chrono::steady_clock::now();
  const Step failed = Burn(file);
  const auto took = std::chrono::steady_clock::now() - begin;
  EXPECT_TRUE(model_->FaultStruck());
  EXPECT_EQ(Name(failed), std::string(Name(c.failingStep)));
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_EQ(started, c.failingStep == Step::kNone);
  // Answer timeout 150 ms, 3 attempts: well below this even on a slow machine.
  EXPECT_LT(took, std::chrono::seconds(20));
  if (c.failingStep == Step::kNone) {
    EXPECT_EQ(model_->CodeFlash(), isptest::ExpectedFlash(image));
    return;
  }

  // The user plugs the keyboard in again and reruns the burner.
  SwitchToUserProgram();
  model_->ClearFaults();
  if (bus_.PluggedDevices().empty()) Replug();
  EXPECT_EQ(Name(Burn(file)), std::string("none"));
  EXPECT_TRUE(started);
  EXPECT_EQ(model_->CodeFlash(), isptest::ExpectedFlash(image));
  EXPECT_EQ(model_->FirmwareVersion(), 0x0405);
}

constexpr int kForever = 1000;

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, IspDllFault,
    ::testing::Values(
        // The device leaves the bus.
        FaultCase{Op::kIdentify, {}, Kind::kDisconnect, 1, Step::kConnect},
        FaultCase{Op::kErase, 37, Kind::kDisconnect, 1, Step::kErase},
        FaultCase{Op::kWrite, 100, Kind::kDisconnect, 1, Step::kProgram},
        FaultCase{Op::kWriteOption, {}, Kind::kDisconnect, 1, Step::kProgram},
        FaultCase{Op::kVerify, 200, Kind::kDisconnect, 1, Step::kVerify},
        FaultCase{Op::kStart, {}, Kind::kDisconnect, 1, Step::kStart},
        // The device stops answering but stays present.
        FaultCase{Op::kIdentify, {}, Kind::kStall, 1, Step::kConnect},
        FaultCase{Op::kErase, 37, Kind::kStall, 1, Step::kErase},
        FaultCase{Op::kWrite, 100, Kind::kStall, 1, Step::kProgram},
        FaultCase{Op::kWriteOption, {}, Kind::kStall, 1, Step::kProgram},
        FaultCase{Op::kVerify, 200, Kind::kStall, 1, Step::kVerify},
        FaultCase{Op::kStart, {}, Kind::kStall, 1, Step::kStart},
        // One answer lost or damaged: the retry recovers.
        FaultCase{Op::kIdentify, {}, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kErase, 37, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kWrite, 100, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kWrite, 239, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kWriteOption, {}, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kVerify, 200, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kStart, {}, Kind::kDropAnswer, 1, Step::kNone},
        FaultCase{Op::kIdentify, {}, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kErase, 37, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kWrite, 100, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kWrite, 239, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kWriteOption, {}, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kVerify, 200, Kind::kCorruptAnswer, 1, Step::kNone},
        FaultCase{Op::kStart, {}, Kind::kCorruptAnswer, 1, Step::kNone},
        // Every answer of the operation lost or damaged: it fails.
        FaultCase{Op::kIdentify, {}, Kind::kDropAnswer, kForever, Step::kConnect},
        FaultCase{Op::kErase, {}, Kind::kDropAnswer, kForever, Step::kErase},
        FaultCase{Op::kWrite, {}, Kind::kDropAnswer, kForever, Step::kProgram},
        // Every acknowledgement of the last page lost: the status query
        // recovers, as a command survives lost answers.
        FaultCase{Op::kWrite, 239, Kind::kDropAnswer, kForever, Step::kNone},
        FaultCase{Op::kWriteOption, {}, Kind::kDropAnswer, kForever, Step::kProgram},
        FaultCase{Op::kVerify, {}, Kind::kDropAnswer, kForever, Step::kVerify},
        FaultCase{Op::kStart, {}, Kind::kDropAnswer, kForever, Step::kStart},
        FaultCase{Op::kIdentify, {}, Kind::kCorruptAnswer, kForever, Step::kConnect},
        FaultCase{Op::kErase, {}, Kind::kCorruptAnswer, kForever, Step::kErase},
        FaultCase{Op::kWrite, {}, Kind::kCorruptAnswer, kForever, Step::kProgram},
        FaultCase{Op::kWriteOption, {}, Kind::kCorruptAnswer, kForever, Step::kProgram},
        FaultCase{Op::kVerify, {}, Kind::kCorruptAnswer, kForever, Step::kVerify},
        FaultCase{Op::kStart, {}, Kind::kCorruptAnswer, kForever, Step::kStart}),
    CaseName);

// With the shipped timeouts a silent device still ends an operation within
// a few seconds.
TEST(IspDllShippedTimeouts, SilentDeviceFailsWithinSeconds) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scoped(bus);
  auto model = std::make_shared<BootLoaderModel>();
  bus.Plug(model);
  isp::SetLinkSettingsForTesting(isp::LinkSettings{});
  ASSERT_EQ(ConnectToBootloader(), 0);
  model->InjectFault({Kind::kStall, Op::kAny, {}, 1});
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(EraseByPage(0, 240, 0), -1);
  const auto took = std::chrono::steady_clock::now() - begin;
  EXPECT_GE(took, std::chrono::milliseconds(2500));  // it did wait and retry
  EXPECT_LT(took, std::chrono::seconds(30));
  EXPECT_EQ(GetTransProgress(), 100);
  SwitchToUserProgram();
}

}  // namespace
