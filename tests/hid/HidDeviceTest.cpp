#include <gtest/gtest.h>

#include <thread>

#include "tests/hid/HidTestSupport.h"

namespace hidtest {
namespace {

using hid::THidDevice;
using hid::THidDeviceController;

class Device : public testing::Test {
 protected:
  // Plugs one model, runs the first scan and claims the device.
  THidDevice* PlugAndClaim(std::shared_ptr<SimpleDeviceModel> model,
                           hidplatform::VirtualPlugOptions options = {}) {
    bus.Plug(std::move(model), options);
    controller = std::make_unique<THidDeviceController>();
    EXPECT_TRUE(ProcessUntil([&] { return controller->DeviceCount() == 1; }));
    THidDevice* d = nullptr;
    EXPECT_TRUE(controller->ClaimDeviceByIndex(d, 0));
    claimed.reset(d);
    return d;
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope{bus};
  std::unique_ptr<THidDeviceController> controller;
  hid::THidDevicePtr claimed;
};

std::shared_ptr<SimpleDeviceModel> ModelWithStrings(std::u16string serial,
                                                    std::vector<std::uint16_t> languages) {
  DeviceIdentity identity;
  identity.vendorId = 0x2C7A;
  identity.productId = 0x5B1D;
  identity.manufacturer = u"Maker";
  identity.product = std::u16string(254, u'p');
  identity.serialNumber = std::move(serial);
  identity.languages = std::move(languages);
  identity.indexedStrings[1] = u"Maker";
  identity.indexedStrings[7] = u"Seventh \u00e9";
  identity.reportDescriptor = SimpleDeviceModel::VendorDescriptor(9, 32, 32);
  return std::make_shared<SimpleDeviceModel>(identity);
}

TEST_F(Device, StringsLanguagesAndTheSerialNumberRules) {
  THidDevice* d = PlugAndClaim(ModelWithStrings(u"SN-0042", {0x0409, 0x0407, 0x7777}));
  EXPECT_EQ(d->GetVendorName(), u"Maker");
  EXPECT_EQ(d->GetProductName(), std::u16string(254, u'p'));  // whole, with no terminator
  EXPECT_EQ(d->GetSerialNumber(), u"SN-0042");
  EXPECT_EQ(d->GetLanguageStrings(),
            (std::vector<std::string>{"English (United States)", "German (Germany)",
                                      "unknown Locale ID $7777"}));
  EXPECT_EQ(d->GetIndexedWideString(7), u"Seventh \u00e9");
  EXPECT_EQ(d->GetIndexedString(7), "Seventh \xc3\xa9");
  EXPECT_EQ(d->GetIndexedString(8), "");
  // Queries close what they opened; indexed strings leave the handle open.
  EXPECT_NE(d->DeviceHandle(), hidplatform::kInvalidHandle);
  d->CloseDeviceHandle();
  const auto opens = bus.OpenCallCount();
  EXPECT_EQ(d->GetIndexedString(0), "");
  EXPECT_EQ(bus.OpenCallCount(), opens);  // index 0 does not touch the device
  hid::HIDP_CAPS caps;
  d->GetCapabilities(caps);
  EXPECT_EQ(caps.InputReportByteLength, 33);
  EXPECT_EQ(caps.OutputReportByteLength, 33);
  EXPECT_EQ(caps.UsagePage, 0xFF00);
  EXPECT_EQ(d->DeviceHandle(), hidplatform::kInvalidHandle);
}

TEST_F(Device, ASerialNumberThatRepeatsTheLanguageListIsNone) {
  THidDevice* d = PlugAndClaim(ModelWithStrings(std::u16string(1, char16_t{0x0409}), {0x0409}));
  EXPECT_EQ(d->GetSerialNumber(), u"");
  // And a device without a language list keeps its serial number to itself.
  claimed.reset();
  controller.reset();
  bus.UnplugAll();
  THidDevice* other = PlugAndClaim(ModelWithStrings(u"SN", {}));
  EXPECT_EQ(other->GetSerialNumber(), u"");
  EXPECT_TRUE(other->GetLanguageStrings().empty());
}

TEST_F(Device, AnUnclaimedObjectOutsideHandlersOpensNothing) {
  bus.Plug(ModelWithStrings(u"SN", {0x0409}));
  THidDeviceController c;
  ASSERT_TRUE(ProcessUntil([&] { return c.DeviceCount() == 1; }));
  THidDevice* d = c.DeviceAt(0);
  const auto opens = bus.OpenCallCount();
  EXPECT_FALSE(d->CanOpen());
  EXPECT_EQ(d->GetVendorName(), u"");
  EXPECT_EQ(d->GetProductName(), u"");
  EXPECT_EQ(d->GetSerialNumber(), u"");
  EXPECT_TRUE(d->GetLanguageStrings().empty());
  EXPECT_EQ(d->GetIndexedWideString(1), u"");
  EXPECT_EQ(d->GetPreparsedData(), nullptr);
  hid::HIDP_CAPS caps;
  caps.InputReportByteLength = 77;
  d->GetCapabilities(caps);
  EXPECT_EQ(caps.InputReportByteLength, 0);
  std::uint8_t report[33] = {9, 0x84, 0x57};
  std::uint32_t written = 5;
  EXPECT_FALSE(d->WriteOutputReport(report, sizeof report, written));
  EXPECT_EQ(written, 0u);
  EXPECT_FALSE(d->OpenReadHandle());
  EXPECT_EQ(bus.OpenCallCount(), opens);
  EXPECT_TRUE(bus.WrittenReports().empty());

  // Inside OnEnumerate the same object may be queried; afterwards its
  // handles are closed again.
  std::u16string seen;
  c.SetOnEnumerate(hid::THidEnumerateEvent(&seen, [&](THidDevice* dev, std::int32_t) {
    seen = dev->GetProductName();
    dev->OpenDeviceHandle();
    return true;
  }));
  c.EnumerateDevices();
  EXPECT_EQ(seen, std::u16string(254, u'p'));
  EXPECT_EQ(d->DeviceHandle(), hidplatform::kInvalidHandle);
  EXPECT_EQ(bus.OpenHandleCount(), 0u);
}

TEST_F(Device, WritesGoToTheInterfaceAndFailWhenUnpluggedOrQueryOnly) {
  THidDevice* d =
      PlugAndClaim(MakeModel(0x2C7A, 0x5B1D, SimpleDeviceModel::VendorDescriptor(9, 2, 2)));
  hid::HIDP_CAPS caps;
  d->GetCapabilities(caps);
  ASSERT_EQ(caps.OutputReportByteLength, 3);
  const std::uint8_t command[3] = {9, 0x84, 0x57};
  std::uint32_t written = 0;
  ASSERT_TRUE(d->WriteOutputReport(command, caps.OutputReportByteLength, written));
  EXPECT_EQ(written, 3u);
  ASSERT_EQ(bus.WrittenReports().size(), 1u);
  EXPECT_EQ(bus.WrittenReports()[0].bytes, (std::vector<std::uint8_t>{9, 0x84, 0x57}));
  EXPECT_NE(d->DeviceHandle(), hidplatform::kInvalidHandle);  // stays open

  bus.UnplugAll();
  Notify(*controller);
  EXPECT_FALSE(d->PluggedIn());
  EXPECT_FALSE(d->WriteOutputReport(command, 3, written));
  EXPECT_EQ(bus.WrittenReports().size(), 1u);

  claimed.reset();
  controller.reset();
  THidDevice* queryOnly = PlugAndClaim(MakeModel(0x2C7A, 0x5B1D), {.readWriteAccess = false});
  EXPECT_FALSE(queryOnly->HasReadWriteAccess());
  EXPECT_EQ(queryOnly->Attributes().ProductID, 0x5B1D);
  EXPECT_EQ(queryOnly->GetProductName(), u"Device");
  EXPECT_FALSE(queryOnly->WriteOutputReport(command, 3, written));
  // A data handler never starts a reader on a query-only device.
  queryOnly->SetDataHandler(hid::THidDataEvent(
      &written, [](THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) {}));
  EXPECT_EQ(queryOnly->ReadThread(), nullptr);
}

}  // namespace
}  // namespace hidtest
