// The Windows backend's device-change window, driven with the messages the
// platform sends it. It is a top-level window, so the test needs a display
// under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <chrono>
#include <cstring>

#include "hid/platform/NativeMainLoop.h"
#include "hid/platform/windows/WindowsHidBackend.h"

namespace hidplatform {
namespace {

BOOL CALLBACK KeepIfDeviceChangeWindow(HWND window, LPARAM result) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, "kbDeviceChangeWindow") != 0) return TRUE;
  *reinterpret_cast<HWND*>(result) = window;
  return FALSE;
}

HWND DeviceChangeWindowOfThisThread() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &KeepIfDeviceChangeWindow,
                    reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST(WindowsDeviceChange, ABurstOfInterfaceEventsIsOneChange) {
  WindowsHidBackend backend{WindowsHidBackend::Options{}};
  NativeMainLoop& loop = NativeMainLoop::Instance();
  int changes = 0;
  auto watch = backend.WatchChanges(loop, [&] { ++changes; });
  ASSERT_NE(watch, nullptr);
  const HWND window = DeviceChangeWindowOfThisThread();
  ASSERT_NE(window, nullptr);
  auto send = [&](WPARAM event, const void* data) {
    SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(data));
  };
  auto runLoop = [&] { loop.RunOnce(std::chrono::milliseconds(0)); };

  // What Wine sends: an interface arrival alone.
  DEV_BROADCAST_DEVICEINTERFACE_A hid{};
  hid.dbcc_size = sizeof hid;
  hid.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  send(DBT_DEVICEARRIVAL, &hid);
  EXPECT_EQ(changes, 0);  // told once the loop runs, not inside the burst
  runLoop();
  EXPECT_EQ(changes, 1);

  // What Windows sends for a plug and an unplug: one change.
  send(DBT_DEVICEARRIVAL, &hid);
  send(DBT_DEVNODES_CHANGED, nullptr);
  send(DBT_DEVICEREMOVECOMPLETE, &hid);
  runLoop();
  EXPECT_EQ(changes, 2);
  send(DBT_DEVNODES_CHANGED, nullptr);
  runLoop();
  EXPECT_EQ(changes, 3);

  // A volume is no device of ours.
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  send(DBT_DEVICEARRIVAL, &volume);
  send(DBT_DEVICEARRIVAL, nullptr);
  runLoop();
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);

  // A change noted just before the watch ends is not told after it.
  send(DBT_DEVICEARRIVAL, &hid);
  watch.reset();
  EXPECT_EQ(DeviceChangeWindowOfThisThread(), nullptr);
  runLoop();
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace hidplatform
