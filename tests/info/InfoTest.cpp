#include "hid/info/Info.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>

#include <chrono>
#include <memory>

#include "emulator/SimpleDeviceModel.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/virtual/VirtualHidBus.h"

namespace {

QStringList Items(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
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
  std::uint32_t plugged = 0;
  std::unique_ptr<hid::THidDeviceController> controller;
};

TEST(InfoFormTest, DesignTextsPositionsAndFrame) {
  TInfoForm form;
  EXPECT_EQ(form.windowTitle(), "HID Device Info");
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  struct Expect {
    QLabel* label;
    int left, top;
    const char* text;
  };
  for (const Expect& e : {Expect{form.Label10, 8, 8, "Vendor name:"},
                          {form.VendorName, 96, 8, "VendorName"},
                          {form.Label9, 8, 24, "Product name:"},
                          {form.ProductName, 96, 24, "ProductName"},
                          {form.Label11, 8, 40, "Serial No:"},
                          {form.SerialNo, 96, 40, "SerialNo"},
                          {form.Label2, 8, 72, "VID:"},
                          {form.Vid, 64, 72, "Vid"},
                          {form.Label3, 8, 88, "PID:"},
                          {form.Pid, 64, 88, "Pid"},
                          {form.Label4, 8, 104, "Version:"},
                          {form.Vers, 64, 104, "Vers"},
                          {form.Label5, 8, 136, "Report Length"},
                          {form.Label6, 8, 160, "Input:"},
                          {form.InputLen, 72, 160, "0"},
                          {form.Label7, 8, 176, "Output:"},
                          {form.OutputLen, 72, 176, "0"},
                          {form.Label8, 8, 192, "Feature:"},
                          {form.FeatureLen, 72, 192, "0"},
                          {form.Label1, 232, 56, "Strings"},
                          {form.Label12, 400, 56, "Languages"}}) {
    EXPECT_EQ(e.label->text(), e.text);
    EXPECT_EQ(e.label->pos(), QPoint(e.left, e.top)) << e.text;
    EXPECT_EQ(e.label->height(), 16) << e.text;
  }
  EXPECT_EQ(form.DevStrings->geometry(), QRect(232, 72, 161, 297));
  EXPECT_EQ(form.LangStrings->geometry(), QRect(400, 72, 161, 297));
  EXPECT_EQ(form.DevStrings->count(), 0);
  EXPECT_EQ(form.LangStrings->count(), 0);
}

TEST(InfoFormTest, ListsFollowTheirEdgesWhenResized) {
  TInfoForm form;
  form.show();
  EXPECT_EQ(form.DevStrings->geometry(), QRect(232, 72, 161, 297));
  form.resize(form.width() + 100, form.height() + 50);
  EXPECT_EQ(form.DevStrings->geometry(), QRect(232, 72, 261, 347));
  EXPECT_EQ(form.LangStrings->geometry(), QRect(500, 72, 161, 347));
}

TEST(InfoFormTest, FormatsIdsLengthsAndIndexedStrings) {
  TInfoForm form;
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
  EXPECT_EQ(form.Vid->text(), "04D9");
  EXPECT_EQ(form.Pid->text(), "8022");
  EXPECT_EQ(form.Vers->text(), "00AB");
  EXPECT_EQ(form.InputLen->text(), "8");
  EXPECT_EQ(form.OutputLen->text(), "40");
  EXPECT_EQ(form.FeatureLen->text(), "0");
  EXPECT_EQ(Items(form.DevStrings), (QStringList{"  1) first", " 42) answer", "255) last"}));
  EXPECT_EQ(Items(form.LangStrings), info.languages);

  TInfoForm zero;
  DeviceInfo none;
  none.featureReportLength = 0x100;
  zero.ShowInfo(none);
  EXPECT_EQ(zero.InputLen->text(), "0");  // a 0 length keeps the design text
  EXPECT_EQ(zero.FeatureLen->text(), "FF");
  EXPECT_EQ(zero.Vid->text(), "0000");
}

TEST_F(InfoDeviceTest, ShownDialogReadsTheDeviceOnce) {
  auto device = PlugAndClaim(BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  QWidget owner;
  owner.setGeometry(300, 200, 383, 320);
  owner.show();
  bool ran = false;
  ShowDeviceInfo(&owner, device.get(), [&](TInfoForm& dialog) {
    ran = true;
    EXPECT_EQ(dialog.Device, device.get());
    dialog.show();
    EXPECT_EQ(dialog.Device, nullptr);  // read, then let go
    EXPECT_EQ(dialog.parentWidget(), &owner);
    EXPECT_EQ(dialog.VendorName->text(), "Holtek");
    EXPECT_EQ(dialog.ProductName->text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(dialog.ProductName->textFormat(), Qt::PlainText);
    EXPECT_EQ(dialog.SerialNo->text(), "SN-0042");
    EXPECT_EQ(dialog.Vid->text(), "04D9");
    EXPECT_EQ(dialog.Pid->text(), "8022");
    EXPECT_EQ(dialog.Vers->text(), "0100");
    EXPECT_EQ(dialog.InputLen->text(), "8");
    EXPECT_EQ(dialog.OutputLen->text(), "40");
    EXPECT_EQ(dialog.FeatureLen->text(), "0");
    EXPECT_EQ(Items(dialog.DevStrings), (QStringList{"  1) one", "  4) four", " 12) twelve"}));
    std::string english, german;
    hidplatform::GetLocaleName(0x0409, english);
    hidplatform::GetLocaleName(0x0407, german);
    EXPECT_EQ(Items(dialog.LangStrings),
              (QStringList{QString::fromStdString(english), QString::fromStdString(german)}));
    const QPoint offset = dialog.geometry().center() - owner.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 40) << "not centred on its owner";
    // A second show adds nothing.
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.DevStrings->count(), 3);
    return 0;
  });
  EXPECT_TRUE(ran);
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
  TInfoForm dialog;
  dialog.Device = device.get();
  dialog.show();
  EXPECT_EQ(dialog.VendorName->text(), "");
  EXPECT_EQ(dialog.ProductName->text(), "");
  EXPECT_EQ(dialog.SerialNo->text(), "");
  EXPECT_EQ(dialog.Vid->text(), "2C7A");
  EXPECT_EQ(dialog.InputLen->text(), "0");
  EXPECT_EQ(dialog.OutputLen->text(), "2");
  EXPECT_EQ(dialog.DevStrings->count(), 0);
  EXPECT_EQ(dialog.LangStrings->count(), 0);
}

TEST_F(InfoDeviceTest, NoDeviceOpensNothing) {
  bool ran = false;
  ShowDeviceInfo(nullptr, nullptr, [&](TInfoForm&) {
    ran = true;
    return 0;
  });
  EXPECT_FALSE(ran);
}

TEST_F(InfoDeviceTest, DeviceFreedWhileTheDialogIsOpen) {
  auto device = PlugAndClaim(BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  ShowDeviceInfo(nullptr, device.get(), [&](TInfoForm& dialog) {
    dialog.show();
    // The keyboard goes away and its owner frees the object, as the window
    // does on a device change, while the dialog stays open.
    bus.Unplug(plugged);
    controller->DeviceChange();
    device.reset();
    QApplication::processEvents();
    dialog.resize(700, 500);
    const QPixmap painted = dialog.grab();
    EXPECT_FALSE(painted.isNull());
    EXPECT_EQ(dialog.ProductName->text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(dialog.DevStrings->count(), 3);
    dialog.close();
    return 0;
  });
  EXPECT_EQ(device, nullptr);
}

}  // namespace
