// ui::Timer as a timer of the message loop (SetTimer on its form's window).
#pragma once

#include <windows.h>

#include <chrono>

#include "ui/Controls.h"

namespace win32 {

class Win32Timer : public ui::Timer {
 public:
  Win32Timer(HWND window, UINT_PTR id, std::chrono::milliseconds interval)
      : window_(window), id_(id), interval_(interval) {}
  ~Win32Timer() override { SetEnabled(false); }
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  void SetInterval(std::chrono::milliseconds interval) override;
  std::chrono::milliseconds Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  UINT_PTR Id() const { return id_; }

 private:
  void Start();

  HWND window_;
  UINT_PTR id_;
  std::chrono::milliseconds interval_;
  bool enabled_ = false;
};

}  // namespace win32
