// The update window made from its form table on the Win32 toolkit: every
// control at the table's place, with the table's font, colour, item height and
// tab stop, as the Windows window shows it.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "app/DevReader.h"
#include "app/win32/Utf16.h"
#include "app/win32/Win32Form.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/win32/Win32TestSupport.h"

namespace {

class NoLaunch : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string&, const std::string&) override { return {true, {}}; }
};

TEST(Win32UpdateWindow, EveryControlStandsAsTheFormTableSays) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  TbootloaderFORM form(win32test::Toolkit(), std::make_unique<NoLaunch>());
  const auto& window = dynamic_cast<const win32::Win32Form&>(form.Window());
  RECT client{};
  GetClientRect(window.Handle(), &client);
  EXPECT_EQ(client.right, 383);
  EXPECT_EQ(client.bottom, 320);

  HDC dc = CreateCompatibleDC(nullptr);
  int checked = 0;
  for (const ui::ControlLayout& layout : TbootloaderFORM::ControlDescriptions()) {
    SCOPED_TRACE(layout.name);
    HWND control = win32test::HandleNamed(window, layout.name);
    ASSERT_NE(control, nullptr);
    ++checked;
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, layout.bounds.left);
    EXPECT_EQ(r.top, layout.bounds.top);
    if (!layout.sizeToContent) {
      EXPECT_EQ(r.right - r.left, layout.bounds.width);
      EXPECT_EQ(r.bottom - r.top, layout.bounds.height);
    }
    if (layout.resource.empty()) {  // a picture has no font
      const ui::Font& font = layout.font ? *layout.font : TbootloaderFORM::FormDescription().font;
      LOGFONTW logical{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof logical,
                 &logical);
      EXPECT_EQ(logical.lfHeight, -font.pixels);
      EXPECT_EQ(logical.lfWeight, font.bold ? FW_BOLD : FW_NORMAL);
      EXPECT_EQ(win32::Utf8FromUtf16(logical.lfFaceName), font.family);
    }
    if (layout.textColor) {
      SendMessageW(window.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control));
      EXPECT_EQ(GetTextColor(dc), win32::ColorRef(*layout.textColor));
    }
    if (layout.itemHeight > 0) {
      EXPECT_EQ(SendMessageW(control, LB_GETITEMHEIGHT, 0, 0), layout.itemHeight);
    }
    // Inside the client area a tab stop as the table says; outside none.
    RECT placed{};
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&placed), 2);
    const bool inside =
        placed.left >= 0 && placed.top >= 0 && placed.right <= 383 && placed.bottom <= 320;
    const bool tabStop = (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0;
    if (!inside) {
      EXPECT_FALSE(tabStop);
    } else if (!layout.tabStop) {
      EXPECT_FALSE(tabStop);
    }
  }
  DeleteDC(dc);
  EXPECT_GE(checked, 30);
}

}  // namespace
