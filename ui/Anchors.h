// Where an anchored control goes when its parent's client area grows or
// shrinks: the one rule both front ends place controls by.
#pragma once

#include <algorithm>

#include "ui/Controls.h"

namespace ui {

// The control's rectangle for a client area that is extraWidth and
// extraHeight larger (negative: smaller) than the one it was laid out in.
// Anchored to both edges of an axis, it stretches (never below zero);
// anchored to the far edge only, it moves; otherwise it stays.
inline Rect AnchoredBounds(const Rect& designed, unsigned anchors, int extraWidth,
                           int extraHeight) {
  Rect placed = designed;
  const bool left = (anchors & kAnchorLeft) != 0;
  const bool right = (anchors & kAnchorRight) != 0;
  const bool top = (anchors & kAnchorTop) != 0;
  const bool bottom = (anchors & kAnchorBottom) != 0;
  if (left && right) {
    placed.width = std::max(0, placed.width + extraWidth);
  } else if (right) {
    placed.left += extraWidth;
  }
  if (top && bottom) {
    placed.height = std::max(0, placed.height + extraHeight);
  } else if (bottom) {
    placed.top += extraHeight;
  }
  return placed;
}

// Whether a control moves or resizes with its parent at all.
inline bool FollowsResize(unsigned anchors) {
  return anchors != (kAnchorLeft | kAnchorTop);
}

}  // namespace ui
