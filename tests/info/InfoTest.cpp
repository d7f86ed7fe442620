#include "app/info/Info.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "emulator/SimpleDeviceModel.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/HidControllerClass.h"
#include "tests/support/Drive.h"
#include "tests/support/TestToolkit.h"

namespace {

using Lines = std::vector<std::string>;

Lines Items(const ui::ListBox* list) {
  Lines items;
  for (int i = 0; i < list->Count(); ++i) items.push_back(list->Item(i));
  return items;
}

emulator::DeviceIdentity BootLoaderIdentity() {
  emulator::DeviceIdentity identity;
  identity.vendorId = 0x04D9;
  identity.productId = 0x8022;
  identity.versionNumber = 0x0100;
  identity.manufacturer = u"Holtek";
  identity.product = u"ISP Boot <b>Loader</b>";
  identity.serialNumber = u"SN-0042";
  identity.reportDescriptor = emulator::SimpleDeviceModel::VendorDescriptor(0, 8, 64);
  identity.languages = {0x0409, 0x0407};
  identity.indexedStrings = {{1, u"one"}, {4, u"four"}, {12, u"twelve"}};
  return identity;
}

// One emulated device on the virtual bus, claimed from a controller as the
// window claims its devices.
class InfoDeviceTest : public ::testing::Test {
 protected:
  std::unique_ptr<hid::THidDevice> PlugAndClaim(const emulator::DeviceIdentity& identity,
                                                hidplatform::VirtualPlugOptions options = {}) {
    plugged = bus.Plug(std::make_shared<emulator::SimpleDeviceModel>(identity), options);
    controller = std::make_unique<hid::THidDeviceController>();
    controller->DeviceChange();
    hid::THidDevice* device = nullptr;
    if (!controller->ClaimDeviceByIndex(device, 0)) return nullptr;
    return std::unique_ptr<hid::THidDevice>(device);
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend{bus};
  testsupport::ScriptedToolkit toolkit;
  std::uint32_t plugged = 0;
  std::unique_ptr<hid::THidDeviceController> controller;
};

TEST(InfoFormTest, DesignTexts) {
  testsupport::ScriptedToolkit toolkit;
  TInfoForm form(toolkit, nullptr);
  struct Expect {
    ui::Label* label;
    const char* text;
  };
  for (const Expect& e : {Expect{form.Label10, "Vendor name:"},
                          {form.VendorName, "VendorName"},
                          {form.Label9, "Product name:"},
                          {form.ProductName, "ProductName"},
                          {form.Label11, "Serial No:"},
                          {form.SerialNo, "SerialNo"},
                          {form.Label2, "VID:"},
                          {form.Vid, "Vid"},
                          {form.Label3, "PID:"},
                          {form.Pid, "Pid"},
                          {form.Label4, "Version:"},
                          {form.Vers, "Vers"},
                          {form.Label5, "Report Length"},
                          {form.Label6, "Input:"},
                          {form.InputLen, "0"},
                          {form.Label7, "Output:"},
                          {form.OutputLen, "0"},
                          {form.Label8, "Feature:"},
                          {form.FeatureLen, "0"},
                          {form.Label1, "Strings"},
                          {form.Label12, "Languages"}}) {
    EXPECT_EQ(e.label->Text(), e.text);
  }
  EXPECT_EQ(form.DevStrings->Count(), 0);
  EXPECT_EQ(form.LangStrings->Count(), 0);
  // Shown without a device, it keeps them.
  form.Window().Show();
  EXPECT_EQ(form.VendorName->Text(), "VendorName");
  EXPECT_EQ(form.DevStrings->Count(), 0);
  form.Window().Close();
}

TEST(InfoFormTest, FormatsIdsLengthsAndIndexedStrings) {
  testsupport::ScriptedToolkit toolkit;
  TInfoForm form(toolkit, nullptr);
  DeviceInfo info;
  info.vendorId = 0x4D9;
  info.productId = 0x8022;
  info.versionNumber = 0x00AB;
  info.inputReportLength = 9;
  info.outputReportLength = 65;
  info.featureReportLength = 1;
  info.indexedStrings = {{1, "first"}, {42, "answer"}, {255, "last"}};
  info.languages = {"English (United States)", "unknown Locale ID $0C0A"};
  form.ShowInfo(info);
  EXPECT_EQ(form.Vid->Text(), "04D9");
  EXPECT_EQ(form.Pid->Text(), "8022");
  EXPECT_EQ(form.Vers->Text(), "00AB");
  EXPECT_EQ(form.InputLen->Text(), "8");
  EXPECT_EQ(form.OutputLen->Text(), "40");
  EXPECT_EQ(form.FeatureLen->Text(), "0");
  EXPECT_EQ(Items(form.DevStrings), (Lines{"  1) first", " 42) answer", "255) last"}));
  EXPECT_EQ(Items(form.LangStrings), info.languages);

  TInfoForm zero(toolkit, nullptr);
  DeviceInfo none;
  none.featureReportLength = 0x100;
  zero.ShowInfo(none);
  EXPECT_EQ(zero.InputLen->Text(), "0");  // a 0 length keeps the design text
  EXPECT_EQ(zero.FeatureLen->Text(), "FF");
  EXPECT_EQ(zero.Vid->Text(), "0000");
}

TEST_F(InfoDeviceTest, ShownDialogReadsTheDeviceOnce) {
  auto device = PlugAndClaim(BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  bool ran = false;
  toolkit.whileModal = [&](ui::Form& shown) {
    ran = true;
    EXPECT_EQ(&shown, &dialog.Window());
    EXPECT_EQ(dialog.Device, nullptr);  // read, then let go
    EXPECT_EQ(dialog.VendorName->Text(), "Holtek");
    EXPECT_EQ(dialog.ProductName->Text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(dialog.SerialNo->Text(), "SN-0042");
    EXPECT_EQ(dialog.Vid->Text(), "04D9");
    EXPECT_EQ(dialog.Pid->Text(), "8022");
    EXPECT_EQ(dialog.Vers->Text(), "0100");
    EXPECT_EQ(dialog.InputLen->Text(), "8");
    EXPECT_EQ(dialog.OutputLen->Text(), "40");
    EXPECT_EQ(dialog.FeatureLen->Text(), "0");
    EXPECT_EQ(Items(dialog.DevStrings), (Lines{"  1) one", "  4) four", " 12) twelve"}));
    std::string english, german;
    hidplatform::GetLocaleName(0x0409, english);
    hidplatform::GetLocaleName(0x0407, german);
    EXPECT_EQ(Items(dialog.LangStrings), (Lines{english, german}));
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_TRUE(ran);
  // A second show adds nothing and asks the device nothing.
  const auto requests = bus.IndexedStringRequestCount();
  toolkit.whileModal = nullptr;
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(dialog.DevStrings->Count(), 3);
  EXPECT_EQ(dialog.LangStrings->Count(), 2);
  EXPECT_EQ(bus.IndexedStringRequestCount(), requests);
}

TEST_F(InfoDeviceTest, ShownWithoutADeviceKeepsTheDesignTexts) {
  TInfoForm dialog(toolkit, nullptr);
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(toolkit.modalRuns, 1);
  EXPECT_EQ(dialog.VendorName->Text(), "VendorName");
  EXPECT_EQ(dialog.Vid->Text(), "Vid");
  EXPECT_EQ(dialog.DevStrings->Count(), 0);
  EXPECT_EQ(bus.IndexedStringRequestCount(), 0u);
}

// The strings are read on the main thread: not all 255 indices of a device
// with a few, and not longer than a moment from a slow device.
TEST_F(InfoDeviceTest, StringReadingIsBoundedInRequestsAndTime) {
  auto device = PlugAndClaim(BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  auto requests = bus.IndexedStringRequestCount();
  EXPECT_EQ(ReadDeviceInfo(*device).indexedStrings.size(), 3u);
  EXPECT_LT(bus.IndexedStringRequestCount() - requests, 64u);

  device.reset();
  controller.reset();
  bus.Unplug(plugged);
  emulator::DeviceIdentity slow = BootLoaderIdentity();
  for (int index = 1; index <= 255; ++index) slow.indexedStrings[index] = u"s";
  device = PlugAndClaim(slow, {.stringAnswerDelay = std::chrono::milliseconds(20)});
  ASSERT_NE(device, nullptr);
  requests = bus.IndexedStringRequestCount();
  const DeviceInfo info = ReadDeviceInfo(*device);
  EXPECT_LT(bus.IndexedStringRequestCount() - requests, 20u);  // 20 would take 400 ms
  EXPECT_FALSE(info.indexedStrings.empty());
}

TEST_F(InfoDeviceTest, DeviceWithoutStringsShowsBlanks) {
  emulator::DeviceIdentity identity;
  identity.vendorId = 0x2C7A;
  identity.productId = 0x5B1D;
  identity.reportDescriptor = emulator::SimpleDeviceModel::VendorDescriptor(9, 0, 2);
  identity.languages.clear();
  auto device = PlugAndClaim(identity);
  ASSERT_NE(device, nullptr);
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  dialog.Window().Show();
  EXPECT_EQ(dialog.VendorName->Text(), "");
  EXPECT_EQ(dialog.ProductName->Text(), "");
  EXPECT_EQ(dialog.SerialNo->Text(), "");
  EXPECT_EQ(dialog.Vid->Text(), "2C7A");
  EXPECT_EQ(dialog.InputLen->Text(), "0");
  EXPECT_EQ(dialog.OutputLen->Text(), "2");
  EXPECT_EQ(dialog.DevStrings->Count(), 0);
  EXPECT_EQ(dialog.LangStrings->Count(), 0);
  dialog.Window().Close();
}

TEST_F(InfoDeviceTest, DeviceFreedWhileTheDialogIsOpen) {
  auto device = PlugAndClaim(BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  toolkit.whileModal = [&](ui::Form& shown) {
    // The keyboard goes away and its owner frees the object, as the window
    // does on a device change, while the dialog stays open.
    bus.Unplug(plugged);
    controller->DeviceChange();
    device.reset();
    testsupport::RunUntil([] { return false; }, std::chrono::milliseconds(20));
    testsupport::SetClientSize(shown, 700, 500);
    testsupport::RunUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(dialog.ProductName->Text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(dialog.DevStrings->Count(), 3);
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(device, nullptr);
}

}  // namespace
