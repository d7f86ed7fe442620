// The information dialog's tests: one emulated device on the virtual bus,
// claimed from a controller as the window claims its devices, and the
// dialog made by the platform's toolkit, shown through a ScriptedToolkit.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/SimpleDeviceModel.h"
#include "hid/HidControllerClass.h"
#include "hid/info/Info.h"
#include "hid/platform/virtual/VirtualHidBus.h"
#include "tests/support/TestToolkit.h"

namespace infotest {

using Lines = std::vector<std::string>;

inline Lines Items(const ui::ListBox& list) {
  Lines items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
  return items;
}

inline const ui::ControlSpec& Described(std::string_view name) {
  for (const ui::ControlSpec& spec : TInfoForm::ControlDescriptions()) {
    if (spec.name == name) return spec;
  }
  ADD_FAILURE() << "no control " << name;
  static const ui::ControlSpec none;
  return none;
}

inline emulator::DeviceIdentity BootLoaderIdentity() {
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

class InfoDeviceTest : public ::testing::Test {
 protected:
  ~InfoDeviceTest() override {
    device.reset();
    controller.reset();
  }

  std::unique_ptr<hid::THidDevice> PlugAndClaim(const emulator::DeviceIdentity& identity,
                                                hidplatform::VirtualPlugOptions options = {}) {
    plugged = bus.Plug(std::make_shared<emulator::SimpleDeviceModel>(identity), options);
    controller = std::make_unique<hid::THidDeviceController>();
    controller->DeviceChange();
    hid::THidDevice* claimed = nullptr;
    if (!controller->ClaimDeviceByIndex(claimed, 0)) return nullptr;
    return std::unique_ptr<hid::THidDevice>(claimed);
  }

  // A window to own the dialog, as the update window does.
  std::unique_ptr<ui::Form> MakeOwner() {
    return toolkit.MakeForm(
        {.name = "Owner", .caption = "owner", .clientWidth = 383, .clientHeight = 320}, nullptr);
  }

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend{bus};
  testsupport::ScriptedToolkit toolkit;
  std::uint32_t plugged = 0;
  std::unique_ptr<hid::THidDeviceController> controller;
  std::unique_ptr<hid::THidDevice> device;
};

}  // namespace infotest
