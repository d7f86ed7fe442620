// The whole update in-process: the keyboard and its boot loader on the
// virtual bus, the update command written through the platform layer, the
// burn done by ISPDLL's exported operations. The same chain as the
// virtual-machine run, but fast enough for the sanitizer build.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/KeyboardComposite.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/platform/HidBackend.h"
#include "isp/IspDll.h"
#include "isp/IspDllInternals.h"
#include "isp/MtpFormat.h"
#include "tests/isp/IspTestSupport.h"

namespace {

namespace hp = hidplatform;
using emulator::BootLoaderModel;
using emulator::KeyboardComposite;

// The composite's transport on the virtual bus. Delays collapse: the test
// runs what was posted when it wants the keyboard to move on.
class VirtualBusTransport : public emulator::KeyboardTransport {
 public:
  explicit VirtualBusTransport(hp::VirtualHidBus& bus) : bus_(bus) {}
  DeviceId Plug(std::shared_ptr<emulator::DeviceModel> model) override {
    return static_cast<DeviceId>(bus_.Plug(std::move(model)));
  }
  void Unplug(DeviceId id) override { bus_.Unplug(static_cast<std::uint32_t>(id)); }
  void Post(std::chrono::milliseconds, std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  void RunPending() {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

 private:
  hp::VirtualHidBus& bus_;
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

struct Present {
  std::uint16_t vendorId;
  std::uint16_t productId;
  std::uint16_t version;
  std::uint16_t outputLength;
  std::string path;
};

// What a host sees now, one entry per listed interface.
std::vector<Present> Scan(hp::HidBackend& backend) {
  std::vector<hp::InterfaceEntry> entries;
  EXPECT_TRUE(backend.EnumerateInterfaces(entries));
  std::vector<Present> out;
  for (const auto& entry : entries) {
    const hp::Handle handle = backend.Open(entry.path, hp::Access::kQueryOnly);
    if (handle == hp::kInvalidHandle) continue;
    hp::Attributes attributes;
    auto parsed = backend.GetPreparsedData(handle);
    if (backend.GetAttributes(handle, attributes) && parsed) {
      out.push_back({attributes.vendorId, attributes.productId, attributes.versionNumber,
                     parsed->caps().outputReportByteLength, entry.path});
    }
    backend.Close(handle);
  }
  return out;
}

std::size_t Count(const std::vector<Present>& present, std::uint16_t vendor, std::uint16_t product,
                  std::uint16_t version) {
  std::size_t n = 0;
  for (const auto& p : present) {
    n += p.vendorId == vendor && p.productId == product && p.version == version ? 1 : 0;
  }
  return n;
}

class KeyboardOnVirtualBus : public ::testing::Test {
 protected:
  KeyboardOnVirtualBus() {
    // Short answer timeouts keep the fault case quick.
    isp::SetLinkSettingsForTesting(isp::LinkSettings{150, 3});
    isptest::WriteBytes(firmware_, isp::SerializeMtp(image_));

    KeyboardComposite::Options options;
    options.application.version = 0x0105;
    keyboard_ = std::make_unique<KeyboardComposite>(
        transport_,
        [this](const emulator::BootLoaderHooks& hooks) {
          bootLoader_->SetStartHandler(hooks.startUserFirmware);
          return bootLoader_;
        },
        options, nullptr);
    keyboard_->Start();
  }

  ~KeyboardOnVirtualBus() override {
    SwitchToUserProgram();  // drops ISPDLL's connection before the bus goes
    isp::SetLinkSettingsForTesting(isp::LinkSettings{});
    keyboard_.reset();
  }

  // The window's part: the update command to every listed interface of the
  // keyboard, each with its own output length (the command collection's is 65).
  void SendUpdateCommand() {
    bool sentToCommandCollection = false;
    for (const Present& p : Scan(bus_)) {
      if (p.vendorId != 0x2C7A || p.outputLength < 3) continue;
      const hp::Handle handle = bus_.Open(p.path, hp::Access::kReadWrite);
      std::vector<std::uint8_t> report(p.outputLength, 0);
      report[0] = 0x09;
      report[1] = 0x84;
      report[2] = 0x57;
      std::uint32_t written = 0;
      // Once the keyboard has left, later writes may fail: as on hardware.
      if (bus_.Write(handle, report.data(), report.size(), written) && p.outputLength == 65) {
        sentToCommandCollection = true;
      }
      bus_.Close(handle);
    }
    EXPECT_TRUE(sentToCommandCollection);
  }

  // mcuprog's sequence; the result of the first failing step, else 0.
  std::int32_t Burn() {
    if (ConnectToBootloader() == -1) return -1;
    if (isptest::LoadFileAt(firmware_).result == -1) return -2;
    if (EraseByPage(0, 240, 0) == -1) return -3;
    if (Program(0) == -1) return -4;
    if (VerifyByPage(0, 240, 0) != 0) return -5;
    if (ExecuteProgramFrom(2) == -1) return -6;
    SwitchToUserProgram();
    return 0;
  }

  hp::VirtualHidBus bus_;
  hp::ScopedBackend scoped_{bus_};
  VirtualBusTransport transport_{bus_};
  std::shared_ptr<BootLoaderModel> bootLoader_ = std::make_shared<BootLoaderModel>();
  std::unique_ptr<KeyboardComposite> keyboard_;
  testsupport::TempDir dir_{"keyboard-bus-test"};
  std::filesystem::path firmware_ = dir_ / "USBKeyboard.MTP";
  isp::MtpImage image_ = isptest::MakeImage(60000, 7, 0x0106);
};

TEST_F(KeyboardOnVirtualBus, UpdateCommandBurnAndReturnWithTheNewVersion) {
  auto present = Scan(bus_);
  EXPECT_EQ(Count(present, 0x2C7A, 0x5B1D, 0x0105), 6u);
  EXPECT_EQ(present.size(), 6u);

  SendUpdateCommand();
  transport_.RunPending();
  present = Scan(bus_);
  ASSERT_EQ(present.size(), 1u);
  EXPECT_EQ(present[0].vendorId, 0x04D9);
  EXPECT_EQ(present[0].productId, 0x8022);

  ASSERT_EQ(Burn(), 0);
  transport_.RunPending();
  present = Scan(bus_);
  EXPECT_EQ(Count(present, 0x2C7A, 0x5B1D, 0x0106), 6u);
  EXPECT_EQ(present.size(), 6u);
  EXPECT_EQ(keyboard_->CurrentMode(), KeyboardComposite::Mode::kApplication);
  EXPECT_EQ(bootLoader_->CodeFlash(), isptest::ExpectedFlash(image_));
}

TEST_F(KeyboardOnVirtualBus, BootLoaderDroppingOffMidBurnComesBackAndASecondBurnCompletes) {
  SendUpdateCommand();
  transport_.RunPending();
  bootLoader_->InjectFault({BootLoaderModel::FaultKind::kDisconnect,
                            BootLoaderModel::Operation::kWrite, std::uint16_t{120}});
  EXPECT_EQ(Burn(), -4);  // Program fails
  EXPECT_TRUE(bootLoader_->FaultStruck());
  SwitchToUserProgram();

  transport_.RunPending();
  auto present = Scan(bus_);
  ASSERT_EQ(present.size(), 1u);
  EXPECT_EQ(present[0].vendorId, 0x04D9);
  EXPECT_EQ(keyboard_->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  EXPECT_EQ(keyboard_->Version(), 0x0105);
  EXPECT_NE(bootLoader_->CodeFlash(), isptest::ExpectedFlash(image_));

  ASSERT_EQ(Burn(), 0);
  transport_.RunPending();
  present = Scan(bus_);
  EXPECT_EQ(Count(present, 0x2C7A, 0x5B1D, 0x0106), 6u);
  EXPECT_EQ(bootLoader_->CodeFlash(), isptest::ExpectedFlash(image_));
}

}  // namespace
