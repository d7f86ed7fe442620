// The power fails after each report of a whole burn in turn, over an old
// image: the keyboard that powers on from what the flash then holds is its
// boot loader or runs the complete new image, and a rerun from there
// completes.
#include <memory>

#include "IspTestSupport.h"
#include "isp/IspDll.h"
#include "isp/IspDllInternals.h"
#include "isp/IspProtocol.h"

namespace {

using emulator::BootLoaderModel;
using emulator::FaultyLink;

class IspDllPowerLoss : public ::testing::Test {
 protected:
  IspDllPowerLoss() { isp::SetLinkSettingsForTesting(isp::LinkSettings{30, 3, 100}); }
  ~IspDllPowerLoss() override {
    SwitchToUserProgram();
    isp::SetLinkSettingsForTesting(isp::LinkSettings{});
  }

  // Burns the file into a boot loader powered on with this flash, the power
  // failing after the given number of reports (0: never). Returns the flash
  // as the burn left it and whether the burn reported success.
  std::pair<BootLoaderModel::Flash, bool> BurnFrom(const BootLoaderModel::Flash& flash,
                                                   const std::filesystem::path& file,
                                                   std::uint64_t cutAfter,
                                                   std::uint64_t* reports = nullptr) {
    auto model = std::make_shared<BootLoaderModel>(flash);
    auto link = std::make_shared<FaultyLink>(model);
    if (cutAfter > 0) link->CutPowerAfter(cutAfter);
    bus_.Plug(link);
    const bool burned = ConnectToBootloader() != -1 && isptest::LoadFileAt(file).result != -1 &&
                        EraseByPage(0, 240, 0) != -1 && Program(0) != -1 &&
                        VerifyByPage(0, 240, 0) == 0 && ExecuteProgramFrom(2) != -1;
    SwitchToUserProgram();
    bus_.UnplugAll();
    if (reports != nullptr) *reports = link->ReportsToDevice();
    return {model->FlashContents(), burned};
  }

  hidplatform::VirtualHidBus bus_;
  hidplatform::ScopedBackend scoped_{bus_};
  isptest::TempDir dir_{"isp-power-test"};
};

bool Holds(const BootLoaderModel::Flash& flash, const isp::MtpImage& image) {
  std::vector<std::uint8_t> option(isp::protocol::kOptionSize, 0xFF);
  std::copy(image.option.begin(), image.option.end(), option.begin());
  return flash.code == isptest::ExpectedFlash(image) && flash.option == option;
}

TEST_F(IspDllPowerLoss, AfterEveryReportTheKeyboardIsItsBootLoaderOrRunsTheNewImage) {
  const isp::MtpImage oldImage = isptest::MakeImage(1000, 41, 0x0105);
  const isp::MtpImage newImage = isptest::MakeImage(700, 42, 0x0106);
  const auto oldFile = dir_ / "old.MTP";
  const auto newFile = dir_ / "new.MTP";
  isptest::WriteBytes(oldFile, isp::SerializeMtp(oldImage));
  isptest::WriteBytes(newFile, isp::SerializeMtp(newImage));

  const auto [withOld, oldBurned] = BurnFrom(BootLoaderModel::ErasedFlash(), oldFile, 0);
  ASSERT_TRUE(oldBurned);
  ASSERT_TRUE(BootLoaderModel::HoldsValidImage(withOld));
  std::uint64_t reports = 0;
  ASSERT_TRUE(BurnFrom(withOld, newFile, 0, &reports).second);
  // Identify, 4 erases, the stream, the option area, 19 verifies, the
  // record, START.
  ASSERT_GT(reports, 35U);

  for (std::uint64_t cut = 1; cut <= reports; ++cut) {
    SCOPED_TRACE("power lost after report " + std::to_string(cut));
    const BootLoaderModel::Flash left = BurnFrom(withOld, newFile, cut).first;
    if (BootLoaderModel::HoldsValidImage(left)) {
      // Only IDENTIFY changes nothing; from the first erase on, the old
      // image is gone for good.
      EXPECT_TRUE(Holds(left, newImage) || (cut == 1 && Holds(left, oldImage)));
    }
    const auto [again, burned] = BurnFrom(left, newFile, 0);
    ASSERT_TRUE(burned);
    EXPECT_TRUE(BootLoaderModel::HoldsValidImage(again));
    EXPECT_TRUE(Holds(again, newImage));
  }
}

}  // namespace
