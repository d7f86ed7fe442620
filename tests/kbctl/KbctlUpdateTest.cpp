// kbctl update against the emulated keyboard and boot loader on the virtual
// bus: the whole update, the recovery, the refusals before anything is sent,
// and the stage each failure ends with.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/platform/MainLoop.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"
#include "kbctl/KbctlCommands.h"
#include "tests/support/EmulatedDevices.h"
#include "tests/support/TempDir.h"

namespace {

using apptest::MakeKeyboard;
using emulator::BootLoaderModel;

struct Result {
  int code;
  std::string out;
  std::string err;
};

class KbctlUpdateTest : public ::testing::Test {
 protected:
  // An image for this keyboard carrying the version.
  std::string Firmware(std::uint16_t version, const std::string& name = "USBKeyboard.MTP") {
    isp::MtpImage image;
    image.targetId = isp::protocol::kTargetId;
    image.pageSize = isp::protocol::kPageSize;
    image.pageCount = isp::protocol::kPageCount;
    image.program.assign(3000, 0x5A);
    image.option = {static_cast<std::uint8_t>(version & 0xFF),
                    static_cast<std::uint8_t>(version >> 8)};
    dir.Write(name, isp::SerializeMtp(image));
    return (dir / name).string();
  }

  // A boot loader that comes back as the keyboard with this version.
  std::shared_ptr<BootLoaderModel> LoaderBackAs(std::uint16_t version) {
    auto loader = std::make_shared<BootLoaderModel>();
    loader->SetApplicationModel(MakeKeyboard(6, version));
    return loader;
  }

  Result Run(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int code = kbctl::Run(arguments, environment, out, err);
    return {code, out.str(), err.str()};
  }

  bool Present(std::uint16_t vid) const {
    for (const std::uint32_t id : bus.PluggedDevices()) {
      const auto model = bus.ModelOf(id);
      if (model && model->Identity().vendorId == vid) return true;
    }
    return false;
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope{bus};
  testsupport::TempDir dir{"kbctl-update"};
  kbctl::Environment environment{dir.Path().string()};
};

TEST_F(KbctlUpdateTest, UpdatesFromApplicationModeAndRefusesTheSameVersionAfterwards) {
  const auto keyboard = MakeKeyboard(6, 0x0105);
  const auto loader = LoaderBackAs(0x0201);
  apptest::RestartIntoBootLoaderOnUpdate(keyboard, loader);
  const auto paths = bus.InterfacesOf(bus.Plug(keyboard));
  const std::string file = Firmware(0x0201);

  // The default file is the one beside the program.
  const Result result = Run({"update", "--yes"});
  EXPECT_EQ(result.code, kbctl::kExitOk) << result.err;
  EXPECT_EQ(result.err, "");
  for (const std::string& line :
       {"Firmware file " + file + ": version 0201\n",
        std::string("Keyboard KB-000123: firmware 0105\n"), std::string("connect: ok\n"),
        std::string("erase: 100%\n"), std::string("verify: ok\n"), std::string("start: ok\n"),
        std::string("Updated keyboard KB-000123 to version 0201\n")}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << result.out;
  }
  EXPECT_EQ(loader->FirmwareVersion(), 0x0201);
  EXPECT_TRUE(loader->HoldsValidImage());
  // The update command went to every interface of the keyboard.
  std::size_t commands = 0;
  for (const auto& write : bus.WrittenReports()) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (write.path != paths[i].path) continue;
      EXPECT_EQ(write.bytes, apptest::CommandReportFor(i, 0x84, 0x57)) << i;
      ++commands;
    }
  }
  EXPECT_EQ(commands, paths.size());

  // Now it runs 0201: the same file again is refused, before anything is sent.
  bus.ClearWrittenReports();
  const Result again = Run({"update", file, "--yes", "--json"});
  EXPECT_EQ(again.code, kbctl::kExitKeyboardRefused);
  EXPECT_EQ(again.out,
            "{\"result\": \"failed\", \"stage\": \"version\", \"exit_code\": 4, \"keyboard\": "
            "\"KB-000123\", \"old_version\": \"0201\", \"new_version\": \"0201\"}\n");
  EXPECT_NE(again.err.find("kbctl: update: version: the keyboard already runs version 0201 "
                           "(--reinstall burns it again)\n"),
            std::string::npos)
      << again.err;
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(KbctlUpdateTest, OnATerminalEachLongStageIsOneRedrawnBar) {
  const auto loader = LoaderBackAs(0x0300);
  bus.Plug(loader);
  const std::string file = Firmware(0x0300, "new.MTP");
  environment.errorIsTerminal = true;  // with --json the stage lines go there

  const Result result = Run({"update", file, "--yes", "--json"});
  EXPECT_EQ(result.code, kbctl::kExitOk) << result.err;
  EXPECT_NE(result.out.find("\"result\": \"ok\""), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("connect: ok\n"), std::string::npos) << result.err;
  for (const char* stage : {"erase   ", "program ", "verify  "}) {
    const std::string start = std::string("\r") + stage + "[--------------------]   0%";
    const std::string end = std::string("\r") + stage + "[####################] 100% ok\n";
    const std::size_t begun = result.err.find(start);
    ASSERT_NE(begun, std::string::npos) << stage << result.err;
    const std::size_t ended = result.err.find(end, begun);
    ASSERT_NE(ended, std::string::npos) << stage << result.err;
    // Nothing but redraws of the same bar in between.
    EXPECT_EQ(result.err.find('\n', begun), ended + end.size() - 1) << stage;
  }
  EXPECT_EQ(result.err.find("erase: 100%"), std::string::npos) << result.err;
  EXPECT_EQ(loader->FirmwareVersion(), 0x0300);
}

TEST_F(KbctlUpdateTest, AFailedBurnLeavesTheBootLoaderAndTheSameCommandRecovers) {
  const auto loader = LoaderBackAs(0x0300);
  // One bit of page 0 is programmed wrong once: the burn stops there.
  loader->InjectFault({.kind = BootLoaderModel::FaultKind::kWeakCell,
                       .operation = BootLoaderModel::Operation::kWrite,
                       .page = 0});
  bus.Plug(loader);
  const std::string file = Firmware(0x0300, "new.MTP");

  const Result failed = Run({"update", file, "--yes"});
  EXPECT_EQ(failed.code, kbctl::kExitBurnFailed);
  EXPECT_EQ(failed.err,
            "kbctl: update: burn: program failed; the keyboard stays in its boot loader: run the "
            "same command again\n");
  EXPECT_TRUE(Present(apptest::kBootLoaderVid));
  EXPECT_FALSE(loader->HoldsValidImage());

  const Result recovered = Run({"update", file, "--yes", "--json"});
  EXPECT_EQ(recovered.code, kbctl::kExitOk) << recovered.err;
  EXPECT_EQ(recovered.out,
            "{\"result\": \"ok\", \"stage\": \"done\", \"exit_code\": 0, \"keyboard\": "
            "\"KB-000123\", \"old_version\": null, \"new_version\": \"0300\"}\n");
  EXPECT_EQ(loader->FirmwareVersion(), 0x0300);
  EXPECT_TRUE(Present(apptest::kKeyboardVid));
  EXPECT_FALSE(Present(apptest::kBootLoaderVid));
}

TEST_F(KbctlUpdateTest, RefusalsComeBeforeAnythingIsWritten) {
  const auto keyboard = MakeKeyboard(6, 0x0105);
  apptest::RestartIntoBootLoaderOnUpdate(keyboard, LoaderBackAs(0x0201));
  bus.Plug(keyboard);
  std::vector<std::uint8_t> damaged;
  {
    isp::MtpImage image;
    image.targetId = isp::protocol::kTargetId;
    image.pageSize = isp::protocol::kPageSize;
    image.pageCount = isp::protocol::kPageCount;
    image.program.assign(3000, 0x5A);
    image.option = {0x01, 0x02};
    damaged = isp::SerializeMtp(image);
    damaged.back() ^= 1;
  }
  dir.Write("damaged.MTP", damaged);
  const std::string older = Firmware(0x0104, "older.MTP");
  const std::string newer = Firmware(0x0201, "newer.MTP");

  struct Case {
    std::vector<std::string> arguments;
    int code;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"update", "--yes"},
       kbctl::kExitFileRefused,
       "kbctl: update: file: " + (dir / "USBKeyboard.MTP").string() + ": not found\n"},
      {{"update", (dir / "damaged.MTP").string(), "--yes"},
       kbctl::kExitFileRefused,
       "kbctl: update: file: " + (dir / "damaged.MTP").string() + ": " +
           isp::MtpErrorText(isp::MtpError::kBlockCrc) + "\n"},
      {{"update", older, "--yes"},
       kbctl::kExitKeyboardRefused,
       "kbctl: update: version: the file's version 0104 is older than the keyboard's 0105 "
       "(--allow-older burns it)\n"},
      {{"update", newer, "--device", "KB-9"},
       kbctl::kExitKeyboardRefused,
       "kbctl: update: keyboard: no keyboard named KB-9 (kbctl list shows the names)\n"},
      // No terminal to ask on.
      {{"update", newer},
       kbctl::kExitUsage,
       "kbctl: update: confirm: no terminal to ask: use --yes\n"},
      {{"update", newer, "--allow-older", "--reinstall"},
       kbctl::kExitUsage,
       std::string("kbctl: update: --allow-older and --reinstall exclude each other\n") +
           kbctl::kUsage},
      {{"update", newer, older},
       kbctl::kExitUsage,
       "kbctl: update: one firmware file only, not also '" + older + "'\n" + kbctl::kUsage},
      {{"update", "--device"},
       kbctl::kExitUsage,
       std::string("kbctl: update: --device takes a name that kbctl list prints\n") +
           kbctl::kUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const Result result = Run(c.arguments);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.err, c.error);
  }
  // Declined on a terminal.
  std::istringstream no("n\n");
  environment.terminal = &no;
  Result result = Run({"update", newer});
  EXPECT_EQ(result.code, kbctl::kExitFailed);
  EXPECT_NE(result.out.find("Update keyboard KB-000123 from 0105 to 0201? [y/N] "),
            std::string::npos);

  // Two keyboards and none named.
  auto second = MakeKeyboard(2, 0x0105);
  emulator::DeviceIdentity identity = second->Identity();
  identity.serialNumber = u"KB-2";
  bus.Plug(std::make_shared<emulator::SimpleDeviceModel>(identity));
  result = Run({"update", newer, "--yes"});
  EXPECT_EQ(result.code, kbctl::kExitKeyboardRefused);
  EXPECT_EQ(result.err,
            "kbctl: update: keyboard: 2 keyboards present: name one with --device (kbctl list "
            "shows the names)\n");

  EXPECT_TRUE(bus.WrittenReports().empty());
  EXPECT_TRUE(Present(apptest::kKeyboardVid));
  EXPECT_FALSE(Present(apptest::kBootLoaderVid));
}

TEST_F(KbctlUpdateTest, EachLaterStageFailsWithItsOwnExitCode) {
  // Short limits: each of these waits for something that never comes.
  environment.bootLoaderWait = std::chrono::milliseconds(300);
  environment.returnWait = std::chrono::milliseconds(300);
  const std::string file = Firmware(0x0201);

  // The keyboard takes the command but does not restart; --wait, not the
  // environment's minute, bounds the wait. Meanwhile kbctl holds nothing of
  // it open: under Wine a held handle keeps the keyboard from leaving.
  const auto stays = MakeKeyboard(6, 0x0105);
  std::optional<std::size_t> handlesWhileWaiting;
  stays->SetOutputHandler([&](emulator::SimpleDeviceModel&, std::span<const std::uint8_t>) {
    hidplatform::CurrentMainLoop().Post([&] { handlesWhileWaiting = bus.OpenHandleCount(); });
  });
  bus.Plug(stays);
  environment.bootLoaderWait = std::chrono::seconds(60);
  const auto start = std::chrono::steady_clock::now();
  Result result = Run({"update", "--yes", "--wait", "1"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(result.code, kbctl::kExitNoBootLoader);
  EXPECT_EQ(result.err.rfind("kbctl: update: boot loader: ", 0), 0u) << result.err;
  EXPECT_EQ(handlesWhileWaiting, std::optional<std::size_t>(0));
  for (const char* wait : {"3601", "1s", "-1", ""}) {
    EXPECT_EQ(Run({"update", "--yes", "--wait", wait}).code, kbctl::kExitUsage) << wait;
  }
  environment.bootLoaderWait = std::chrono::milliseconds(300);

  // The boot loader stays after the burn.
  bus.UnplugAll();
  auto staysLoader = std::make_shared<BootLoaderModel>();
  staysLoader->SetStartHandler([](std::uint16_t) {});
  bus.Plug(staysLoader);
  result = Run({"update", "--yes"});
  EXPECT_EQ(result.code, kbctl::kExitNotBack);
  EXPECT_EQ(result.err.rfind("kbctl: update: return: ", 0), 0u) << result.err;

  // It comes back with another version than the file's.
  bus.UnplugAll();
  environment.returnWait = std::chrono::seconds(60);
  bus.Plug(LoaderBackAs(0x0105));
  result = Run({"update", "--yes"});
  EXPECT_EQ(result.code, kbctl::kExitWrongVersion);
  EXPECT_EQ(result.err,
            "kbctl: update: version check: the keyboard reports version 0105, not 0201\n");
}

// Wine's HID bus reports version 0 for every device: nothing to compare
// before the burn, and the verify stage vouches for the flash after it.
TEST_F(KbctlUpdateTest, AVersionTheSystemDoesNotReportIsNotCompared) {
  const auto keyboard = MakeKeyboard(6, 0x0000);
  const auto loader = LoaderBackAs(0x0000);
  apptest::RestartIntoBootLoaderOnUpdate(keyboard, loader);
  bus.Plug(keyboard);
  const std::string file = Firmware(0x0201);

  std::ostringstream listed;
  std::ostringstream ignored;
  EXPECT_EQ(kbctl::List(false, listed, ignored), kbctl::kExitOk);
  EXPECT_NE(listed.str().find("KB-000123: application mode, firmware not reported, 6 interfaces"),
            std::string::npos)
      << listed.str();
  std::ostringstream json;
  EXPECT_EQ(kbctl::List(true, json, ignored), kbctl::kExitOk);
  EXPECT_NE(json.str().find("\"version\": null"), std::string::npos) << json.str();

  const Result result = Run({"update", "--yes", "--json"});
  EXPECT_EQ(result.code, kbctl::kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "{\"result\": \"ok\", \"stage\": \"done\", \"exit_code\": 0, \"keyboard\": "
            "\"KB-000123\", \"old_version\": null, \"new_version\": \"0201\"}\n");
  EXPECT_NE(result.err.find("Updated keyboard KB-000123 to version 0201 (verified in the flash"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(loader->FirmwareVersion(), 0x0201);
}

}  // namespace
