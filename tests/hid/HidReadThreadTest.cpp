#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/hid/HidTestSupport.h"

namespace hidtest {
namespace {

using hid::THidDevice;
using hid::THidDeviceController;

struct Delivery {
  std::uint8_t reportId;
  std::vector<std::uint8_t> data;
  bool onMainThread;
};

class Reader : public testing::Test {
 protected:
  void SetUp() override {
    model = MakeModel(0x2C7A, 0x5B1D, SimpleDeviceModel::VendorDescriptor(5, 8, 8));
    deviceId = bus.Plug(model);
    controller = std::make_unique<THidDeviceController>();
    ASSERT_TRUE(ProcessUntil([&] { return controller->DeviceCount() == 1; }));
  }

  hid::THidDataEvent DataHandler() {
    return hid::THidDataEvent(
        this, [this](THidDevice* d, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
          EXPECT_EQ(d, device);
          deliveries.push_back({id, std::vector<std::uint8_t>(data, data + size),
                                std::this_thread::get_id() == mainThread});
        });
  }
  hid::THidDataErrorEvent ErrorHandler() {
    return hid::THidDataErrorEvent(
        this, [this](THidDevice*, std::uint32_t error) { errors.push_back(error); });
  }
  THidDevice* Claim() {
    THidDevice* d = nullptr;
    EXPECT_TRUE(controller->ClaimDeviceByIndex(d, 0));
    owner.reset(d);
    device = d;
    return d;
  }
  // Waits until the reader has its read outstanding on the bus.
  void WaitForOutstandingRead() {
    ASSERT_TRUE(ProcessUntil([&] { return bus.OutstandingReadCount() == 1; }));
  }
  // Waits, without serving it, until the reader is blocked handing a report
  // or error over to the main thread.
  void WaitForHandOver() {
    ASSERT_TRUE(WaitUntil([&] { return device->ReadThread()->HandOverPending(); }));
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope{bus};
  std::shared_ptr<SimpleDeviceModel> model;
  std::uint32_t deviceId = 0;
  std::unique_ptr<THidDeviceController> controller;
  hid::THidDevicePtr owner;
  THidDevice* device = nullptr;
  std::vector<Delivery> deliveries;
  std::vector<std::uint32_t> errors;
  const std::thread::id mainThread = std::this_thread::get_id();
};

TEST_F(Reader, StartsOnlyWhenClaimedAndDeliversReportsOnTheMainThread) {
  THidDevice* unclaimed = controller->DeviceAt(0);
  unclaimed->SetDataHandler(DataHandler());
  EXPECT_EQ(unclaimed->ReadThread(), nullptr);
  Claim();
  ASSERT_NE(device->ReadThread(), nullptr);  // the claim started it
  WaitForOutstandingRead();

  const std::uint8_t full[9] = {5, 1, 2, 3, 4, 5, 6, 7, 8};
  model->SendInputReport(full);
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 1; }));
  EXPECT_EQ(deliveries[0].reportId, 5);
  EXPECT_EQ(deliveries[0].data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(deliveries[0].onMainThread);

  // One byte: the id alone, Size 0. No bytes at all: nothing.
  const std::uint8_t idOnly[1] = {5};
  model->SendInputReport({});
  model->SendInputReport(idOnly);
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 2; }));
  EXPECT_EQ(deliveries[1].reportId, 5);
  EXPECT_TRUE(deliveries[1].data.empty());
  // Replacing the handler keeps the reader running.
  device->SetDataHandler(DataHandler());
  EXPECT_NE(device->ReadThread(), nullptr);
  model->SendInputReport(full);
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 3; }));
  EXPECT_TRUE(errors.empty());
}

TEST_F(Reader, StoppingWithAReadOutstandingEndsWithinOneSliceAndCancelsTheRead) {
  controller->SetOnDeviceData(DataHandler());
  device = controller->DeviceAt(0);
  device->SetThreadSleepTime(300);
  Claim();
  WaitForOutstandingRead();
  const auto start = std::chrono::steady_clock::now();
  device->SetDataHandler({});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(device->ReadThread(), nullptr);
  // Generous: one slice is 300 ms; this only catches a stop that waits for
  // a report or loops several slices.
  EXPECT_LT(took, std::chrono::seconds(5));
  // The abandoned read no longer takes reports: the next one waits for the
  // next reader instead of disappearing.
  const std::uint8_t report[9] = {5, 9};
  model->SendInputReport(report);
  QCoreApplication::processEvents();
  EXPECT_TRUE(deliveries.empty());
  device->SetDataHandler(DataHandler());
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 1; }));
  EXPECT_EQ(deliveries[0].data[0], 9);
}

TEST_F(Reader, AStopWhileAHandOverWaitsServesItInsteadOfDeadlocking) {
  controller->SetOnDeviceData(DataHandler());
  Claim();
  WaitForOutstandingRead();
  const std::uint8_t report[9] = {5, 1};
  model->SendInputReport(report);
  // The reader is blocked handing over; the stop must serve that hand-over
  // and then end the thread.
  WaitForHandOver();
  device->SetDataHandler({});
  EXPECT_EQ(device->ReadThread(), nullptr);
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_TRUE(deliveries[0].onMainThread);
}

TEST_F(Reader, AnUnpluggedClaimedDeviceReportsReadErrorsUntilDestroyed) {
  controller->SetOnDeviceData(DataHandler());
  controller->SetOnDeviceDataError(ErrorHandler());
  device = controller->DeviceAt(0);
  device->SetThreadSleepTime(10);
  Claim();
  WaitForOutstandingRead();
  bus.Unplug(deviceId);
  Notify(*controller);
  EXPECT_FALSE(device->PluggedIn());
  ASSERT_TRUE(ProcessUntil([&] { return errors.size() >= 3; }));
  EXPECT_EQ(errors[0], hidplatform::kErrorDeviceNotConnected);
  EXPECT_TRUE(deliveries.empty());
  owner.reset();  // destruction stops the reader and waits for its end
  const auto count = errors.size();
  QCoreApplication::processEvents();
  EXPECT_EQ(errors.size(), count);
}

TEST_F(Reader, AHandlerErrorEndsTheReaderUntilTheNextStop) {
  controller->SetOnDeviceData(
      hid::THidDataEvent(this, [](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        throw std::runtime_error("handler failed");
      }));
  Claim();
  WaitForOutstandingRead();
  const std::uint8_t report[9] = {5, 1};
  model->SendInputReport(report);
  ASSERT_TRUE(ProcessUntil([&] { return device->ReadThread()->Finished(); }));
  device->SetDataHandler(DataHandler());  // same reader object: no new one starts
  model->SendInputReport(report);
  QCoreApplication::processEvents();
  EXPECT_TRUE(deliveries.empty());
  device->SetDataHandler({});
  device->SetDataHandler(DataHandler());
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 1; }));
}

TEST_F(Reader, AHandlerThatDestroysItsOwnDeviceDoesNotDeadlock) {
  controller->SetOnDeviceData(hid::THidDataEvent(
      this, [this](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        owner.reset();
        deliveries.push_back({});
      }));
  Claim();
  WaitForOutstandingRead();
  const std::uint8_t report[9] = {5, 1};
  model->SendInputReport(report);
  ASSERT_TRUE(ProcessUntil([&] { return deliveries.size() == 1; }));
  EXPECT_EQ(controller->DeviceCount(), 1);  // a fresh object took its place
  EXPECT_FALSE(controller->DeviceAt(0)->Claimed());
}

// A handler served by a stop's wait may stop or destroy its own device; the
// outer stop must not use the reader (or device) that the handler let go.
TEST_F(Reader, AHandlerRunInsideAStopMayStopOrDestroyItsOwnDevice) {
  enum class Action { kClearHandler, kDestroy };
  const auto act = [this](Action action) {
    if (action == Action::kDestroy) {
      owner.reset();
    } else {
      device->SetDataHandler({});
    }
  };
  const std::pair<Action, Action> cases[] = {{Action::kClearHandler, Action::kClearHandler},
                                             {Action::kClearHandler, Action::kDestroy},
                                             {Action::kDestroy, Action::kClearHandler}};
  for (const auto& [outer, inner] : cases) {
    Claim();
    int delivered = 0;
    device->SetDataHandler(hid::THidDataEvent(
        this, [&, inner](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {
          ++delivered;
          act(inner);
        }));
    WaitForOutstandingRead();
    const std::uint8_t report[9] = {5, 1};
    model->SendInputReport(report);
    WaitForHandOver();
    act(outer);
    EXPECT_EQ(delivered, 1);
    if (owner) {
      EXPECT_EQ(device->ReadThread(), nullptr);  // no reader started again
      owner.reset();
    }
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_FALSE(controller->DeviceAt(0)->Claimed());
  }
}

}  // namespace
}  // namespace hidtest
