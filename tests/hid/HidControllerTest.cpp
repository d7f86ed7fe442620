#include <gtest/gtest.h>
#include <poll.h>

#include "hid/platform/SetupApi.h"
#include "tests/hid/HidTestSupport.h"

namespace hidtest {
namespace {

using hid::THidDevice;
using hid::THidDeviceController;

class Controller : public testing::Test {
 protected:
  // Plugs, creates the controller as a window would (handlers assigned while
  // loading) and runs the first, self-posted scan.
  std::unique_ptr<THidDeviceController> Start() {
    auto c = std::make_unique<THidDeviceController>(nullptr, true);
    recorder.BindTo(*c);
    c->SetLoading(false);
    EXPECT_TRUE(ProcessUntil([&] { return recorder.Count("change") == 1; }));
    return c;
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope{bus};
  Recorder recorder;
};

TEST_F(Controller, FirstQueuedNotificationReportsAChangeAlsoWithoutDevices) {
  THidDeviceController c(nullptr, true);
  recorder.BindTo(c);
  c.SetLoading(false);
  EXPECT_TRUE(recorder.events.empty());  // nothing before the event loop runs
  ASSERT_TRUE(ProcessUntil([&] { return !recorder.events.empty(); }));
  EXPECT_EQ(recorder.events, std::vector<std::string>{"change"});
  EXPECT_EQ(c.EnumerateDevices(), 0);
  EXPECT_EQ(c.Version(), "1.0.32");
  c.SetVersion("9.9");
  EXPECT_EQ(c.Version(), "1.0.32");
  EXPECT_EQ(c.DevThreadSleepTime(), 100);
}

TEST_F(Controller, UnboundLibrariesMeanNoReceiverNoDevicesAndNoError) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  bus.SetBindFailure(false, true);
  {
    THidDeviceController c(nullptr, true);
    recorder.BindTo(c);
    c.SetLoading(false);
    EXPECT_FALSE(c.HasNotifyWindow());
    QCoreApplication::processEvents();
    Notify(c);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(c.EnumerateDevices(), 0);
    EXPECT_EQ(c.DeviceCount(), 0);
  }
  // The setup binding taken before the HID side failed is given back.
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0);
  EXPECT_FALSE(bus.IsEnumerationBound());

  bus.SetBindFailure(true, false);
  THidDeviceController c;
  EXPECT_FALSE(c.HasNotifyWindow());
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0);
}

TEST_F(Controller, ArrivalsInScanOrderThenOneChangeAndRemovalsBeforeArrivals) {
  auto twoCollections = SimpleDeviceModel::VendorDescriptor(1, 8, 8);
  auto second = SimpleDeviceModel::VendorDescriptor(2, 8, 0, 0x0C);
  twoCollections.insert(twoCollections.end(), second.begin(), second.end());
  const auto a = bus.Plug(MakeModel(0x1111, 0xAAAA));
  bus.Plug(MakeModel(0x1111, 0xBBBB, twoCollections));
  const auto c3 = bus.Plug(MakeModel(0x1111, 0xCCCC));
  auto c = Start();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:AAAA", "arrival:BBBB",
                                                       "arrival:BBBB", "arrival:CCCC", "change"}));
  ASSERT_EQ(c->DeviceCount(), 4);

  // Two removals and one arrival in one notification.
  recorder.events.clear();
  bus.Unplug(a);
  bus.Unplug(c3);
  bus.Plug(MakeModel(0x1111, 0xDDDD));
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"unplug:CCCC", "removal:CCCC", "unplug:AAAA",
                                                       "removal:AAAA", "arrival:DDDD", "change"}));
  ASSERT_EQ(c->DeviceCount(), 3);
  EXPECT_EQ(c->DeviceAt(0)->Attributes().ProductID, 0xBBBB);
  EXPECT_EQ(c->DeviceAt(2)->Attributes().ProductID, 0xDDDD);
  EXPECT_EQ(c->DeviceAt(2)->Attributes().VersionNumber, 0x0105);

  // Enumerate offers every entry with its position, and stops on false.
  recorder.events.clear();
  EXPECT_EQ(c->EnumerateDevices(), 3);
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"enumerate:BBBB@0", "enumerate:BBBB@1", "enumerate:DDDD@2"}));
  recorder.onEnumerate = [](THidDevice*, std::int32_t) { return false; };
  EXPECT_EQ(c->EnumerateDevices(), 1);
  c->SetOnEnumerate({});
  EXPECT_EQ(c->EnumerateDevices(), 1);  // the first offer "returns false"
}

TEST_F(Controller, ANotificationWithoutChangeFiresNothingAndOtherMessagesAreIgnored) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  recorder.events.clear();
  Notify(*c);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(c->NotifyWindowProc(hidplatform::WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_EQ(c->NotifyWindowProc(hidplatform::WM_DEVICECHANGE, 0x8000, 0), 0);
  bus.Plug(MakeModel(0x2C7A, 0x0001));
  EXPECT_EQ(c->NotifyWindowProc(0x0010, hidplatform::DBT_DEVNODES_CHANGED, 0), 0);
  EXPECT_TRUE(recorder.events.empty());
  // -1 reports a change even when nothing changed.
  Notify(*c);
  recorder.events.clear();
  c->NotifyWindowProc(hidplatform::WM_DEVICECHANGE, hidplatform::DBT_DEVNODES_CHANGED, -1);
  EXPECT_EQ(recorder.events, std::vector<std::string>{"change"});
}

TEST_F(Controller, PlatformNotificationsReachTheControllerAsOneRescanPerBurst) {
  auto c = Start();
  recorder.events.clear();
  for (int i = 0; i < 20; ++i) bus.Plug(MakeModel(0x1000, static_cast<std::uint16_t>(i)));
  ASSERT_TRUE(ProcessUntil([&] { return recorder.Count("change") >= 1; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count("change"), 1);
  EXPECT_EQ(c->DeviceCount(), 20);
}

TEST_F(Controller, ANotificationDuringAScanIsCaughtUpOnceTheScanReturns) {
  auto c = Start();
  recorder.events.clear();
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  int arrivals = 0;
  std::size_t nestedEvents = 0;
  recorder.onArrival = [&](THidDevice*) {
    if (arrivals++ > 0) return;
    EXPECT_TRUE(c->InDeviceChange());
    const auto before = recorder.events.size();
    bus.Plug(MakeModel(0x2C7A, 0x0002));
    // A nested message loop (a dialog in a handler) drains the platform's
    // notification while this scan runs.
    EXPECT_TRUE(ProcessUntil([&] {
      pollfd p{bus.ChangeNotificationFd(), POLLIN, 0};
      return ::poll(&p, 1, 0) == 0;
    }));
    Notify(*c);  // a second message, also from the nested loop
    nestedEvents = recorder.events.size() - before;
  };
  Notify(*c);
  EXPECT_EQ(nestedEvents, 0u);  // not handled inside the running scan
  EXPECT_FALSE(c->InDeviceChange());
  // Both missed messages are one more scan, right after the first.
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"arrival:5B1D", "change", "arrival:0002", "change"}));
  EXPECT_EQ(c->DeviceCount(), 2);
}

TEST_F(Controller, AHandlerErrorLeavesTheGuardClear) {
  auto c = Start();
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  recorder.onArrival = [](THidDevice*) { throw std::runtime_error("handler failed"); };
  EXPECT_THROW(Notify(*c), std::runtime_error);
  EXPECT_FALSE(c->InDeviceChange());
  EXPECT_FALSE(c->DeviceAt(0)->Enumerating());
  recorder.onArrival = nullptr;
  recorder.events.clear();
  bus.Plug(MakeModel(0x2C7A, 0x0003));
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:0003", "change"}));
}

TEST_F(Controller, ClaimedDeviceUnpluggedStaysListedAndIsReportedAgainUntilDestroyed) {
  const auto kb = bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  bus.Plug(MakeModel(0x2C7A, 0x0002));
  auto c = Start();
  THidDevice* claimed = nullptr;
  ASSERT_TRUE(c->ClaimDeviceByIndex(claimed, 0));
  hid::THidDevicePtr owner(claimed);
  EXPECT_TRUE(claimed->Claimed());

  recorder.events.clear();
  bus.Unplug(kb);
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"unplug:5B1D", "removal:5B1D", "change"}));
  ASSERT_EQ(c->DeviceCount(), 2);
  EXPECT_EQ(c->DeviceAt(0), claimed);
  EXPECT_FALSE(claimed->PluggedIn());
  EXPECT_FALSE(claimed->CanOpen());

  // A later change reports it once more, without the one-shot unplug event.
  recorder.events.clear();
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"removal:5B1D", "change"}));

  // Not offered any more; the remaining one keeps its position.
  recorder.events.clear();
  EXPECT_EQ(c->EnumerateDevices(), 1);
  EXPECT_EQ(recorder.events, std::vector<std::string>{"enumerate:0002@1"});
  THidDevice* again = nullptr;
  EXPECT_FALSE(c->ClaimDeviceByIndex(again, 0));  // already claimed

  // Giving it back drops the entry.
  owner.reset();
  ASSERT_EQ(c->DeviceCount(), 1);
  recorder.events.clear();
  Notify(*c);
  EXPECT_TRUE(recorder.events.empty());
}

TEST_F(Controller, DestroyingAClaimedPresentDeviceOffersAFreshObjectAtTheSameIdx) {
  bus.Plug(MakeModel(0x2C7A, 0x0001));
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  std::vector<THidDevice*> claimed;
  recorder.onEnumerate = [&](THidDevice* d, std::int32_t idx) {
    THidDevice* mine = nullptr;
    if (d->Attributes().ProductID == 0x5B1D && c->ClaimDeviceByIndex(mine, idx)) {
      claimed.push_back(mine);
      EXPECT_EQ(mine, d);
    }
    return true;
  };
  EXPECT_EQ(c->EnumerateDevices(), 2);
  ASSERT_EQ(claimed.size(), 1u);
  THidDevice* first = claimed[0];
  first->SetThreadSleepTime(250);
  const hid::THidDataEvent data(
      &claimed, [](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
  first->SetDataHandler(data);

  EXPECT_NE(first->ReadThread(), nullptr);  // claimed, read-write, handler set
  hid::THidDevicePtr(first).reset();
  ASSERT_EQ(c->DeviceCount(), 2);
  THidDevice* replacement = c->DeviceAt(1);
  ASSERT_NE(replacement, nullptr);
  EXPECT_FALSE(replacement->Claimed());
  EXPECT_TRUE(replacement->PluggedIn());
  EXPECT_EQ(replacement->Attributes().ProductID, 0x5B1D);
  EXPECT_EQ(replacement->ThreadSleepTime(), 250);
  EXPECT_TRUE(replacement->DataHandler().SameCode(data));
  EXPECT_TRUE(replacement->UnplugHandler().SameCode(c->OnDeviceUnplug()));
  EXPECT_EQ(bus.OpenHandleCount(), 0u);  // the reader's handle went; the replacement opens none
  EXPECT_EQ(replacement->ReadThread(), nullptr);  // unclaimed: no reader

  recorder.events.clear();
  EXPECT_EQ(c->EnumerateDevices(), 2);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"enumerate:0001@0", "enumerate:5B1D@1"}));
  ASSERT_EQ(claimed.size(), 2u);
  EXPECT_EQ(claimed[1], replacement);
  delete claimed[1];  // NOLINT: the claimer owns it
  // The same interface is still known: no arrival on the next change.
  recorder.events.clear();
  Notify(*c);
  EXPECT_TRUE(recorder.events.empty());
}

TEST_F(Controller, ReleaseWhoseReplacementCannotBeCreatedDropsTheEntry) {
  const auto kb = bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  THidDevice* claimed = nullptr;
  ASSERT_TRUE(c->ClaimDeviceByIndex(claimed, 0));
  bus.SetDeviceOptions(kb, {.failOpen = true});
  EXPECT_NO_THROW(hid::THidDevicePtr(claimed).reset());
  EXPECT_EQ(c->DeviceCount(), 0);
  // Once it can be opened again, the next change brings it back.
  bus.SetDeviceOptions(kb, {});
  recorder.events.clear();
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:5B1D", "change"}));
}

TEST_F(Controller, ClaimBoundsAndDoubleClaims) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  THidDevice* sentinel = reinterpret_cast<THidDevice*>(&recorder);
  THidDevice* out = sentinel;
  EXPECT_FALSE(c->ClaimDeviceByIndex(out, -1));
  EXPECT_EQ(out, nullptr);
  out = sentinel;
  EXPECT_FALSE(c->ClaimDeviceByIndex(out, 1));
  EXPECT_EQ(out, nullptr);
  out = sentinel;
  EXPECT_FALSE(c->ClaimDevice(out, 0, false));
  EXPECT_EQ(out, sentinel);  // left as it was
  EXPECT_FALSE(c->ClaimDevice(out, 5, true));
  ASSERT_TRUE(c->ClaimDeviceByIndex(out, 0));
  hid::THidDevicePtr owner(out);
  THidDevice* second = sentinel;
  EXPECT_FALSE(c->ClaimDeviceByIndex(second, 0));
  EXPECT_EQ(second, nullptr);
}

TEST_F(Controller, UnreadableInterfacesAreSkippedAndAFailedEnumerationRemovesEverything) {
  const auto broken = bus.Plug(MakeModel(0x2C7A, 0x0001), {.failOpen = true});
  bus.Plug(MakeModel(0x2C7A, 0x0002), {.failAttributes = true});
  bus.Plug(MakeModel(0x2C7A, 0x0003), {.readWriteAccess = false});
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:0003", "arrival:5B1D", "change"}));
  EXPECT_FALSE(c->DeviceAt(0)->HasReadWriteAccess());
  EXPECT_TRUE(c->DeviceAt(1)->HasReadWriteAccess());
  bus.Unplug(broken);

  recorder.events.clear();
  bus.SetEnumerationFailure(true);
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"unplug:5B1D", "removal:5B1D", "unplug:0003",
                                                       "removal:0003", "change"}));
  EXPECT_EQ(c->DeviceCount(), 0);
  bus.SetEnumerationFailure(false);
  recorder.events.clear();
  Notify(*c);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"arrival:0003", "arrival:5B1D", "change"}));
}

TEST_F(Controller, AssigningOnDeviceChangeRescansAtOnceExceptWhileLoading) {
  auto c = Start();
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  Recorder other;
  c->SetOnArrival({&other, &Recorder::Arrival});
  c->SetOnDeviceChange({&other, &Recorder::Change});  // same code: kept, but rescans
  EXPECT_EQ(other.events, (std::vector<std::string>{"arrival:5B1D"}));
  EXPECT_EQ(c->OnDeviceChange().Object(), &recorder);
  EXPECT_EQ(recorder.Count("change"), 2);

  c->SetLoading(true);
  bus.Plug(MakeModel(0x2C7A, 0x0002));
  c->SetOnDeviceChange({});
  EXPECT_EQ(other.events.size(), 1u);
  EXPECT_FALSE(c->OnDeviceChange());
}

TEST_F(Controller, SleepTimeReachesOnlyDevicesThatHoldTheControllersValue) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  auto c = Start();
  THidDevice* d = c->DeviceAt(0);
  c->SetDevThreadSleepTime(5);
  EXPECT_EQ(c->DevThreadSleepTime(), 5);
  EXPECT_EQ(d->ThreadSleepTime(), 100);  // devices accept 10..10000 only
  c->SetDevThreadSleepTime(200);
  EXPECT_EQ(d->ThreadSleepTime(), 100);  // none held 5
  c->SetDevThreadSleepTime(100);
  c->SetDevThreadSleepTime(300);
  EXPECT_EQ(d->ThreadSleepTime(), 300);
  d->SetThreadSleepTime(9);
  d->SetThreadSleepTime(10001);
  EXPECT_EQ(d->ThreadSleepTime(), 300);
  d->SetThreadSleepTime(10);
  EXPECT_EQ(d->ThreadSleepTime(), 10);
  d->SetThreadSleepTime(10000);
  EXPECT_EQ(d->ThreadSleepTime(), 10000);

  // A device that appears later starts with the controller's slice and
  // data-error handler.
  Recorder errors;
  const hid::THidDataErrorEvent onError(&errors, [](THidDevice*, std::uint32_t) {});
  c->SetOnDeviceDataError(onError);
  EXPECT_TRUE(d->DataErrorHandler().SameCode(onError));
  bus.Plug(MakeModel(0x2C7A, 0x0002));
  Notify(*c);
  ASSERT_EQ(c->DeviceCount(), 2);
  EXPECT_EQ(c->DeviceAt(1)->ThreadSleepTime(), 300);
  EXPECT_TRUE(c->DeviceAt(1)->DataErrorHandler().SameCode(onError));
}

TEST_F(Controller, HandlerSettersPassTheHandlerOnToDevicesHoldingThePreviousOne) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  bus.Plug(MakeModel(0x2C7A, 0x0002));
  auto c = Start();
  Recorder mine;
  c->DeviceAt(1)->SetUnplugHandler({&mine, &Recorder::Removal});
  Recorder replacement;
  c->SetOnDeviceUnplug({&replacement, &Recorder::Arrival});
  EXPECT_TRUE(c->DeviceAt(0)->UnplugHandler().SameCode(c->OnDeviceUnplug()));
  EXPECT_TRUE(c->DeviceAt(1)->UnplugHandler().SameCode({&mine, &Recorder::Removal}));
  // Same code bound to another object: not a change.
  c->SetOnDeviceUnplug({&mine, &Recorder::Arrival});
  EXPECT_EQ(c->OnDeviceUnplug().Object(), &replacement);
}

TEST_F(Controller, DestroyingTheControllerDetachesClaimedDevices) {
  bus.Plug(MakeModel(0x2C7A, 0x5B1D));
  bus.Plug(MakeModel(0x2C7A, 0x0002));
  auto c = Start();
  THidDevice* claimed = nullptr;
  ASSERT_TRUE(c->ClaimDeviceByIndex(claimed, 0));
  hid::THidDevicePtr owner(claimed);
  Recorder own;
  claimed->SetUnplugHandler({&own, &Recorder::Unplug});
  c.reset();
  EXPECT_EQ(own.events, std::vector<std::string>{"unplug:5B1D"});
  EXPECT_EQ(claimed->Controller(), nullptr);
  EXPECT_FALSE(claimed->PluggedIn());
  EXPECT_EQ(hidplatform::SetupApiRefCount(), 0);
  owner.reset();  // destroying the detached object touches no controller
  EXPECT_EQ(bus.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace hidtest
