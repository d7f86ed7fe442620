#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "emulator/KeyboardComposite.h"
#include "emulator/KeyboardModel.h"
#include "emulator/KeyboardReportDescriptors.h"
#include "hid/platform/ReportDescriptor.h"
#include "tests/emulator/FakeKeyboardTransport.h"

namespace {

using emulator::KeyboardComposite;
using emulator::KeyboardModel;

// The collection of an interface that declares the command report id.
const hidplatform::CollectionReports* CommandCollection(
    const hidplatform::ParsedDescriptor& parsed) {
  const auto index = hidplatform::CollectionOfReport(parsed, emulator::kCommandReportId);
  if (!parsed.usesReportIds || !index) return nullptr;
  return &parsed.collections[*index];
}

TEST(KeyboardInterfaces, SixCollectionsOverTwoInterfacesWithTheCommandReport) {
  const auto interfaces = emulator::KeyboardInterfaces(emulator::kDefaultCollectionCount);
  ASSERT_EQ(interfaces.size(), 2u);
  EXPECT_EQ(interfaces[0].interfaceNumber, 0);
  EXPECT_EQ(interfaces[1].interfaceNumber, 1);
  EXPECT_FALSE(interfaces[0].usesReportIds);
  EXPECT_TRUE(interfaces[1].usesReportIds);

  // Lengths as a host reads them: the largest report plus the id byte.
  const auto boot = hidplatform::ParseReportDescriptor(interfaces[0].reportDescriptor);
  ASSERT_TRUE(boot.has_value());
  EXPECT_FALSE(boot->usesReportIds);
  ASSERT_EQ(boot->collections.size(), 1u);
  EXPECT_EQ(boot->collections[0].inputReportByteLength, 1 + 8);   // 8-byte boot keyboard input
  EXPECT_EQ(boot->collections[0].outputReportByteLength, 1 + 1);  // LED output

  const auto rest = hidplatform::ParseReportDescriptor(interfaces[1].reportDescriptor);
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(rest->collections.size(), 5u);
  const hidplatform::CollectionReports* command = CommandCollection(*rest);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->reportIds, std::vector<std::uint8_t>{emulator::kCommandReportId});
  EXPECT_EQ(command->outputReportByteLength, 1 + 64);
  // The command output is the only output report of interface 1.
  int outputs = 0;
  for (const auto& collection : rest->collections) {
    outputs += collection.outputReportByteLength > 0 ? 1 : 0;
  }
  EXPECT_EQ(outputs, 1);
}

TEST(KeyboardInterfaces, EveryCountKeepsKeyboardAndCommandAndRejectsOthers) {
  using emulator::InterfaceSplit;
  for (const InterfaceSplit split : {InterfaceSplit::kAsSold, InterfaceSplit::kOneCollectionEach}) {
    for (int count = emulator::kMinCollectionCount; count <= emulator::kMaxCollectionCount;
         ++count) {
      SCOPED_TRACE(std::to_string(count) + (split == InterfaceSplit::kAsSold ? "" : " split"));
      std::size_t total = 0;
      bool hasCommand = false;
      std::vector<emulator::KeyboardCollection> order;
      const auto interfaces = emulator::KeyboardInterfaces(count, split);
      for (std::size_t i = 0; i < interfaces.size(); ++i) {
        const auto& layout = interfaces[i];
        const auto parsed = hidplatform::ParseReportDescriptor(layout.reportDescriptor);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->collections.size(), layout.collections.size());
        EXPECT_EQ(parsed->usesReportIds, layout.usesReportIds);
        total += parsed->collections.size();
        const hidplatform::CollectionReports* command = CommandCollection(*parsed);
        hasCommand |= command != nullptr && command->outputReportByteLength == 1 + 64;
        order.insert(order.end(), layout.collections.begin(), layout.collections.end());
        if (split == InterfaceSplit::kOneCollectionEach) {
          EXPECT_EQ(layout.interfaceNumber, static_cast<int>(i));
          EXPECT_EQ(layout.collections.size(), 1u);
        }
      }
      EXPECT_EQ(total, static_cast<std::size_t>(count));
      EXPECT_EQ(hasCommand, count >= 2);
      // The same collections in the same order, however they are spread.
      std::vector<emulator::KeyboardCollection> asSold;
      for (const auto& layout : emulator::KeyboardInterfaces(count)) {
        asSold.insert(asSold.end(), layout.collections.begin(), layout.collections.end());
      }
      EXPECT_EQ(order, asSold);
    }
    EXPECT_THROW(emulator::KeyboardInterfaces(0, split), std::invalid_argument);
    EXPECT_THROW(emulator::KeyboardInterfaces(emulator::kMaxCollectionCount + 1, split),
                 std::invalid_argument);
  }
}

std::vector<std::uint8_t> Command(std::uint8_t code, std::uint8_t argument) {
  std::vector<std::uint8_t> report(65, 0);
  report[0] = emulator::kCommandReportId;
  report[1] = code;
  report[2] = argument;
  return report;
}

TEST(KeyboardModel, LogsCommandsAndAsksForTheBootLoaderOnce) {
  std::vector<std::string> log;
  int updates = 0;
  KeyboardModel keyboard(
      {6, 0x0105}, [&](std::string_view line) { log.emplace_back(line); }, [&] { ++updates; });
  ASSERT_EQ(keyboard.Interfaces().size(), 2u);
  const auto& identity = keyboard.Interfaces()[1]->Identity();
  EXPECT_EQ(identity.vendorId, 0x2C7A);
  EXPECT_EQ(identity.productId, 0x5B1D);
  EXPECT_EQ(identity.versionNumber, 0x0105);
  EXPECT_EQ(identity.product, emulator::kKeyboardProduct);

  kbtest::RecordingHost host;
  auto& command = *keyboard.Interfaces()[1];
  command.Attach(&host);
  command.OnOutputReport(Command(0x54, 0x02));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "interface 1: output report 09 54 02 ... (65 bytes): Fn lock");
  EXPECT_EQ(updates, 0);

  // A report too short to be a command, and one for another report id.
  const std::uint8_t leds[] = {0x00, 0x02};
  keyboard.Interfaces()[0]->OnOutputReport(leds);
  const std::uint8_t partial[] = {0x09, 0x84};
  keyboard.Interfaces()[0]->OnOutputReport(partial);
  EXPECT_EQ(log.size(), 3u);
  EXPECT_NE(log[1].find("not a command"), std::string::npos);
  EXPECT_NE(log[2].find("09 84 (2 bytes): not a command"), std::string::npos);
  EXPECT_EQ(updates, 0);

  // The window writes the update command to every interface.
  command.OnOutputReport(Command(0x84, 0x57));
  command.OnOutputReport(Command(0x84, 0x57));
  EXPECT_EQ(updates, 1);
  EXPECT_NE(log.back().find("09 84 57"), std::string::npos);
  EXPECT_TRUE(host.inputs.empty());

  // The touchpad version query is answered on the command report id.
  command.OnOutputReport(Command(0x95, 0x7E));
  ASSERT_EQ(host.inputs.size(), 1u);
  ASSERT_EQ(host.inputs[0].size(), 65u);
  EXPECT_EQ(host.inputs[0][0], 0x09);
  EXPECT_EQ(host.inputs[0][1], 0x95);
  EXPECT_EQ((host.inputs[0][3] << 8) | host.inputs[0][4], emulator::kTouchpadFirmwareVersion);

  // Detached, an answer has nowhere to go and is dropped.
  command.Attach(nullptr);
  command.OnOutputReport(Command(0x95, 0x7E));
  EXPECT_EQ(host.inputs.size(), 1u);
}

TEST(KeyboardModel, ADevicePerCollectionEachWithTheKeyboardsIdentity) {
  int updates = 0;
  KeyboardModel keyboard({6, 0x0106, emulator::InterfaceSplit::kOneCollectionEach}, nullptr,
                         [&] { ++updates; });
  ASSERT_EQ(keyboard.Interfaces().size(), 6u);
  for (const auto& device : keyboard.Interfaces()) {
    const auto& identity = device->Identity();
    EXPECT_EQ(identity.vendorId, 0x2C7A);
    EXPECT_EQ(identity.productId, 0x5B1D);
    EXPECT_EQ(identity.versionNumber, 0x0106);
    EXPECT_EQ(identity.product, emulator::kKeyboardProduct);
  }
  // The command collection follows the boot keyboard.
  keyboard.Interfaces()[1]->OnOutputReport(Command(0x84, 0x57));
  EXPECT_EQ(updates, 1);
}

// A boot loader that only remembers its hooks.
class FakeBootLoader : public emulator::DeviceModel {
 public:
  explicit FakeBootLoader(emulator::BootLoaderHooks given) : hooks(std::move(given)) {
    identity_.vendorId = 0x04D9;
    identity_.productId = 0x8022;
    identity_.versionNumber = 0x0100;
  }
  const emulator::DeviceIdentity& Identity() const override { return identity_; }
  void Attach(emulator::DeviceHost* attached) override { host = attached; }
  void OnOutputReport(std::span<const std::uint8_t>) override {}
  emulator::BootLoaderHooks hooks;
  emulator::DeviceHost* host = nullptr;

 private:
  emulator::DeviceIdentity identity_;
};

struct CompositeFixture : ::testing::Test {
  kbtest::FakeKeyboardTransport transport;
  std::shared_ptr<FakeBootLoader> bootLoader;
  int bootLoadersMade = 0;
  std::vector<KeyboardComposite::Mode> modes;

  std::unique_ptr<KeyboardComposite> Make(bool startInBootLoader,
                                          std::chrono::milliseconds unplugPause = {}) {
    KeyboardComposite::Options options;
    options.application.version = 0x0105;
    options.switchPause = std::chrono::milliseconds(500);
    options.unplugPause = unplugPause;
    options.startInBootLoader = startInBootLoader;
    auto keyboard = std::make_unique<KeyboardComposite>(
        transport,
        [this](const emulator::BootLoaderHooks& hooks) {
          ++bootLoadersMade;
          bootLoader = std::make_shared<FakeBootLoader>(hooks);
          return bootLoader;
        },
        options, nullptr);
    keyboard->SetModeObserver([this](KeyboardComposite::Mode mode) { modes.push_back(mode); });
    return keyboard;
  }
  void SendUpdate(std::size_t interface) {
    auto present = transport.Present(0x2C7A, 0x5B1D);
    ASSERT_LT(interface, present.size());
    present[interface]->OnOutputReport(Command(0x84, 0x57));
  }
};

TEST_F(CompositeFixture, UpdateGoesThroughTheBootLoaderAndBackWithTheBurnedVersion) {
  auto keyboard = Make(false);
  keyboard->Start();
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kApplication);
  EXPECT_EQ(transport.Present(0x2C7A, 0x5B1D).size(), 2u);

  // Nothing changes while the write that carries the command is delivered.
  SendUpdate(1);
  SendUpdate(0);
  EXPECT_EQ(transport.Present(0x2C7A, 0x5B1D).size(), 2u);

  transport.Advance(std::chrono::milliseconds(0));
  EXPECT_TRUE(transport.present.empty());
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kSwitching);
  transport.Advance(std::chrono::milliseconds(499));
  EXPECT_TRUE(transport.present.empty());
  transport.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  ASSERT_EQ(transport.Present(0x04D9, 0x8022).size(), 1u);
  EXPECT_EQ(transport.present.size(), 1u);

  bootLoader->hooks.startUserFirmware(0x0106);
  bootLoader->hooks.startUserFirmware(0x0106);  // a repeated start changes nothing
  transport.Advance(std::chrono::milliseconds(500));
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kApplication);
  EXPECT_EQ(keyboard->Version(), 0x0106);
  const auto back = transport.Present(0x2C7A, 0x5B1D);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0]->Identity().versionNumber, 0x0106);
  EXPECT_EQ(transport.present.size(), 2u);
  EXPECT_EQ(bootLoadersMade, 1);

  // A second update works the same way: the new interfaces listen again.
  SendUpdate(1);
  transport.Advance(std::chrono::milliseconds(500));
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  EXPECT_EQ(bootLoadersMade, 2);

  using M = KeyboardComposite::Mode;
  EXPECT_EQ(modes, (std::vector<M>{M::kApplication, M::kSwitching, M::kBootLoader, M::kSwitching,
                                   M::kApplication, M::kSwitching, M::kBootLoader}));
  const std::vector<std::string> expected = {
      "plug 2C7A:5B1D v0105",   "plug 2C7A:5B1D v0105", "unplug 2C7A:5B1D v0105",
      "unplug 2C7A:5B1D v0105", "plug 04D9:8022 v0100", "unplug 04D9:8022 v0100",
      "plug 2C7A:5B1D v0106",   "plug 2C7A:5B1D v0106", "unplug 2C7A:5B1D v0106",
      "unplug 2C7A:5B1D v0106", "plug 04D9:8022 v0100",
  };
  EXPECT_EQ(transport.events, expected);
}

TEST_F(CompositeFixture, AnUnplugPauseRemovesTheDevicesOneAtATimeBeforeTheSwitchPause) {
  using std::chrono::milliseconds;
  auto keyboard = Make(false, milliseconds(300));
  keyboard->Start();
  SendUpdate(1);
  transport.Advance(milliseconds(0));
  EXPECT_EQ(transport.present.size(), 1u);
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kSwitching);
  transport.Advance(milliseconds(299));
  EXPECT_EQ(transport.present.size(), 1u);
  transport.Advance(milliseconds(1));
  EXPECT_TRUE(transport.present.empty());
  transport.Advance(milliseconds(499));
  EXPECT_TRUE(transport.present.empty());
  transport.Advance(milliseconds(1));
  EXPECT_EQ(transport.Present(0x04D9, 0x8022).size(), 1u);

  // A keyboard destroyed between two removals takes the rest along.
  bootLoader->hooks.startUserFirmware(0x0106);
  transport.Advance(milliseconds(500));
  SendUpdate(1);
  transport.Advance(milliseconds(0));
  keyboard.reset();
  EXPECT_TRUE(transport.present.empty());
  transport.Advance(milliseconds(2000));
  EXPECT_EQ(bootLoadersMade, 1);
}

TEST_F(CompositeFixture, StartsInTheBootLoaderAndIgnoresStrayRequests) {
  auto keyboard = Make(true);
  keyboard->Start();
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  ASSERT_EQ(transport.present.size(), 1u);
  auto firstBootLoader = bootLoader;

  bootLoader->hooks.startUserFirmware(0x0107);
  transport.Advance(std::chrono::milliseconds(0));
  // The update command of a keyboard that is already leaving is ignored.
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kSwitching);
  transport.Advance(std::chrono::milliseconds(500));
  EXPECT_EQ(keyboard->Version(), 0x0107);
  SendUpdate(1);
  SendUpdate(1);
  transport.Advance(std::chrono::milliseconds(500));
  EXPECT_EQ(bootLoadersMade, 2);
  EXPECT_EQ(transport.present.size(), 1u);

  // A hook of an earlier boot loader that fires late is not the present
  // boot loader's word.
  firstBootLoader->hooks.startUserFirmware(0x0108);
  transport.Advance(std::chrono::milliseconds(1000));
  EXPECT_EQ(keyboard->Version(), 0x0107);
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  bootLoader->hooks.startUserFirmware(0x0108);
  transport.Advance(std::chrono::milliseconds(1000));
  EXPECT_EQ(keyboard->Version(), 0x0108);
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kApplication);
}

TEST_F(CompositeFixture, ABootLoaderThatDropsOffComesBackAsTheBootLoader) {
  auto keyboard = Make(true);
  keyboard->Start();
  ASSERT_NE(bootLoader->host, nullptr);
  const std::uint8_t answer[] = {0x01, 0x02};
  bootLoader->host->SendInputReport(answer);  // passes through to the transport
  EXPECT_EQ(transport.host.inputs.size(), 1u);

  bootLoader->host->Reenumerate(nullptr);
  transport.Advance(std::chrono::milliseconds(0));
  EXPECT_TRUE(transport.present.empty());
  EXPECT_EQ(bootLoader->host, nullptr);
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kSwitching);
  transport.Advance(std::chrono::milliseconds(500));
  EXPECT_EQ(keyboard->CurrentMode(), KeyboardComposite::Mode::kBootLoader);
  EXPECT_EQ(transport.Present(0x04D9, 0x8022).size(), 1u);
  EXPECT_EQ(bootLoadersMade, 2);
  EXPECT_EQ(keyboard->Version(), 0x0105);  // nothing was started
}

TEST_F(CompositeFixture, DestroyingTheKeyboardUnplugsItAndCancelsPendingSwitches) {
  auto keyboard = Make(false);
  keyboard->Start();
  SendUpdate(1);
  transport.Advance(std::chrono::milliseconds(0));
  keyboard.reset();
  transport.Advance(std::chrono::milliseconds(1000));
  EXPECT_TRUE(transport.present.empty());
  EXPECT_EQ(bootLoadersMade, 0);

  auto second = Make(false);
  second->Start();
  EXPECT_EQ(transport.present.size(), 2u);
  second.reset();
  EXPECT_TRUE(transport.present.empty());
}

}  // namespace
