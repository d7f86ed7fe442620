#include "emulator/virtual/VirtualHidBus.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "emulator/SimpleDeviceModel.h"
#include "hid/platform/NativeMainLoop.h"

namespace hidplatform {
namespace {

using emulator::DeviceIdentity;
using emulator::SimpleDeviceModel;

std::shared_ptr<SimpleDeviceModel> Model(std::uint16_t vid, std::uint16_t pid,
                                         std::vector<std::uint8_t> descriptor) {
  DeviceIdentity identity;
  identity.vendorId = vid;
  identity.productId = pid;
  identity.versionNumber = 0x0123;
  identity.product = u"Test device";
  identity.reportDescriptor = std::move(descriptor);
  return std::make_shared<SimpleDeviceModel>(identity);
}

// The change notifications the bus delivered through the loop since the last
// call.
class Changes {
 public:
  explicit Changes(VirtualHidBus& bus)
      : watch_(bus.WatchChanges(NativeMainLoop::Instance(), [this] { ++count_; })) {}
  int Delivered() {
    NativeMainLoop::Instance().RunOnce(std::chrono::milliseconds(0));
    return std::exchange(count_, 0);
  }
  void End() { watch_.reset(); }

 private:
  int count_ = 0;
  std::unique_ptr<SourceWatch> watch_;
};

TEST(VirtualHidBus, ListsOneInterfacePerCollectionAndSignalsChanges) {
  VirtualHidBus bus;
  Changes changes(bus);
  EXPECT_EQ(changes.Delivered(), 0);
  auto twoCollections = SimpleDeviceModel::VendorDescriptor(1, 8, 8);
  auto second = SimpleDeviceModel::VendorDescriptor(2, 4, 0, 0x0C, 0x01);
  twoCollections.insert(twoCollections.end(), second.begin(), second.end());
  const auto id = bus.Plug(Model(0x2C7A, 0x5B1D, twoCollections));
  const auto other = bus.Plug(Model(0x2C7A, 0x0001, twoCollections));
  EXPECT_EQ(changes.Delivered(), 1);  // two plugs before the loop ran: one change
  EXPECT_EQ(changes.Delivered(), 0);
  bus.Unplug(other);

  std::vector<InterfaceEntry> entries;
  ASSERT_TRUE(bus.EnumerateInterfaces(entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].deviceInstance, id);
  EXPECT_NE(entries[0].deviceInstance, entries[1].deviceInstance);
  EXPECT_NE(entries[0].path, entries[1].path);

  Handle h = bus.Open(entries[1].path, Access::kQueryOnly);
  ASSERT_NE(h, kInvalidHandle);
  auto data = bus.GetPreparsedData(h);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->caps().usagePage, 0x0C);
  EXPECT_EQ(data->caps().inputReportByteLength, 5);
  EXPECT_EQ(data->caps().outputReportByteLength, 0);
  bus.Close(h);

  bus.Unplug(id);
  EXPECT_EQ(changes.Delivered(), 1);
  ASSERT_TRUE(bus.EnumerateInterfaces(entries));
  EXPECT_TRUE(entries.empty());
  const auto again = bus.Plug(Model(0x2C7A, 0x5B1D, twoCollections));
  EXPECT_GT(again, id + 3);  // ids are never reused
  changes.End();             // an ended watch gets nothing, also what was queued
  bus.Unplug(again);
  EXPECT_EQ(changes.Delivered(), 0);
}

TEST(VirtualHidBus, QueryOnlyAccessAndOpenFailures) {
  VirtualHidBus bus;
  const auto id = bus.Plug(Model(1, 2, SimpleDeviceModel::VendorDescriptor(0, 8, 8)),
                           {.readWriteAccess = false});
  const std::string path = bus.InterfacesOf(id).at(0).path;
  EXPECT_EQ(bus.Open(path, Access::kReadWrite), kInvalidHandle);
  EXPECT_EQ(bus.LastError(), kErrorAccessDenied);
  Handle query = bus.Open(path, Access::kQueryOnly);
  ASSERT_NE(query, kInvalidHandle);
  Attributes attributes;
  ASSERT_TRUE(bus.GetAttributes(query, attributes));
  EXPECT_EQ(attributes.vendorId, 1);
  EXPECT_EQ(attributes.versionNumber, 0x0123);
  const std::uint8_t report[9] = {0, 1};
  std::uint32_t written = 0;
  EXPECT_FALSE(bus.Write(query, report, sizeof report, written));
  EXPECT_TRUE(bus.WrittenReports().empty());

  bus.SetDeviceOptions(id, {.failOpen = true});
  EXPECT_EQ(bus.Open(path, Access::kQueryOnly), kInvalidHandle);
  bus.SetDeviceOptions(id, {.failAttributes = true});
  Handle other = bus.Open(path, Access::kReadWrite);
  ASSERT_NE(other, kInvalidHandle);
  EXPECT_FALSE(bus.GetAttributes(other, attributes));
  EXPECT_EQ(bus.Open("virtual-hid/none", Access::kQueryOnly), kInvalidHandle);
  EXPECT_EQ(bus.LastError(), kErrorFileNotFound);
  bus.Close(query);
  bus.Close(other);
  EXPECT_EQ(bus.OpenHandleCount(), 0u);
}

TEST(VirtualHidBus, StringsAreCutToTheBufferAndTerminatedOnlyWhenShorter) {
  VirtualHidBus bus;
  DeviceIdentity identity;
  identity.manufacturer = std::u16string(300, u'x');
  identity.product = u"Pad";
  identity.languages = {0x0409, 0x0407};
  identity.indexedStrings[4] = u"four";
  identity.reportDescriptor = SimpleDeviceModel::VendorDescriptor(0, 8, 8);
  const auto id = bus.Plug(std::make_shared<SimpleDeviceModel>(identity));
  Handle h = bus.Open(bus.InterfacesOf(id).at(0).path, Access::kQueryOnly);
  std::vector<std::uint16_t> buffer(254, 0xFFFF);
  ASSERT_TRUE(bus.GetManufacturerString(h, buffer.data(), 508));
  EXPECT_EQ(buffer[253], u'x');
  std::fill(buffer.begin(), buffer.end(), 0xFFFF);
  ASSERT_TRUE(bus.GetProductString(h, buffer.data(), 508));
  EXPECT_EQ(buffer[2], u'd');
  EXPECT_EQ(buffer[3], 0);
  EXPECT_EQ(buffer[4], 0xFFFF);
  EXPECT_FALSE(bus.GetSerialNumberString(h, buffer.data(), 508));
  std::fill(buffer.begin(), buffer.end(), 0xFFFF);
  ASSERT_TRUE(bus.GetIndexedString(h, 0, buffer.data(), 508));
  EXPECT_EQ(buffer[0], 0x0409);
  EXPECT_EQ(buffer[1], 0x0407);
  EXPECT_EQ(buffer[2], 0);
  ASSERT_TRUE(bus.GetIndexedString(h, 4, buffer.data(), 508));
  EXPECT_EQ(buffer[0], u'f');
  EXPECT_FALSE(bus.GetIndexedString(h, 5, buffer.data(), 508));
  bus.Close(h);
}

TEST(VirtualHidBus, SynchronousAnswerInsideTheWriteReachesTheReaderOfAnotherThread) {
  VirtualHidBus bus;
  auto model = Model(0x04D9, 0x8022, SimpleDeviceModel::VendorDescriptor(0, 64, 64));
  model->SetOutputHandler([](SimpleDeviceModel& self, std::span<const std::uint8_t> report) {
    std::vector<std::uint8_t> answer(report.begin(), report.end());
    answer[1] ^= 0xFF;
    self.SendInputReport(answer);
  });
  const auto id = bus.Plug(model);
  const std::string path = bus.InterfacesOf(id).at(0).path;
  Handle writer = bus.Open(path, Access::kReadWrite);
  Handle reader = bus.Open(path, Access::kOverlappedRead);
  ASSERT_NE(writer, kInvalidHandle);
  ASSERT_NE(reader, kInvalidHandle);

  std::vector<std::uint8_t> out(65, 0);
  out[1] = 0x0F;
  std::thread writeThread([&] {
    std::uint32_t written = 0;
    EXPECT_TRUE(bus.Write(writer, out.data(), out.size(), written));
    EXPECT_EQ(written, 65u);
  });
  writeThread.join();
  // The answer arrived before the read started: it was queued for the handle.
  std::vector<std::uint8_t> in(65, 0xAA);
  ASSERT_TRUE(bus.StartRead(reader, in.data(), in.size()));
  ASSERT_EQ(bus.WaitRead(reader, 10000), WaitResult::kCompleted);
  std::uint32_t bytes = 0;
  ASSERT_TRUE(bus.GetReadResult(reader, bytes));
  EXPECT_EQ(bytes, 65u);
  EXPECT_EQ(in[0], 0);
  EXPECT_EQ(in[1], 0xF0);

  // A read outstanding first, completed from the writing thread.
  ASSERT_TRUE(bus.StartRead(reader, in.data(), in.size()));
  EXPECT_EQ(bus.WaitRead(reader, 1), WaitResult::kTimedOut);
  // No time left only looks, and the read stays outstanding.
  EXPECT_EQ(bus.WaitRead(reader, 0), WaitResult::kTimedOut);
  EXPECT_EQ(bus.WaitRead(reader, -1), WaitResult::kTimedOut);
  EXPECT_EQ(bus.OutstandingReadCount(), 1u);
  std::thread second([&] {
    std::uint32_t written = 0;
    out[1] = 0x01;
    bus.Write(writer, out.data(), out.size(), written);
  });
  EXPECT_EQ(bus.WaitRead(reader, 10000), WaitResult::kCompleted);
  second.join();
  ASSERT_TRUE(bus.GetReadResult(reader, bytes));
  EXPECT_EQ(in[1], 0xFE);
  const auto written = bus.WrittenReports();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].deviceInstance, id);
  EXPECT_EQ(written[0].path, path);
  EXPECT_EQ(written[1].bytes, out);
  EXPECT_EQ(model->ReceivedReports().size(), 2u);
  bus.Close(writer);
  bus.Close(reader);
}

TEST(VirtualHidBus, UnplugAndCloseEndOutstandingReadsWithErrors) {
  VirtualHidBus bus;
  const auto id = bus.Plug(Model(1, 2, SimpleDeviceModel::VendorDescriptor(0, 8, 8)));
  const std::string path = bus.InterfacesOf(id).at(0).path;
  Handle reader = bus.Open(path, Access::kOverlappedRead);
  Handle closed = bus.Open(path, Access::kOverlappedRead);
  std::uint8_t buffer[9];
  std::uint8_t other[9];
  ASSERT_TRUE(bus.StartRead(reader, buffer, sizeof buffer));
  ASSERT_TRUE(bus.StartRead(closed, other, sizeof other));

  std::thread closer([&] { bus.Close(closed); });
  EXPECT_EQ(bus.WaitRead(closed, 10000), WaitResult::kCompleted);
  closer.join();
  std::uint32_t bytes = 7;
  EXPECT_FALSE(bus.GetReadResult(closed, bytes));
  EXPECT_EQ(bytes, 0u);

  std::thread unplugger([&] { bus.Unplug(id); });
  EXPECT_EQ(bus.WaitRead(reader, 10000), WaitResult::kCompleted);
  unplugger.join();
  EXPECT_FALSE(bus.GetReadResult(reader, bytes));
  EXPECT_EQ(bus.LastError(), kErrorDeviceNotConnected);
  EXPECT_FALSE(bus.StartRead(reader, buffer, sizeof buffer));
  std::uint32_t written = 0;
  EXPECT_FALSE(bus.Write(reader, buffer, sizeof buffer, written));
  bus.Close(reader);
}

TEST(VirtualHidBus, CancelEndsTheReadAndNoLaterReportLandsInTheBuffer) {
  VirtualHidBus bus;
  auto model = Model(1, 2, SimpleDeviceModel::VendorDescriptor(0, 8, 8));
  const auto id = bus.Plug(model);
  Handle reader = bus.Open(bus.InterfacesOf(id).at(0).path, Access::kOverlappedRead);
  std::uint8_t buffer[9] = {};
  ASSERT_TRUE(bus.StartRead(reader, buffer, sizeof buffer));
  ASSERT_TRUE(bus.CancelRead(reader));
  EXPECT_EQ(bus.WaitRead(reader, 0), WaitResult::kCompleted);
  std::uint32_t bytes = 0;
  EXPECT_FALSE(bus.GetReadResult(reader, bytes));
  const std::uint8_t report[9] = {0, 0x55};
  model->SendInputReport(report);
  EXPECT_EQ(buffer[1], 0);  // queued for the next read instead
  ASSERT_TRUE(bus.StartRead(reader, buffer, sizeof buffer));
  ASSERT_TRUE(bus.GetReadResult(reader, bytes));
  EXPECT_EQ(buffer[1], 0x55);
  bus.Close(reader);
}

TEST(VirtualHidBus, ReenumerationFromInsideAWriteHappensAfterTheModelReturned) {
  VirtualHidBus bus;
  auto keyboard = Model(0x2C7A, 0x5B1D, SimpleDeviceModel::VendorDescriptor(9, 64, 64));
  auto loader = Model(0x04D9, 0x8022, SimpleDeviceModel::VendorDescriptor(0, 64, 64));
  bool attachedDuringWrite = false;
  keyboard->SetOutputHandler([&](SimpleDeviceModel& self, std::span<const std::uint8_t>) {
    self.Reenumerate(loader);
    attachedDuringWrite = self.IsAttached();
  });
  const auto id = bus.Plug(keyboard);
  Handle h = bus.Open(bus.InterfacesOf(id).at(0).path, Access::kReadWrite);
  Changes changes(bus);
  std::uint8_t command[65] = {9, 0x84, 0x57};
  std::uint32_t written = 0;
  ASSERT_TRUE(bus.Write(h, command, sizeof command, written));
  EXPECT_TRUE(attachedDuringWrite);
  EXPECT_FALSE(keyboard->IsAttached());
  EXPECT_TRUE(loader->IsAttached());
  const auto plugged = bus.PluggedDevices();
  ASSERT_EQ(plugged.size(), 1u);
  EXPECT_NE(plugged[0], id);
  EXPECT_EQ(bus.ModelOf(plugged[0]), loader);
  EXPECT_EQ(changes.Delivered(), 1);
  Attributes attributes;
  EXPECT_FALSE(bus.GetAttributes(h, attributes));  // the old handle died with the device
  bus.Close(h);
}

}  // namespace
}  // namespace hidplatform
