// ISPDLL's operations against the emulated boot loader on the virtual bus.
#include <atomic>
#include <chrono>
#include <thread>

#include "IspTestSupport.h"
#include "hid/platform/Hid.h"
#include "hid/platform/SetupApi.h"
#include "isp/IspDll.h"

namespace {

using emulator::BootLoaderModel;
using isptest::BootLoaderFixture;
using isptest::LoadFileAt;
using isptest::MakeImage;

using IspDllBurn = BootLoaderFixture;

TEST_F(IspDllBurn, FullBurnWritesVerifiesAndStartsTheFirmware) {
  const isp::MtpImage image = MakeImage(60000, 1, 0x0201);
  const auto file = Save(image);
  ASSERT_EQ(ConnectToBootloader(), 0);
  EXPECT_EQ(GetTransProgress(), 100);

  const auto loaded = LoadFileAt(file);
  ASSERT_EQ(loaded.result, 0);
  ASSERT_EQ(loaded.programSize, 60000U);
  EXPECT_TRUE(std::equal(image.program.begin(), image.program.end(), loaded.program));
  ASSERT_EQ(loaded.optionSize, 4U);
  EXPECT_TRUE(std::equal(image.option.begin(), image.option.end(), loaded.option));
  EXPECT_EQ(loaded.third, nullptr);
  EXPECT_EQ(loaded.thirdSize, 0U);

  EXPECT_EQ(EraseByPage(0, 240, 0), 0);
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_EQ(Program(0), 0);
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_EQ(VerifyByPage(0, 240, 0), 0);
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_EQ(model_->CodeFlash(), isptest::ExpectedFlash(image));
  EXPECT_EQ(model_->FirmwareVersion(), 0x0201);

  EXPECT_TRUE(model_->HoldsValidImage());  // the record, written by the verify
  EXPECT_EQ(ExecuteProgramFrom(2), 0);
  // Without an owner the boot loader leaves the bus and the keyboard comes.
  EXPECT_TRUE(ApplicationPresent());
  EXPECT_EQ(SwitchToUserProgram(), 0);
}

TEST_F(IspDllBurn, StartHandsTheBurnedVersionToTheOwner) {
  std::atomic<int> version{-1};
  model_->SetStartHandler([&version](std::uint16_t v) { version = v; });
  ASSERT_EQ(BurnUpToVerify(Save(MakeImage(256 * 240, 2, 0x0317))), 0);
  EXPECT_EQ(ExecuteProgramFrom(2), 0);
  EXPECT_EQ(version.load(), 0x0317);
}

TEST_F(IspDllBurn, VerifyTellsAMismatchFromAMatch) {
  const isp::MtpImage a = MakeImage(5000, 3, 0x0100);
  ASSERT_EQ(BurnUpToVerify(Save(a, "a.MTP")), 0);

  // Another image of the same size: every page differs.
  ASSERT_EQ(LoadFileAt(Save(MakeImage(5000, 4, 0x0100), "b.MTP")).result, 0);
  EXPECT_EQ(VerifyByPage(0, 240, 0), 1);
  EXPECT_EQ(GetTransProgress(), 100);

  // One flipped byte in the last page of the program.
  ASSERT_EQ(LoadFileAt(dir_ / "a.MTP").result, 0);
  EXPECT_EQ(VerifyByPage(0, 240, 0), 0);
  model_->PokeCode(4999, std::vector<std::uint8_t>{static_cast<std::uint8_t>(a.program[4999] ^ 1)});
  EXPECT_EQ(VerifyByPage(0, 240, 0), 1);
  EXPECT_EQ(VerifyByPage(0, 19, 0), 0);  // pages 0..18 are still right
  // A byte past the program must be erased.
  model_->PokeCode(4999, std::vector<std::uint8_t>{a.program[4999]});
  model_->PokeCode(200 * 256, std::vector<std::uint8_t>{0x00});
  EXPECT_EQ(VerifyByPage(0, 240, 0), 1);
}

TEST_F(IspDllBurn, ProgrammingOverOldFirmwareWithoutEraseFails) {
  ASSERT_EQ(BurnUpToVerify(Save(MakeImage(3000, 5, 0x0100), "a.MTP")), 0);
  ASSERT_EQ(LoadFileAt(Save(MakeImage(3000, 6, 0x0100), "b.MTP")).result, 0);
  EXPECT_EQ(Program(0), -1);
  EXPECT_EQ(GetTransProgress(), 100);
}

TEST_F(IspDllBurn, NoteBlockIsTheThirdBlock) {
  isp::MtpImage image = MakeImage(1000, 7, 0x0100);
  image.note = std::vector<std::uint8_t>{'b', 'e', 't', 'a'};
  ASSERT_EQ(ConnectToBootloader(), 0);
  auto loaded = LoadFileAt(Save(image));
  ASSERT_EQ(loaded.result, 0);
  ASSERT_NE(loaded.third, nullptr);
  EXPECT_EQ(loaded.thirdSize, 4U);
  EXPECT_EQ(loaded.third[0], 'b');

  image.note->clear();
  loaded = LoadFileAt(Save(image));
  ASSERT_EQ(loaded.result, 0);
  EXPECT_NE(loaded.third, nullptr);  // present, though empty
  EXPECT_EQ(loaded.thirdSize, 0U);
  // The whole option area is rewritten: bytes past the block become 0xFF.
  model_->PokeOption(0, std::vector<std::uint8_t>(32, 0x00));
  EXPECT_EQ(EraseByPage(0, 240, 0), 0);
  EXPECT_EQ(Program(0), 0);
  std::vector<std::uint8_t> area(32, 0xFF);
  std::copy(image.option.begin(), image.option.end(), area.begin());
  EXPECT_EQ(model_->OptionArea(), area);
}

TEST_F(IspDllBurn, ProgressRisesStepByStepWhileAnOperationRuns) {
  model_->SetTiming({std::chrono::microseconds(300), std::chrono::microseconds(0)});
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(Save(MakeImage(256 * 240, 8, 0x0100))).result, 0);
  ASSERT_EQ(EraseByPage(0, 240, 0), 0);

  std::atomic<bool> done{false};
  std::vector<int> seen;
  std::thread watcher([&] {
    while (!done) {
      const int p = GetTransProgress();
      if (seen.empty() || seen.back() != p) seen.push_back(p);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const std::int32_t result = Program(0);
  done = true;
  watcher.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(GetTransProgress(), 100);
  // The watcher may still see the erase's final 100 before Program begins.
  const auto programStart = std::find_if(seen.begin(), seen.end(), [](int p) { return p < 100; });
  ASSERT_NE(programStart, seen.end());
  EXPECT_TRUE(std::is_sorted(programStart, seen.end())) << "progress went backwards";
  EXPECT_GE(std::count_if(seen.begin(), seen.end(), [](int p) { return p > 0 && p < 100; }), 5)
      << "no steps in between";
}

TEST_F(IspDllBurn, RefusesArgumentsItDoesNotKnowAndLeavesTheFlashAlone) {
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(Save(MakeImage(1000, 9, 0x0100))).result, 0);
  model_->PokeCode(0, std::vector<std::uint8_t>(256 * 240, 0x00));
  const auto before = model_->CodeFlash();
  EXPECT_EQ(EraseByPage(0, 240, 1), -1);
  EXPECT_EQ(EraseByPage(230, 20, 0), -1);
  EXPECT_EQ(EraseByPage(-1, 10, 0), -1);
  EXPECT_EQ(EraseByPage(0, 0, 0), -1);
  EXPECT_EQ(Program(7), -1);
  EXPECT_EQ(VerifyByPage(0, 241, 0), -1);
  EXPECT_EQ(ExecuteProgramFrom(1), -1);
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_EQ(model_->CodeFlash(), before);
}

TEST_F(IspDllBurn, StartIsRefusedUntilAWholeVerifyWroteTheRecord) {
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(EraseByPage(0, 240, 0), 0);
  EXPECT_EQ(ExecuteProgramFrom(2), -1);
  ASSERT_EQ(LoadFileAt(Save(MakeImage(3000, 12, 0x0100))).result, 0);
  ASSERT_EQ(Program(0), 0);
  EXPECT_EQ(ExecuteProgramFrom(2), -1);  // programmed, not verified
  EXPECT_EQ(VerifyByPage(0, 100, 0), 0);
  EXPECT_EQ(ExecuteProgramFrom(2), -1);  // a part verified writes no record
  EXPECT_FALSE(model_->HoldsValidImage());
  EXPECT_EQ(bus_.PluggedDevices().size(), 1U);
  EXPECT_FALSE(ApplicationPresent());
  // The option area is covered too: changed behind the host's back, the
  // device refuses the record and the verify reports a mismatch.
  model_->PokeOption(2, std::vector<std::uint8_t>{0x00});
  EXPECT_EQ(VerifyByPage(0, 240, 0), 1);
  EXPECT_FALSE(model_->HoldsValidImage());
}

TEST_F(IspDllBurn, WithoutABootLoaderEverythingFailsAtOnce) {
  bus_.UnplugAll();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectToBootloader(), -1);
  EXPECT_EQ(LoadFileAt(Save(MakeImage(1000, 10, 0x0100))).result, -1);
  EXPECT_EQ(EraseByPage(0, 240, 0), -1);
  EXPECT_EQ(Program(0), -1);
  EXPECT_EQ(VerifyByPage(0, 240, 0), -1);
  EXPECT_EQ(ExecuteProgramFrom(2), -1);
  EXPECT_EQ(GetTransProgress(), 100);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  // Plugged back, it is found again.
  bus_.Plug(link_);
  EXPECT_EQ(ConnectToBootloader(), 0);
}

TEST_F(IspDllBurn, BindsThePlatformLibrariesForItsConnectionOnly) {
  bus_.SetBindFailure(true, false);
  EXPECT_EQ(ConnectToBootloader(), -1);
  bus_.SetBindFailure(false, true);
  EXPECT_EQ(ConnectToBootloader(), -1);
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0) << "a failed binding keeps nothing";
  EXPECT_FALSE(bus_.IsEnumerationBound());

  bus_.SetBindFailure(false, false);
  ASSERT_EQ(ConnectToBootloader(), 0);
  EXPECT_TRUE(bus_.IsEnumerationBound());
  EXPECT_TRUE(bus_.IsHidAccessBound());
  ASSERT_EQ(ConnectToBootloader(), 0);  // a new connection replaces the old one
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 1);
  EXPECT_EQ(SwitchToUserProgram(), 0);
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0);
  EXPECT_FALSE(bus_.IsEnumerationBound());
  EXPECT_FALSE(bus_.IsHidAccessBound());

  // A binding the process held before stays when the connection ends.
  ASSERT_TRUE(hidplatform::BindSetupApi());
  ASSERT_TRUE(hidplatform::BindHid());
  ASSERT_EQ(ConnectToBootloader(), 0);
  EXPECT_EQ(SwitchToUserProgram(), 0);
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 1);
  EXPECT_TRUE(bus_.IsHidAccessBound());
  hidplatform::ReleaseHid();
  hidplatform::ReleaseSetupApi();
}

}  // namespace
