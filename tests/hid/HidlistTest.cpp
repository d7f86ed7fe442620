#include <gtest/gtest.h>

#include <sstream>

#include "tests/hid/HidTestSupport.h"
#include "tools/hidlist/HidList.h"

namespace hidtest {
namespace {

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

TEST(Hidlist, OneLinePerInterfaceWithLengthsPathInstanceAndAccess) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope(bus);
  auto twoCollections = SimpleDeviceModel::VendorDescriptor(9, 64, 64);
  auto keys = SimpleDeviceModel::VendorDescriptor(1, 8, 1, 0x01, 0x06);
  twoCollections.insert(twoCollections.end(), keys.begin(), keys.end());
  const auto kb = bus.Plug(MakeModel(0x2C7A, 0x5B1D, twoCollections, u"Touch Keyboard \u00e4"));
  const auto loader =
      bus.Plug(MakeModel(0x04D9, 0x8022, {}, u"Loader"), {.readWriteAccess = false});
  std::ostringstream out, err;
  EXPECT_EQ(hidlist::ListInterfaces(out, err), 0);
  const auto kbPaths = bus.InterfacesOf(kb);
  const std::string loaderPath = bus.InterfacesOf(loader).at(0).path;
  const std::string keyboard = "Device VID=2C7A PID=5B1D VER=0105  \"Touch Keyboard \xc3\xa4\"  ";
  EXPECT_EQ(out.str(),
            keyboard + "in=65 out=65 feature=0  " + kbPaths.at(0).path + "  instance=" + Hex8(kb) +
                "  read-write\n" + keyboard + "in=9 out=2 feature=0  " + kbPaths.at(1).path +
                "  instance=" + Hex8(kb + 1) + "  read-write\n" +
                "Device VID=04D9 PID=8022 VER=0105  \"Loader\"  in=9 out=9 feature=0  " +
                loaderPath + "  instance=" + Hex8(loader) +
                "  query-only: permission denied (install the udev rule, see docs/linux.md)\n");
  EXPECT_TRUE(err.str().empty());
}

TEST(Hidlist, SaysWhenItFoundNothingOrCannotLook) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope(bus);
  std::ostringstream out, err;
  EXPECT_EQ(hidlist::ListInterfaces(out, err), 0);
  EXPECT_EQ(out.str(), "hidlist: found no HID interface.\n");
  bus.SetBindFailure(true, false);
  std::ostringstream out2, err2;
  EXPECT_EQ(hidlist::ListInterfaces(out2, err2), 1);
  EXPECT_TRUE(out2.str().empty());
  EXPECT_NE(err2.str().find("HID access is not available"), std::string::npos);
}

}  // namespace
}  // namespace hidtest
