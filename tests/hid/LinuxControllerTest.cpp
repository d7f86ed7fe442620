#include <fcntl.h>
#include <gtest/gtest.h>

#include <thread>

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

TEST(LinuxController, WithoutAUdevMonitorPeriodicRescansStillSeeChanges) {
  FakeTree tree;
  tree.AddUsb("hidraw0", "0003:2C7A:5B1D.0001", SimpleDeviceModel::VendorDescriptor(9, 64, 64), {});
  hidplatform::LinuxHidBackend backend(
      {.root = tree.root.string(), .udevLibrary = KB_FAKE_UDEV_WITHOUT_MONITOR});
  hidplatform::ScopedBackend scope(backend);
  Recorder recorder;
  THidDeviceController c(nullptr, true);
  recorder.BindTo(c);
  c.SetLoading(false);
  ASSERT_TRUE(c.HasNotifyWindow());
  ASSERT_TRUE(ProcessUntil([&] { return c.DeviceCount() == 1; }));
  // The keyboard restarts as the boot loader; nobody sends a notification.
  tree.Remove("hidraw0");
  tree.AddUhid("hidraw1", "0003:04D9:8022.0002", SimpleDeviceModel::VendorDescriptor(0, 64, 64),
               "0100");
  ASSERT_TRUE(ProcessUntil([&] { return recorder.Count("arrival:8022") == 1; }));
  EXPECT_EQ(c.DeviceCount(), 1);
  EXPECT_EQ(recorder.Count("removal:5B1D"), 1);
}

TEST(LinuxController, AReaderOverAHidrawNodeDeliversReportsAndSurvivesTheUnplug) {
  FakeTree tree;
  tree.AddUhid("hidraw0", "0003:2C7A:5B1D.0001", SimpleDeviceModel::VendorDescriptor(0, 4, 4),
               "0105", FakeTree::Node::kFifo);
  hidplatform::LinuxHidBackend backend({.root = tree.root.string()});
  hidplatform::ScopedBackend scope(backend);
  THidDeviceController c;
  ASSERT_TRUE(ProcessUntil([&] { return c.DeviceCount() == 1; }));
  std::vector<std::vector<std::uint8_t>> reports;
  std::vector<std::uint32_t> errors;
  int tag = 0;
  c.SetOnDeviceDataError(hid::THidDataErrorEvent(
      &tag, [&](hid::THidDevice*, std::uint32_t error) { errors.push_back(error); }));
  hid::THidDevice* claimed = nullptr;
  ASSERT_TRUE(c.ClaimDeviceByIndex(claimed, 0));
  hid::THidDevicePtr owner(claimed);
  claimed->SetThreadSleepTime(20);
  claimed->SetDataHandler(hid::THidDataEvent(
      &tag, [&](hid::THidDevice*, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        std::vector<std::uint8_t> r{id};
        r.insert(r.end(), data, data + size);
        reports.push_back(r);
      }));
  ASSERT_NE(claimed->ReadThread(), nullptr);

  const std::string node = (tree.root / "dev/hidraw0").string();
  const int feed = ::open(node.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(feed, 0);
  const std::uint8_t report[4] = {0xA1, 0xB2, 0xC3, 0xD4};
  ASSERT_EQ(::write(feed, report, sizeof report), 4);
  ASSERT_TRUE(ProcessUntil([&] { return reports.size() == 1; }));
  // No report ids: the id byte 0 comes first, the data follows whole.
  EXPECT_EQ(reports[0], (std::vector<std::uint8_t>{0, 0xA1, 0xB2, 0xC3, 0xD4}));

  // The device goes while the reader waits on its node: the wait ends, and
  // read errors follow until the device object is destroyed.
  tree.Remove("hidraw0");
  Notify(c);
  EXPECT_FALSE(claimed->PluggedIn());
  ASSERT_TRUE(ProcessUntil([&] { return errors.size() >= 2; }));
  EXPECT_EQ(errors[0], hidplatform::kErrorDeviceNotConnected);
  owner.reset();
  EXPECT_EQ(c.DeviceCount(), 0);
  ::close(feed);
}

}  // namespace
}  // namespace hidtest
