// Device-change message constants. The controller keeps the message form of
// its notification so that every backend's change signal reads the same.
#pragma once

#include <cstdint>

namespace hidplatform {

inline constexpr std::uint32_t WM_DEVICECHANGE = 0x219;
inline constexpr std::uint32_t DBT_DEVNODES_CHANGED = 7;
// Answered by the controller's notification receiver with 1 (the session may end).
inline constexpr std::uint32_t WM_QUERYENDSESSION = 0x11;

}  // namespace hidplatform
