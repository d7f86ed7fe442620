// The information dialog through the ui interfaces: the same tests run on
// every front end.
#include <chrono>
#include <string>

#include "tests/info/InfoDialogFixture.h"

namespace {

using infotest::Described;
using infotest::InfoDeviceTest;
using infotest::Items;
using infotest::Lines;

TEST_F(InfoDeviceTest, DesignTextsPositionsAndFrame) {
  const ui::FormSpec frame = TInfoForm::FormDescription();
  EXPECT_EQ(frame.caption, "HID Device Info");
  EXPECT_FALSE(frame.fixedSize);  // a sizeable dialog frame
  TInfoForm form(toolkit, nullptr);
  struct Expect {
    ui::Label* label;
    const char* name;
    int left, top;
    const char* text;
  };
  for (const Expect& e : {Expect{form.Label10, "Label10", 8, 8, "Vendor name:"},
                          {form.VendorName, "VendorName", 96, 8, "VendorName"},
                          {form.Label9, "Label9", 8, 24, "Product name:"},
                          {form.ProductName, "ProductName", 96, 24, "ProductName"},
                          {form.Label11, "Label11", 8, 40, "Serial No:"},
                          {form.SerialNo, "SerialNo", 96, 40, "SerialNo"},
                          {form.Label2, "Label2", 8, 72, "VID:"},
                          {form.Vid, "Vid", 64, 72, "Vid"},
                          {form.Label3, "Label3", 8, 88, "PID:"},
                          {form.Pid, "Pid", 64, 88, "Pid"},
                          {form.Label4, "Label4", 8, 104, "Version:"},
                          {form.Vers, "Vers", 64, 104, "Vers"},
                          {form.Label5, "Label5", 8, 136, "Report Length"},
                          {form.Label6, "Label6", 8, 160, "Input:"},
                          {form.InputLen, "InputLen", 72, 160, "0"},
                          {form.Label7, "Label7", 8, 176, "Output:"},
                          {form.OutputLen, "OutputLen", 72, 176, "0"},
                          {form.Label8, "Label8", 8, 192, "Feature:"},
                          {form.FeatureLen, "FeatureLen", 72, 192, "0"},
                          {form.Label1, "Label1", 232, 56, "Strings"},
                          {form.Label12, "Label12", 400, 56, "Languages"}}) {
    ASSERT_NE(e.label, nullptr) << e.name;
    EXPECT_EQ(e.label->Text(), e.text);
    const ui::ControlSpec& spec = Described(e.name);
    EXPECT_EQ(spec.bounds.left, e.left) << e.name;
    EXPECT_EQ(spec.bounds.top, e.top) << e.name;
    EXPECT_EQ(spec.bounds.height, 16) << e.name;
  }
  for (const char* list : {"DevStrings", "LangStrings"}) {
    const ui::Rect r = Described(list).bounds;
    EXPECT_EQ(r.top, 72) << list;
    EXPECT_EQ(r.width, 161) << list;
    EXPECT_EQ(r.height, 297) << list;
  }
  EXPECT_EQ(Described("DevStrings").bounds.left, 232);
  EXPECT_EQ(Described("LangStrings").bounds.left, 400);
  EXPECT_EQ(form.DevStrings->Count(), 0);
  EXPECT_EQ(form.LangStrings->Count(), 0);
}

TEST_F(InfoDeviceTest, FormatsIdsLengthsAndIndexedStrings) {
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
  EXPECT_EQ(Items(*form.DevStrings), (Lines{"  1) first", " 42) answer", "255) last"}));
  EXPECT_EQ(Items(*form.LangStrings), info.languages);

  TInfoForm zero(toolkit, nullptr);
  DeviceInfo none;
  none.featureReportLength = 0x100;
  zero.ShowInfo(none);
  EXPECT_EQ(zero.InputLen->Text(), "0");  // a 0 length keeps the design text
  EXPECT_EQ(zero.FeatureLen->Text(), "FF");
  EXPECT_EQ(zero.Vid->Text(), "0000");
}

TEST_F(InfoDeviceTest, ShownDialogReadsTheDeviceOnce) {
  device = PlugAndClaim(infotest::BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  auto owner = MakeOwner();
  owner->Show();
  TInfoForm dialog(toolkit, owner.get());
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
    EXPECT_EQ(Items(*dialog.DevStrings), (Lines{"  1) one", "  4) four", " 12) twelve"}));
    std::string english, german;
    hidplatform::GetLocaleName(0x0409, english);
    hidplatform::GetLocaleName(0x0407, german);
    EXPECT_EQ(Items(*dialog.LangStrings), (Lines{english, german}));
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_TRUE(ran);
  // A second show adds nothing and reads nothing.
  const auto requests = bus.IndexedStringRequestCount();
  toolkit.whileModal = nullptr;
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(dialog.DevStrings->Count(), 3);
  EXPECT_EQ(dialog.LangStrings->Count(), 2);
  EXPECT_EQ(bus.IndexedStringRequestCount(), requests);
}

// The strings are read on the main thread: not all 255 indices of a device
// with a few, and not longer than a moment from a slow device.
TEST_F(InfoDeviceTest, StringReadingIsBoundedInRequestsAndTime) {
  device = PlugAndClaim(infotest::BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  auto requests = bus.IndexedStringRequestCount();
  EXPECT_EQ(ReadDeviceInfo(*device).indexedStrings.size(), 3u);
  EXPECT_LT(bus.IndexedStringRequestCount() - requests, 64u);

  device.reset();
  controller.reset();
  bus.Unplug(plugged);
  emulator::DeviceIdentity slow = infotest::BootLoaderIdentity();
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
  device = PlugAndClaim(identity);
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

TEST_F(InfoDeviceTest, ShownWithoutADeviceKeepsTheDesignTexts) {
  TInfoForm dialog(toolkit, nullptr);
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(toolkit.modalRuns, 1);
  EXPECT_EQ(dialog.VendorName->Text(), "VendorName");
  EXPECT_EQ(dialog.Vid->Text(), "Vid");
  EXPECT_EQ(dialog.DevStrings->Count(), 0);
  EXPECT_EQ(bus.IndexedStringRequestCount(), 0u);
}

TEST_F(InfoDeviceTest, DeviceFreedWhileTheDialogIsOpen) {
  device = PlugAndClaim(infotest::BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  toolkit.whileModal = [&](ui::Form& shown) {
    // The keyboard goes away and its owner frees the object, as the window
    // does on a device change, while the dialog stays open.
    bus.Unplug(plugged);
    controller->DeviceChange();
    device.reset();
    shown.SetClientSize(700, 500);  // lays out and paints again
    toolkit.RunUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(dialog.ProductName->Text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(dialog.DevStrings->Count(), 3);
    EXPECT_TRUE(shown.IsShown());
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(dialog.Vid->Text(), "04D9");
}

}  // namespace
