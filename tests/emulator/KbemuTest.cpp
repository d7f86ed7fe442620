#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "emulator/KeyboardReportDescriptors.h"
#include "isp/IspProtocol.h"
#include "tests/support/TempDir.h"
#include "tools/kbemu/FlashFile.h"
#include "tools/kbemu/KbemuOptions.h"
#include "tools/kbemu/PowerOn.h"
#include "tools/kbemu/UhidDevice.h"
#include "tools/kbemu/UhidTransport.h"

namespace {

using emulator::BootLoaderModel;
using kbemu::ParseKbemuOptions;

TEST(KbemuOptions, ParsesEveryOptionAndNamesTheBadOne) {
  const auto options = ParseKbemuOptions(
      {"--collections", "4", "--firmware-version=0x0106", "--boot-loader", "--flash", "/tmp/f.bin",
       "--fault", "disconnect@write:120", "--switch-pause", "50", "--uhid", "/dev/x",
       "--unplug-pause", "3000", "--quiet", "--device-per-collection"});
  EXPECT_EQ(options.collections, 4);
  EXPECT_EQ(options.split, emulator::InterfaceSplit::kOneCollectionEach);
  EXPECT_EQ(options.version, 0x0106);
  EXPECT_TRUE(options.startInBootLoader);
  EXPECT_EQ(options.flashFile, "/tmp/f.bin");
  ASSERT_TRUE(options.fault.has_value());
  EXPECT_EQ(options.fault->kind, BootLoaderModel::FaultKind::kDisconnect);
  EXPECT_EQ(options.fault->operation, BootLoaderModel::Operation::kWrite);
  EXPECT_EQ(options.fault->page, std::optional<std::uint16_t>(120));
  EXPECT_EQ(options.switchPause.count(), 50);
  EXPECT_EQ(options.unplugPause.count(), 3000);
  EXPECT_EQ(options.uhidPath, "/dev/x");
  EXPECT_TRUE(options.quiet);

  const auto defaults = ParseKbemuOptions({});
  EXPECT_EQ(defaults.collections, 6);
  EXPECT_EQ(defaults.split, emulator::InterfaceSplit::kAsSold);
  EXPECT_EQ(defaults.version, 0x0105);
  EXPECT_FALSE(defaults.fault.has_value());
  EXPECT_TRUE(ParseKbemuOptions({"-h"}).help);
  EXPECT_TRUE(ParseKbemuOptions({"--version"}).showVersion);
  EXPECT_EQ(ParseKbemuOptions({"--version"}).version, 0x0105);

  const auto stall = kbemu::ParseFault("stall");
  EXPECT_EQ(stall.kind, BootLoaderModel::FaultKind::kStall);
  EXPECT_EQ(stall.operation, BootLoaderModel::Operation::kAny);
  EXPECT_FALSE(stall.page.has_value());

  const std::vector<std::vector<std::string>> bad = {
      {"--collections", "0"},
      {"--collections", "9"},
      {"--collections", "x"},
      {"--firmware-version", "10000"},
      {"--firmware-version", "-1"},
      {"--firmware-version"},
      {"--fault", "melt"},
      {"--fault", "stall@burn"},
      {"--fault", "disconnect@write:240"},
      {"--switch-pause", "1s"},
      {"--unplug-pause", "60001"},
      {"--flash="},
      {"--verbose"},
  };
  for (const auto& arguments : bad) {
    SCOPED_TRACE(arguments[0] + (arguments.size() > 1 ? " " + arguments[1] : ""));
    try {
      ParseKbemuOptions(arguments);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      const std::string name = arguments[0].substr(0, arguments[0].find('='));
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
    }
  }
}

TEST(FlashFile, SavesAndLoadsAndRefusesDamagedFiles) {
  testsupport::TempDir dir("kbemu-test");
  const std::string file = (dir.Path() / "flash.bin").string();
  EXPECT_FALSE(kbemu::LoadFlash(file, 8, 2, 3).has_value());

  kbemu::FlashContents flash{{1, 2, 3, 4, 5, 6, 7, 8}, {0x06, 0x01}, {9, 10, 11}};
  kbemu::SaveFlash(file, flash);
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
  const auto loaded = kbemu::LoadFlash(file, 8, 2, 3);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->code, flash.code);
  EXPECT_EQ(loaded->option, flash.option);
  EXPECT_EQ(loaded->record, flash.record);

  // A file of another size is not taken for a flash: a flash of the format
  // without a record, too.
  EXPECT_THROW(kbemu::LoadFlash(file, 8, 2, 0), std::runtime_error);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "short";
  EXPECT_THROW(kbemu::LoadFlash(file, 8, 2, 3), std::runtime_error);
  // A directory in the way: neither read nor written.
  const std::string blocked = (dir.Path() / "dir").string();
  std::filesystem::create_directories(blocked);
  EXPECT_THROW(kbemu::LoadFlash(blocked, 8, 2, 3), std::runtime_error);
  EXPECT_THROW(kbemu::SaveFlash((dir.Path() / "missing" / "flash.bin").string(), flash),
               std::runtime_error);
}

TEST(PowerOn, OnlyAFlashWithAValidRecordRunsTheFirmware) {
  // Factory-fresh: the firmware of the given version runs.
  auto on = kbemu::DecidePowerOn(std::nullopt, 0x0105, false);
  EXPECT_FALSE(on.bootLoader);
  EXPECT_EQ(on.version, 0x0105);
  EXPECT_TRUE(BootLoaderModel::HoldsValidImage(on.flash));
  EXPECT_TRUE(kbemu::DecidePowerOn(std::nullopt, 0x0105, true).bootLoader);

  // A flash of another version wins over the factory version.
  on = kbemu::DecidePowerOn(kbemu::FactoryFlash(0x0207), 0x0105, false);
  EXPECT_FALSE(on.bootLoader);
  EXPECT_EQ(on.version, 0x0207);

  // A burn that was cut: the record erased, or a byte it covers changed.
  auto cut = kbemu::FactoryFlash(0x0207);
  cut.record.assign(cut.record.size(), 0xFF);
  EXPECT_TRUE(kbemu::DecidePowerOn(cut, 0x0105, false).bootLoader);
  auto changed = kbemu::FactoryFlash(0x0207);
  changed.code[100] ^= 0x01;
  EXPECT_TRUE(kbemu::DecidePowerOn(changed, 0x0105, false).bootLoader);
  changed = kbemu::FactoryFlash(0x0207);
  changed.option[5] = 0x00;
  EXPECT_TRUE(kbemu::DecidePowerOn(changed, 0x0105, false).bootLoader);
}

TEST(UhidDevice, DescriptorsAndNamesAsTheKernelGetsThem) {
  const auto interfaces = emulator::KeyboardInterfaces(6);
  EXPECT_FALSE(kbemu::DescriptorUsesReportIds(interfaces[0].reportDescriptor));
  EXPECT_TRUE(kbemu::DescriptorUsesReportIds(interfaces[1].reportDescriptor));
  EXPECT_TRUE(kbemu::DescriptorUsesReportIds(isp::protocol::kReportDescriptor));
  // A report-id byte as data of another item is not a report id item.
  const std::vector<std::uint8_t> lookalike = {0x26, 0x85, 0x00, 0x75, 0x08};
  EXPECT_FALSE(kbemu::DescriptorUsesReportIds(lookalike));
  // A truncated descriptor does not read past its end.
  const std::vector<std::uint8_t> truncated = {0x27, 0x01};
  EXPECT_FALSE(kbemu::DescriptorUsesReportIds(truncated));

  emulator::DeviceIdentity identity;
  identity.reportDescriptor = interfaces[0].reportDescriptor;
  try {
    kbemu::UhidDevice device("/nonexistent/uhid", identity, "test");
    ADD_FAILURE() << "created a device without uhid";
  } catch (const kbemu::UhidError& error) {
    EXPECT_NE(std::string(error.what()).find("modprobe uhid"), std::string::npos);
  }
}

// A model that records what the transport does with it.
class ProbeModel : public emulator::DeviceModel {
 public:
  const emulator::DeviceIdentity& Identity() const override { return identity_; }
  void Attach(emulator::DeviceHost*) override { ++attaches; }
  void OnOutputReport(std::span<const std::uint8_t>) override {}
  int attaches = 0;

 private:
  emulator::DeviceIdentity identity_;
};

TEST(UhidTransport, RunsPostedTasksInTimeOrderUntilStopped) {
  kbemu::UhidTransport transport("/nonexistent/uhid", nullptr);
  std::vector<std::string> order;
  transport.Post(std::chrono::milliseconds(40), [&] {
    order.push_back("late");
    transport.Stop();
  });
  transport.Post(std::chrono::milliseconds(0), [&] {
    order.push_back("now");
    // A task may post more work, also from another thread.
    std::thread([&] {
      transport.Post(std::chrono::milliseconds(10), [&] { order.push_back("posted"); });
    }).join();
  });
  const auto start = std::chrono::steady_clock::now();
  transport.Run(-1);
  EXPECT_EQ(order, (std::vector<std::string>{"now", "posted", "late"}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));

  // A device the kernel cannot make is not half plugged.
  auto model = std::make_shared<ProbeModel>();
  EXPECT_THROW(transport.Plug(model), kbemu::UhidError);
  EXPECT_EQ(transport.DeviceCount(), 0u);
  EXPECT_EQ(model->attaches, 0);

  // A task that throws ends Run with its error.
  transport.Post(std::chrono::milliseconds(0), [] { throw std::runtime_error("task failed"); });
  EXPECT_THROW(transport.Run(-1), std::runtime_error);
}

// The real program, as a user starts it.
std::pair<int, std::string> RunKbemu(const std::string& arguments) {
  const std::string command = std::string(KBEMU_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("popen failed");
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(KbemuProgram, HelpBadOptionsAndNoUhid) {
  auto [helpCode, help] = RunKbemu("--help");
  EXPECT_EQ(helpCode, 0);
  for (const char* option :
       {"--collections", "--firmware-version", "--boot-loader", "--flash", "--fault",
        "--switch-pause", "--unplug-pause", "--uhid", "--device-per-collection"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }

  auto [badCode, bad] = RunKbemu("--collections 0");
  EXPECT_EQ(badCode, 2);
  EXPECT_NE(bad.find("--collections"), std::string::npos) << bad;

  auto [missingCode, missing] = RunKbemu("--uhid /nonexistent/uhid");
  EXPECT_EQ(missingCode, 1);
  EXPECT_NE(missing.find("cannot open /nonexistent/uhid"), std::string::npos) << missing;
  EXPECT_NE(missing.find("modprobe uhid"), std::string::npos) << missing;
  EXPECT_EQ(missing.find("application mode"), std::string::npos) << missing;

  testsupport::TempDir dir("kbemu-test");
  const std::string damaged = (dir.Path() / "flash.bin").string();
  std::ofstream(damaged) << "not a flash";
  auto [damagedCode, damagedText] = RunKbemu("--uhid /dev/null --flash " + damaged);
  EXPECT_EQ(damagedCode, 1);
  EXPECT_NE(damagedText.find("has 11 bytes"), std::string::npos) << damagedText;

  auto [unwritableCode, unwritable] =
      RunKbemu("--uhid /dev/null --flash " + (dir.Path() / "missing" / "flash.bin").string());
  EXPECT_EQ(unwritableCode, 1);
  EXPECT_NE(unwritable.find("cannot write the flash file"), std::string::npos) << unwritable;
}

}  // namespace
