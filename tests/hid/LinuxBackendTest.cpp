#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "emulator/SimpleDeviceModel.h"
#include "hid/platform/linux/LinuxHidBackend.h"
#include "tests/hid/FakeSysfsTree.h"
#include "tests/support/PermissionBits.h"

namespace hidplatform {
namespace {

using hidtest::Bytes;
using hidtest::FakeTree;
namespace fs = std::filesystem;

Bytes TwoCollections() {
  auto d = emulator::SimpleDeviceModel::VendorDescriptor(9, 64, 64);
  auto keys = emulator::SimpleDeviceModel::VendorDescriptor(1, 8, 1, 0x01, 0x06);
  d.insert(d.end(), keys.begin(), keys.end());
  return d;
}

TEST(LinuxBackend, EnumeratesOneEntryPerCollectionWithSysfsIdentity) {
  FakeTree tree;
  tree.AddUsb("hidraw10", "0003:2C7A:5B1D.000A", TwoCollections(), {});
  tree.AddUhid("hidraw2", "0003:04D9:8022.0003",
               emulator::SimpleDeviceModel::VendorDescriptor(0, 64, 64), "0110");
  tree.AddUhid("hidraw3", "0003:1234:0001.0004", Bytes{0xA1, 0x01, 0x75}, "");
  LinuxHidBackend backend({.root = tree.root.string()});

  std::vector<InterfaceEntry> entries;
  ASSERT_TRUE(backend.EnumerateInterfaces(entries));
  const std::string dev = (tree.root / "dev").string();
  ASSERT_EQ(entries.size(), 4u);
  // Node-number order: hidraw2, hidraw3, hidraw10.
  EXPECT_EQ(entries[0].path, dev + "/hidraw2");
  EXPECT_EQ(entries[0].deviceInstance, 0x0300u);
  EXPECT_EQ(entries[1].path, dev + "/hidraw3");  // damaged descriptor: still one entry
  EXPECT_EQ(entries[2].path, dev + "/hidraw10&col01");
  EXPECT_EQ(entries[3].path, dev + "/hidraw10&col02");
  EXPECT_EQ(entries[2].deviceInstance, 0x0A00u);
  EXPECT_EQ(entries[3].deviceInstance, 0x0A01u);
  // The USB device behind a node names the physical device; uhid has none.
  EXPECT_EQ(backend.PhysicalDevice(entries[2].path), "usb 1-hidraw10");
  EXPECT_EQ(backend.PhysicalDevice(entries[3].path), "usb 1-hidraw10");
  EXPECT_EQ(backend.PhysicalDevice(entries[0].path), "");

  Attributes a;
  Handle keyboard = backend.Open(entries[3].path, Access::kQueryOnly);
  ASSERT_NE(keyboard, kInvalidHandle);
  ASSERT_TRUE(backend.GetAttributes(keyboard, a));
  EXPECT_EQ(a.vendorId, 0x2C7A);
  EXPECT_EQ(a.productId, 0x5B1D);
  EXPECT_EQ(a.versionNumber, 0x0105);  // bcdDevice
  auto caps = backend.GetPreparsedData(keyboard);
  ASSERT_TRUE(caps);
  EXPECT_EQ(caps->caps().usagePage, 0x01);
  EXPECT_EQ(caps->caps().inputReportByteLength, 9);
  EXPECT_EQ(caps->caps().outputReportByteLength, 2);
  std::u16string text(254, u'\0');
  ASSERT_TRUE(backend.GetManufacturerString(keyboard, text.data(), 508));
  EXPECT_EQ(std::u16string(text.c_str()), u"Maker Inc.");
  ASSERT_TRUE(backend.GetSerialNumberString(keyboard, text.data(), 508));
  EXPECT_EQ(std::u16string(text.c_str()), u"SN-77");
  EXPECT_FALSE(backend.GetIndexedString(keyboard, 0, text.data(), 508));

  Handle loader = backend.Open(entries[0].path, Access::kQueryOnly);
  ASSERT_TRUE(backend.GetAttributes(loader, a));
  EXPECT_EQ(a.productId, 0x8022);
  EXPECT_EQ(a.versionNumber, 0x0110);  // the input device's id/version
  ASSERT_TRUE(backend.GetProductString(loader, text.data(), 508));
  EXPECT_EQ(std::u16string(text.c_str()), u"uhid keyboard");  // HID_NAME
  EXPECT_EQ(backend.GetPreparsedData(loader)->caps().outputReportByteLength, 65);

  Handle broken = backend.Open(entries[1].path, Access::kQueryOnly);
  ASSERT_TRUE(backend.GetAttributes(broken, a));
  EXPECT_EQ(a.versionNumber, 0);
  EXPECT_EQ(backend.GetPreparsedData(broken)->caps().inputReportByteLength, 0);

  EXPECT_EQ(backend.Open(dev + "/hidraw10&col03", Access::kQueryOnly), kInvalidHandle);
  EXPECT_EQ(backend.Open(dev + "/hidraw99", Access::kQueryOnly), kInvalidHandle);
  EXPECT_EQ(backend.LastError(), kErrorFileNotFound);
  EXPECT_EQ(backend.Open("/etc/passwd", Access::kQueryOnly), kInvalidHandle);
  for (Handle h : {keyboard, loader, broken}) backend.Close(h);
}

TEST(LinuxBackend, ReEnumerationUnderTheSameNodeNameGivesNewIds) {
  FakeTree tree;
  tree.AddUhid("hidraw0", "0003:2C7A:5B1D.0001",
               emulator::SimpleDeviceModel::VendorDescriptor(9, 64, 64), "0105");
  LinuxHidBackend backend({.root = tree.root.string()});
  std::vector<InterfaceEntry> before;
  ASSERT_TRUE(backend.EnumerateInterfaces(before));
  Handle stale = backend.Open(before.at(0).path, Access::kQueryOnly);
  tree.Remove("hidraw0");
  Attributes a;
  EXPECT_FALSE(backend.GetAttributes(stale, a));  // the device behind it is gone
  tree.AddUhid("hidraw0", "0003:04D9:8022.0002",
               emulator::SimpleDeviceModel::VendorDescriptor(0, 64, 64), "0100");
  std::vector<InterfaceEntry> after;
  ASSERT_TRUE(backend.EnumerateInterfaces(after));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].path, before[0].path);
  EXPECT_NE(after[0].deviceInstance, before[0].deviceInstance);
  backend.Close(stale);
  // No sysfs at all: the enumeration fails; no hidraw class: no devices.
  LinuxHidBackend nowhere({.root = (tree.root / "missing").string()});
  EXPECT_FALSE(nowhere.EnumerateInterfaces(after));
  fs::remove_all(tree.root / "sys/class/hidraw");
  EXPECT_TRUE(backend.EnumerateInterfaces(after));
  EXPECT_TRUE(after.empty());
}

TEST(LinuxBackend, ReadWriteAccessNeedsTheNodeQueriesDoNot) {
  FakeTree tree;
  tree.AddUhid("hidraw0", "0003:2C7A:5B1D.0001",
               emulator::SimpleDeviceModel::VendorDescriptor(9, 2, 2), "0105",
               FakeTree::Node::kNone);
  tree.AddUhid("hidraw1", "0003:2C7A:5B1D.0002",
               emulator::SimpleDeviceModel::VendorDescriptor(9, 2, 2), "0105");
  LinuxHidBackend backend({.root = tree.root.string()});
  const std::string dev = (tree.root / "dev").string();
  EXPECT_EQ(backend.Open(dev + "/hidraw0", Access::kReadWrite), kInvalidHandle);
  EXPECT_EQ(backend.LastError(), kErrorFileNotFound);
  Handle query = backend.Open(dev + "/hidraw0", Access::kQueryOnly);
  ASSERT_NE(query, kInvalidHandle);
  const std::uint8_t command[3] = {9, 0x84, 0x57};
  std::uint32_t written = 9;
  EXPECT_FALSE(backend.Write(query, command, 3, written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(backend.LastError(), kErrorAccessDenied);
  std::uint8_t buffer[3];
  EXPECT_FALSE(backend.StartRead(query, buffer, 3));
  backend.Close(query);

  {
    const testsupport::PermissionBitsBind asAnyUser;
    chmod((dev + "/hidraw1").c_str(), 0);
    EXPECT_EQ(backend.Open(dev + "/hidraw1", Access::kReadWrite), kInvalidHandle);
    EXPECT_EQ(backend.LastError(), kErrorAccessDenied);
    chmod((dev + "/hidraw1").c_str(), 0600);
  }
  Handle rw = backend.Open(dev + "/hidraw1", Access::kReadWrite);
  ASSERT_NE(rw, kInvalidHandle);
  ASSERT_TRUE(backend.Write(rw, command, 3, written));
  EXPECT_EQ(written, 3u);
  std::ifstream node(dev + "/hidraw1", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(node)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "\x09\x84\x57");  // passed as it is, id byte first
  backend.Close(rw);
  std::uint32_t written2 = 0;
  EXPECT_FALSE(backend.Write(rw, command, 3, written2));
  EXPECT_EQ(backend.LastError(), kErrorInvalidHandle);
}

TEST(LinuxBackend, ReadsPrependTheIdWaitInSlicesAndEndOnCloseOrCancel) {
  FakeTree tree;
  tree.AddUhid("hidraw0", "0003:2C7A:5B1D.0001",
               emulator::SimpleDeviceModel::VendorDescriptor(0, 4, 4), "0105",
               FakeTree::Node::kFifo);
  LinuxHidBackend backend({.root = tree.root.string()});
  const std::string node = (tree.root / "dev/hidraw0").string();
  Handle reader = backend.Open(node, Access::kOverlappedRead);
  ASSERT_NE(reader, kInvalidHandle);
  const int feed = ::open(node.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(feed, 0);

  std::uint8_t buffer[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_TRUE(backend.StartRead(reader, buffer, sizeof buffer));
  EXPECT_EQ(backend.WaitRead(reader, 20), WaitResult::kTimedOut);
  std::uint32_t bytes = 0;
  EXPECT_FALSE(backend.GetReadResult(reader, bytes));
  EXPECT_EQ(backend.LastError(), kErrorIoPending);
  const std::uint8_t report[4] = {1, 2, 3, 4};
  ASSERT_EQ(::write(feed, report, 4), 4);
  ASSERT_EQ(backend.WaitRead(reader, 10000), WaitResult::kCompleted);
  ASSERT_TRUE(backend.GetReadResult(reader, bytes));
  EXPECT_EQ(bytes, 5u);
  EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{0, 1, 2, 3, 4}));

  // Cancel: the wait ends, the read failed, later data stays for the next read.
  ASSERT_TRUE(backend.StartRead(reader, buffer, sizeof buffer));
  ASSERT_TRUE(backend.CancelRead(reader));
  EXPECT_EQ(backend.WaitRead(reader, 10000), WaitResult::kCompleted);
  EXPECT_FALSE(backend.GetReadResult(reader, bytes));
  EXPECT_EQ(backend.LastError(), kErrorOperationAborted);

  // Close from another thread while this one waits in poll().
  ASSERT_TRUE(backend.StartRead(reader, buffer, sizeof buffer));
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    backend.Close(reader);
  });
  EXPECT_EQ(backend.WaitRead(reader, 10000), WaitResult::kCompleted);
  closer.join();
  EXPECT_FALSE(backend.GetReadResult(reader, bytes));
  EXPECT_EQ(backend.WaitRead(reader, 10000), WaitResult::kCompleted);  // stale handle
  ::close(feed);
}

// Opens and writes run on the main thread at every scan and command: a node
// missing from /dev or refusing writes must not hold it.
TEST(LinuxBackend, AMissingNodeAndAFullNodeFailWithoutWaiting) {
  FakeTree tree;
  const auto descriptor = emulator::SimpleDeviceModel::VendorDescriptor(0, 4, 4);
  tree.AddUhid("hidraw0", "0003:2C7A:5B1D.0001", descriptor, "0105", FakeTree::Node::kNone);
  tree.AddUhid("hidraw1", "0003:2C7A:5B1D.0002", descriptor, "0105", FakeTree::Node::kFifo);
  LinuxHidBackend backend({.root = tree.root.string()});
  const std::string dev = (tree.root / "dev").string();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(backend.Open(dev + "/hidraw0", Access::kReadWrite), kInvalidHandle);
  EXPECT_EQ(backend.LastError(), kErrorFileNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

  const Handle rw = backend.Open(dev + "/hidraw1", Access::kReadWrite);
  ASSERT_NE(rw, kInvalidHandle);
  const int feed = ::open((dev + "/hidraw1").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(feed, 0);
  const std::vector<std::uint8_t> chunk(4096, 0);
  while (::write(feed, chunk.data(), chunk.size()) > 0) {
  }
  while (::write(feed, chunk.data(), 1) > 0) {
  }
  const std::uint8_t command[4] = {1, 2, 3, 4};
  std::uint32_t written = 0;
  const auto writeStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(backend.Write(rw, command, sizeof command, written));
  // Well below the second that a full node used to hold the caller.
  EXPECT_LT(std::chrono::steady_clock::now() - writeStart, std::chrono::milliseconds(500));
  backend.Close(rw);
  ::close(feed);
}

TEST(LinuxBackend, BindingNeedsLibudev) {
  FakeTree tree;
  LinuxHidBackend missing({.root = tree.root.string(), .udevLibrary = "libudev-missing.so.9"});
  EXPECT_FALSE(missing.BindEnumeration());
  EXPECT_EQ(missing.ChangeNotificationFd(), -1);
  LinuxHidBackend wrongLibrary({.root = tree.root.string(), .udevLibrary = "libc.so.6"});
  EXPECT_FALSE(wrongLibrary.BindEnumeration());  // loads, but lacks the entry points
  LinuxHidBackend present({.root = tree.root.string()});
  ASSERT_TRUE(present.BindEnumeration());
  ASSERT_TRUE(present.BindHidAccess());
  present.DrainChangeNotifications();  // nothing queued: returns at once
  present.ReleaseEnumeration();
  EXPECT_EQ(present.ChangeNotificationFd(), -1);
}

}  // namespace
}  // namespace hidplatform
