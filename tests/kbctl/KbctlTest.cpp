// kbctl's commands against the virtual bus: what list shows of the keyboard,
// its boot loader and other devices, and where the lock commands go.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "emulator/virtual/VirtualHidBus.h"
#include "kbctl/KbctlCommands.h"
#include "tests/support/EmulatedDevices.h"

namespace {

using apptest::MakeBootLoader;
using apptest::MakeKeyboard;
using apptest::MakeOtherDevice;

#if defined(_WIN32)
constexpr const char* kNoPermission =
    "no permission: another program may hold the keyboard open exclusively";
#else
constexpr const char* kNoPermission = "no permission: install the udev rule, see docs/linux.md";
#endif

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunKbctl(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int code = kbctl::Run(arguments, out, err);
  return {code, out.str(), err.str()};
}

// The same keyboard with another serial number: another USB device.
std::shared_ptr<emulator::SimpleDeviceModel> WithSerial(
    const std::shared_ptr<emulator::SimpleDeviceModel>& model, std::u16string serial) {
  emulator::DeviceIdentity identity = model->Identity();
  identity.serialNumber = std::move(serial);
  return std::make_shared<emulator::SimpleDeviceModel>(std::move(identity));
}

class KbctlTest : public ::testing::Test {
 protected:
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope{bus};
};

TEST_F(KbctlTest, ListShowsKeyboardsAndBootLoaderButNoOtherDevice) {
  const auto keyboard = bus.Plug(MakeKeyboard(6, 0x0107));
  bus.Plug(MakeOtherDevice());
  const auto loader = bus.Plug(MakeBootLoader(), {.readWriteAccess = false});
  const auto paths = bus.InterfacesOf(keyboard);
  const std::string loaderPath = bus.InterfacesOf(loader).at(0).path;

  const Result result = RunKbctl({"list"});
  EXPECT_EQ(result.code, kbctl::kExitOk);
  std::string expected = "KB-000123: application mode, firmware 0107, 6 interfaces, writable\n";
  for (const auto& entry : paths) expected += "  " + entry.path + "\n";
  expected += loaderPath +
              ": boot loader (interrupted update: run kbctl update to recover), 1 interface, "
              "not writable: " +
              kNoPermission + "\n  " + loaderPath + "\n";
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, "");

  bus.UnplugAll();
  EXPECT_EQ(RunKbctl({"list"}).out, "kbctl: found no keyboard.\n");
  EXPECT_EQ(RunKbctl({"list", "--json"}).out, "[]\n");
}

// Two keyboards without serial numbers are told apart by the port the
// system says they are on, each named by its first interface; where nothing
// tells them apart they make one.
TEST_F(KbctlTest, KeyboardsWithoutSerialNumbersAreToldApartByTheirPort) {
  const auto first = bus.Plug(WithSerial(MakeKeyboard(2), u""), {.physicalDevice = "usb 1-2"});
  const auto second = bus.Plug(WithSerial(MakeKeyboard(2), u""), {.physicalDevice = "usb 1-3"});
  for (const auto id : {first, second}) {
    const std::string named = bus.InterfacesOf(id).at(0).path + ": application mode, firmware ";
    const std::string out = RunKbctl({"list"}).out;
    EXPECT_NE(out.find(named), std::string::npos) << out;
    EXPECT_EQ(out.find("4 interfaces"), std::string::npos) << out;
  }
  bus.SetDeviceOptions(second, {.physicalDevice = "usb 1-2"});
  EXPECT_NE(RunKbctl({"list"}).out.find(", 4 interfaces, "), std::string::npos);
}

TEST_F(KbctlTest, ListJsonHasOneObjectPerKeyboardWithEscapedStrings) {
  const auto first = bus.Plug(MakeKeyboard(2));
  const auto second = bus.Plug(WithSerial(MakeKeyboard(1), u"A\"B\\C\u00e4"));
  const auto loader = bus.Plug(MakeBootLoader());
  const std::string loaderPath = bus.InterfacesOf(loader).at(0).path;

  const Result result = RunKbctl({"list", "--json"});
  EXPECT_EQ(result.code, kbctl::kExitOk);
  const std::string product = "\"product\": \"USB Keyboard with Touchpad\"";
  EXPECT_EQ(result.out,
            "[\n"
            "  {\"name\": \"KB-000123\", \"mode\": \"application\", \"vendor_id\": \"2C7A\", "
            "\"product_id\": \"5B1D\", \"version\": \"0105\", " +
                product + ", \"serial\": \"KB-000123\", \"interfaces\": 2, \"paths\": [\"" +
                bus.InterfacesOf(first).at(0).path + "\", \"" + bus.InterfacesOf(first).at(1).path +
                "\"], \"writable\": true, \"problem\": null},\n"
                "  {\"name\": \"A\\\"B\\\\C\xc3\xa4\", \"mode\": \"application\", "
                "\"vendor_id\": \"2C7A\", \"product_id\": \"5B1D\", \"version\": \"0105\", " +
                product +
                ", \"serial\": \"A\\\"B\\\\C\xc3\xa4\", \"interfaces\": 1, \"paths\": [\"" +
                bus.InterfacesOf(second).at(0).path +
                "\"], \"writable\": true, \"problem\": null},\n"
                "  {\"name\": \"" +
                loaderPath +
                "\", \"mode\": \"boot-loader\", \"vendor_id\": \"04D9\", \"product_id\": "
                "\"8022\", \"version\": null, \"product\": \"Boot Loader\", \"serial\": \"\", "
                "\"interfaces\": 1, \"paths\": [\"" +
                loaderPath + "\"], \"writable\": true, \"problem\": null}\n]\n");

  // Windows paths carry backslashes; device strings may carry anything.
  EXPECT_EQ(kbctl::JsonString("\\\\?\\hid#vid_2c7a\t\"x\"\n\r\x01\x1f"),
            "\"\\\\\\\\?\\\\hid#vid_2c7a\\t\\\"x\\\"\\n\\r\\u0001\\u001F\"");
}

TEST_F(KbctlTest, LockCommandsReachEveryInterfaceOfEveryKeyboard) {
  const auto keyboard = bus.Plug(MakeKeyboard(6));
  const auto other = bus.Plug(MakeOtherDevice());
  const auto second = bus.Plug(WithSerial(MakeKeyboard(4), u"KB-2"));

  Result result = RunKbctl({"fn-lock", "on"});
  EXPECT_EQ(result.code, kbctl::kExitOk);
  EXPECT_EQ(result.out, "Fn lock on: written to 10 of 10 interfaces\n");
  auto writes = bus.WrittenReports();
  ASSERT_EQ(writes.size(), 10u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const std::size_t index = i < 6 ? i : i - 6;
    EXPECT_EQ(writes[i].path, bus.InterfacesOf(i < 6 ? keyboard : second).at(index).path) << i;
    // Each interface at its own output report length: 65 bytes for the
    // command collection, 2 for the others.
    EXPECT_EQ(writes[i].bytes, apptest::CommandReportFor(index, 0x54, 0x02)) << i;
    EXPECT_NE(writes[i].deviceInstance, other) << i;
  }

  bus.ClearWrittenReports();
  result = RunKbctl({"mic-lock", "off"});
  EXPECT_EQ(result.out, "Mic lock off: written to 10 of 10 interfaces\n");
  writes = bus.WrittenReports();
  ASSERT_EQ(writes.size(), 10u);
  EXPECT_EQ(writes[apptest::kCommandInterface].bytes,
            apptest::CommandReportFor(apptest::kCommandInterface, 0x74, 0x01));

  bus.ClearWrittenReports();
  result = RunKbctl({"mute-lock", "on"});
  EXPECT_EQ(result.out, "Mute lock on: written to 10 of 10 interfaces\n");
  EXPECT_EQ(bus.WrittenReports().at(apptest::kCommandInterface).bytes,
            apptest::CommandReportFor(apptest::kCommandInterface, 0x64, 0x02));
}

TEST_F(KbctlTest, LockFailsWhenNothingCanBeWritten) {
  // No device at all, then only other devices and the boot loader.
  Result result = RunKbctl({"fn-lock", "off"});
  EXPECT_EQ(result.code, kbctl::kExitFailed);
  EXPECT_EQ(result.err, "kbctl: Fn lock off: no keyboard in application mode found.\n");
  bus.Plug(MakeOtherDevice());
  bus.Plug(MakeBootLoader());
  result = RunKbctl({"fn-lock", "off"});
  EXPECT_EQ(result.code, kbctl::kExitFailed);
  EXPECT_EQ(result.err,
            "kbctl: Fn lock off: no keyboard in application mode found (a keyboard is in its "
            "boot loader: run kbctl update to recover).\n");
  EXPECT_TRUE(bus.WrittenReports().empty());

  // A keyboard this user may not write to.
  bus.UnplugAll();
  bus.Plug(MakeKeyboard(3), {.readWriteAccess = false});
  result = RunKbctl({"mute-lock", "on"});
  EXPECT_EQ(result.code, kbctl::kExitFailed);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, std::string("kbctl: Mute lock on: written to 0 of 3 interfaces: ") +
                            kNoPermission + ".\n");
  EXPECT_TRUE(bus.WrittenReports().empty());
}

TEST_F(KbctlTest, BadCommandLinesPrintTheUsageAndExitTwo) {
  bus.Plug(MakeKeyboard(6));
  // Each says what is wrong before the usage.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, ""},
      {{"lists"}, "kbctl: unknown command 'lists'\n"},
      {{"list", "--yaml"}, "kbctl: list takes --json and nothing else\n"},
      {{"list", "--json", "x"}, "kbctl: list takes --json and nothing else\n"},
      {{"fn-lock"}, "kbctl: fn-lock takes on or off\n"},
      {{"fn-lock", "yes"}, "kbctl: fn-lock takes on or off\n"},
      {{"caps-lock", "on"}, "kbctl: unknown command 'caps-lock'\n"},
      {{"update", "--wait", "0"}, "kbctl: update: --wait takes whole seconds, 1 to 3600\n"},
      {{"update", "--wait"}, "kbctl: update: --wait takes whole seconds, 1 to 3600\n"},
      {{"update", "-y"}, "kbctl: update: unknown option '-y'\n"},
  };
  for (const auto& [arguments, reason] : cases) {
    const Result result = RunKbctl(arguments);
    EXPECT_EQ(result.code, kbctl::kExitUsage) << reason;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, reason + kbctl::kUsage);
  }
  EXPECT_TRUE(bus.WrittenReports().empty());
}

}  // namespace
