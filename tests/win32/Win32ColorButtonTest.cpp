// TColorBtn as the owner-drawn button of the Windows window: the pixels the
// painting steps give with GDI's own frame, and the button's behaviour.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "app/win32/Win32Form.h"
#include "tests/win32/Win32TestSupport.h"

namespace {

struct ButtonWindow {
  explicit ButtonWindow(bool frame3D = false) {
    ui::FormLayout layout;
    layout.caption = "ColorBtn";
    layout.clientWidth = 200;
    layout.clientHeight = 100;
    layout.font = {"MS Sans Serif", 13, false};
    form = win32test::Toolkit().MakeForm(layout, nullptr);
    ui::ControlLayout control;
    control.name = "ColorBtn1";
    control.bounds = {10, 10, 120, 40};
    control.caption = "Update";
    control.font = ui::Font{"Arial", 20, false};
    control.tabStop = false;
    control.frame3D = frame3D;
    button = &Form().AddColorButton(control);
    Form().Show();
  }
  win32::Win32Form& Form() const { return dynamic_cast<win32::Win32Form&>(*form); }
  HWND Handle() const { return Form().HandleOf(*button); }
  win32test::Rendering Render() const { return win32test::Rendering(Handle()); }

  std::unique_ptr<ui::Form> form;
  ui::ColorButton* button = nullptr;
};

COLORREF Sys(int index) {
  return GetSysColor(index);
}

constexpr COLORREF kRed = RGB(255, 0, 0);
const RECT kInterior{2, 2, 118, 38};

TEST(Win32ColorButton, UpFaceIsTheButtonColourInThePlatformFrameWithTheCaptionCentred) {
  ButtonWindow w;
  EXPECT_TRUE(GetWindowLongW(w.Handle(), GWL_STYLE) & BS_OWNERDRAW);
  EXPECT_EQ(w.button->ButtonColor(), clBtnFace);
  const win32test::Rendering plain = w.Render();
  EXPECT_EQ(plain.Pixel(3, 3), Sys(COLOR_BTNFACE));

  w.button->SetButtonColor(clRed);
  const win32test::Rendering up = w.Render();
  // DrawFrameControl's raised push-button frame, two pixels wide.
  EXPECT_EQ(up.Pixel(0, 0), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(up.Pixel(119, 39), Sys(COLOR_3DDKSHADOW));
  EXPECT_EQ(up.Pixel(118, 38), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(up.Pixel(2, 2), kRed);
  EXPECT_EQ(up.Pixel(117, 37), kRed);
  // The caption in the button text colour, centred by the measured size.
  EXPECT_TRUE(up.Has(kInterior, Sys(COLOR_BTNTEXT)));
  const RECT ink = up.InkBox(kInterior, kRed);
  ASSERT_LT(ink.left, ink.right);
  EXPECT_LE(std::abs((ink.left + ink.right) - 120), 4);
  EXPECT_LE(std::abs((ink.top + ink.bottom) - 40), 6);
}

TEST(Win32ColorButton, PressedShowsTheShadowOutlineAndMovesTheCaption) {
  ButtonWindow w;
  w.button->SetButtonColor(clRed);
  const RECT upInk = w.Render().InkBox(kInterior, kRed);
  SendMessageW(w.Handle(), BM_SETSTATE, TRUE, 0);
  const win32test::Rendering down = w.Render();
  SendMessageW(w.Handle(), BM_SETSTATE, FALSE, 0);
  // Without Frame3D: a one-pixel shadow outline around a flat face.
  EXPECT_EQ(down.Pixel(0, 0), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(down.Pixel(119, 39), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(down.Pixel(1, 1), kRed);
  EXPECT_EQ(down.Pixel(118, 38), kRed);
  const RECT downInk = down.InkBox(RECT{1, 1, 119, 39}, kRed);
  EXPECT_EQ(downInk.left, upInk.left + 1);
  EXPECT_EQ(downInk.top, upInk.top + 1);
  EXPECT_EQ(downInk.right - downInk.left, upInk.right - upInk.left);

  // With Frame3D the pushed platform frame stands inside the outline.
  ButtonWindow framed(true);
  framed.button->SetButtonColor(clRed);
  SendMessageW(framed.Handle(), BM_SETSTATE, TRUE, 0);
  const win32test::Rendering down3D = framed.Render();
  EXPECT_EQ(down3D.Pixel(0, 0), Sys(COLOR_BTNSHADOW));
  EXPECT_NE(down3D.Pixel(1, 1), kRed);
  EXPECT_EQ(down3D.Pixel(4, 4), kRed);
}

TEST(Win32ColorButton, DisabledKeepsItsFaceAndEngravesTheCaption) {
  ButtonWindow w;
  w.button->SetButtonColor(clBlue);
  w.button->SetEnabled(false);
  const win32test::Rendering disabled = w.Render();
  EXPECT_EQ(disabled.Pixel(3, 3), RGB(0, 0, 255));
  EXPECT_TRUE(disabled.Has(kInterior, Sys(COLOR_BTNHIGHLIGHT)));
  EXPECT_TRUE(disabled.Has(kInterior, Sys(COLOR_BTNSHADOW)));
  EXPECT_FALSE(disabled.Has(kInterior, Sys(COLOR_BTNTEXT)));
}

TEST(Win32ColorButton, FocusGivesTheFrameOutlineAndTheDottedRectangle) {
  ButtonWindow w;
  w.button->SetButtonColor(clRed);
  SetForegroundWindow(w.Form().Handle());
  SetFocus(w.Handle());
  ASSERT_EQ(GetFocus(), w.Handle());
  const win32test::Rendering focused = w.Render();
  EXPECT_EQ(focused.Pixel(0, 0), Sys(COLOR_WINDOWFRAME));
  EXPECT_EQ(focused.Pixel(119, 39), Sys(COLOR_WINDOWFRAME));
  // DrawFocusRect's dotted rectangle four pixels inside the edge: every
  // second pixel inverted (which of the two comes first is the platform's).
  EXPECT_EQ(focused.Pixel(3, 4), kRed);
  EXPECT_NE(focused.Pixel(4, 4), focused.Pixel(5, 4));
  EXPECT_TRUE(focused.Pixel(4, 4) == RGB(0, 255, 255) || focused.Pixel(5, 4) == RGB(0, 255, 255));
}

TEST(Win32ColorButton, RepaintsOnlyForANewColourAndDoubleClicksPressTwice) {
  ButtonWindow w;
  ValidateRect(w.Handle(), nullptr);
  w.button->SetButtonColor(clBtnFace);
  EXPECT_FALSE(GetUpdateRect(w.Handle(), nullptr, FALSE));
  w.button->SetButtonColor(clRed);
  EXPECT_TRUE(GetUpdateRect(w.Handle(), nullptr, FALSE));

  int clicks = 0;
  int moves = 0;
  w.button->OnClick = [&] { ++clicks; };
  w.button->OnMouseMove = [&] { ++moves; };
  const LPARAM at = MAKELPARAM(40, 15);
  SendMessageW(w.Handle(), WM_MOUSEMOVE, 0, at);
  // The system's repeat of a move where the pointer rests is no movement.
  SendMessageW(w.Handle(), WM_MOUSEMOVE, 0, at);
  SendMessageW(w.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(w.Handle(), WM_LBUTTONUP, 0, at);
  SendMessageW(w.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(w.Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(moves, 1);
}

}  // namespace

namespace {

TEST(Win32ColorButton, At144DpiFrameOutlineOffsetsAndFocusRectangleAreOneAndAHalfTimesWider) {
  ButtonWindow w;
  // As Windows tells a per-monitor aware window that moved to a 144-DPI
  // monitor (Wine never does), with the rectangle it suggests.
  RECT suggested{};
  GetWindowRect(w.Form().Handle(), &suggested);
  suggested.right += 100;
  suggested.bottom += 50;
  SendMessageW(w.Form().Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  RECT now{};
  GetWindowRect(w.Form().Handle(), &now);
  EXPECT_EQ(now.right - now.left, suggested.right - suggested.left);
  w.button->SetButtonColor(clRed);
  const win32test::Rendering up = w.Render();
  ASSERT_EQ(up.Width(), 180);
  ASSERT_EQ(up.Height(), 60);
  // The platform's two rings, each two pixels wide, in its own colours.
  for (int i : {0, 1}) {
    EXPECT_EQ(up.Pixel(i, i), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(up.Pixel(179 - i, 59 - i), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(up.Pixel(177 - i, 57 - i), Sys(COLOR_BTNSHADOW));
  }
  EXPECT_NE(up.Pixel(3, 3), kRed);
  EXPECT_EQ(up.Pixel(4, 4), kRed);
  EXPECT_EQ(up.Pixel(175, 55), kRed);

  SetForegroundWindow(w.Form().Handle());
  SetFocus(w.Handle());
  ASSERT_EQ(GetFocus(), w.Handle());
  const win32test::Rendering focused = w.Render();
  EXPECT_EQ(focused.Pixel(1, 1), Sys(COLOR_WINDOWFRAME));
  EXPECT_EQ(focused.Pixel(178, 58), Sys(COLOR_WINDOWFRAME));
  // The dotted rectangle six pixels in (four at 96 DPI), two dotted lines deep.
  EXPECT_NE(focused.Pixel(5, 9), kRed);  // the frame, two pixels further in
  EXPECT_EQ(focused.Pixel(8, 9), kRed);
  for (int y : {6, 7}) {
    SCOPED_TRACE(y);
    EXPECT_NE(focused.Pixel(20, y), focused.Pixel(21, y));
    EXPECT_TRUE(focused.Pixel(20, y) == RGB(0, 255, 255) ||
                focused.Pixel(21, y) == RGB(0, 255, 255));
  }
}

}  // namespace
