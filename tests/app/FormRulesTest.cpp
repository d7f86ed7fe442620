// The rules both front ends place, focus and guard by.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "ui/Anchors.h"
#include "ui/ClientArea.h"
#include "ui/HandlerGuard.h"

TEST(FormRules, AnchorsStretchMoveAndNeverGoBelowZero) {
  const ui::Rect list{10, 20, 100, 50};
  const unsigned all = ui::kAnchorLeft | ui::kAnchorTop | ui::kAnchorRight | ui::kAnchorBottom;
  const ui::Rect stretched = ui::AnchoredBounds(list, all, 30, 40);
  EXPECT_EQ(stretched.left, 10);
  EXPECT_EQ(stretched.width, 130);
  EXPECT_EQ(stretched.height, 90);
  const ui::Rect moved =
      ui::AnchoredBounds(list, ui::kAnchorTop | ui::kAnchorRight | ui::kAnchorBottom, 30, 40);
  EXPECT_EQ(moved.left, 40);
  EXPECT_EQ(moved.width, 100);
  EXPECT_EQ(moved.height, 90);
  // Shrunk past its size, a stretching control keeps an empty size, not a
  // negative one (the toolkits differ in what they make of that).
  const ui::Rect shrunk = ui::AnchoredBounds(list, all, -150, -80);
  EXPECT_EQ(shrunk.width, 0);
  EXPECT_EQ(shrunk.height, 0);
  EXPECT_FALSE(ui::FollowsResize(ui::kAnchorLeft | ui::kAnchorTop));
}

TEST(FormRules, OnlyControlsWhollyInsideTheClientAreaAreInside) {
  EXPECT_TRUE(ui::WhollyInsideClientArea({0, 0, 383, 320}, 383, 320));
  EXPECT_FALSE(ui::WhollyInsideClientArea({1, 0, 383, 320}, 383, 320));
  EXPECT_FALSE(ui::WhollyInsideClientArea({-1, 10, 20, 20}, 383, 320));
  EXPECT_FALSE(ui::WhollyInsideClientArea({608, 344, 257, 33}, 383, 320));
}

TEST(FormRules, AnEscapingExceptionIsReportedWithItsText) {
  std::string reported;
  const auto report = [&reported](std::string_view message) { reported = message; };
  EXPECT_TRUE(ui::RunGuarded([] {}, report));
  EXPECT_EQ(reported, "");
  EXPECT_FALSE(ui::RunGuarded([] { throw std::runtime_error("Cannot open the file"); }, report));
  EXPECT_EQ(reported, "Cannot open the file");
  EXPECT_FALSE(ui::RunGuarded([] { throw 42; }, report));
  EXPECT_EQ(reported, "Unexpected error");
}
