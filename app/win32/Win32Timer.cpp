#include "app/win32/Win32Timer.h"

namespace win32 {

void Win32Timer::Start() {
  // SetTimer on a running id restarts its period.
  SetTimer(window_, id_, static_cast<UINT>(interval_.count()), nullptr);
}

void Win32Timer::SetInterval(std::chrono::milliseconds interval) {
  interval_ = interval;
  if (enabled_) Start();
}

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;  // a running timer keeps its period
  enabled_ = enabled;
  if (enabled) {
    Start();
  } else {
    KillTimer(window_, id_);
  }
}

}  // namespace win32
