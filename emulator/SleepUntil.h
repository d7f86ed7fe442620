// Sleeps until a point of the steady clock, to within a few microseconds on
// every platform. The emulated links keep their rate only if their sleeps do:
// with mingw-w64, std::this_thread::sleep_until sleeps whole milliseconds,
// truncated (a wait of 0.7 ms returns at once), so the rest is yielded away.
#pragma once

#include <chrono>
#include <thread>

namespace emulator {

inline void SleepUntil(std::chrono::steady_clock::time_point until) {
  std::this_thread::sleep_until(until);
  while (std::chrono::steady_clock::now() < until) std::this_thread::yield();
}

}  // namespace emulator
