#include <gtest/gtest.h>

#include "hid/platform/SetupApi.h"
#include "hid/platform/linux/LinuxHidBackend.h"
#include "tests/hid/FakeSysfsTree.h"
#include "tests/hid/HidTestSupport.h"

namespace hidtest {
namespace {

using hid::THidDeviceController;

TEST(LinuxController, SeesTheFakeTreeAndNoticesAReEnumeration) {
  FakeTree tree;
  auto twoCollections = SimpleDeviceModel::VendorDescriptor(9, 64, 64);
  auto keys = SimpleDeviceModel::VendorDescriptor(1, 8, 1, 0x01, 0x06);
  twoCollections.insert(twoCollections.end(), keys.begin(), keys.end());
  tree.AddUsb("hidraw0", "0003:2C7A:5B1D.0001", twoCollections, {});
  hidplatform::LinuxHidBackend backend({.root = tree.root.string()});
  hidplatform::ScopedBackend scope(backend);
  Recorder recorder;
  THidDeviceController c(nullptr, true);
  recorder.BindTo(c);
  c.SetLoading(false);
  ASSERT_TRUE(ProcessUntil([&] { return recorder.Count("change") == 1; }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:5B1D", "arrival:5B1D", "change"}));
  ASSERT_EQ(c.DeviceCount(), 2);
  EXPECT_TRUE(c.DeviceAt(0)->HasReadWriteAccess());
  EXPECT_EQ(c.DeviceAt(0)->Attributes().VersionNumber, 0x0105);

  hid::THidDevice* claimed = nullptr;
  ASSERT_TRUE(c.ClaimDeviceByIndex(claimed, 0));
  hid::THidDevicePtr owner(claimed);
  hid::HIDP_CAPS caps;
  claimed->GetCapabilities(caps);
  EXPECT_EQ(caps.OutputReportByteLength, 65);
  EXPECT_EQ(claimed->GetProductName(), u"Touch Keyboard");

  // The keyboard leaves and the boot loader takes the same node name.
  tree.Remove("hidraw0");
  tree.AddUhid("hidraw0", "0003:04D9:8022.0002", SimpleDeviceModel::VendorDescriptor(0, 64, 64),
               "0100");
  recorder.events.clear();
  Notify(c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"unplug:5B1D", "removal:5B1D", "unplug:5B1D",
                                                       "removal:5B1D", "arrival:8022", "change"}));
  EXPECT_FALSE(claimed->PluggedIn());
}

TEST(LinuxController, WithoutLibudevNothingIsBoundAndNothingIsSeen) {
  FakeTree tree;
  tree.AddUsb("hidraw0", "0003:2C7A:5B1D.0001", SimpleDeviceModel::VendorDescriptor(9, 64, 64), {});
  hidplatform::LinuxHidBackend backend(
      {.root = tree.root.string(), .udevLibrary = "libudev-not-installed.so.1"});
  hidplatform::ScopedBackend scope(backend);
  Recorder recorder;
  THidDeviceController c(nullptr, true);
  recorder.BindTo(c);
  c.SetLoading(false);
  EXPECT_FALSE(c.HasNotifyWindow());
  QCoreApplication::processEvents();
  Notify(c);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(c.EnumerateDevices(), 0);
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0);
}

}  // namespace
}  // namespace hidtest
