// The Windows backend on the system it runs on (under Wine here): binding,
// the HID class, enumeration, and the asynchronous read machinery on a pipe.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>
#include <setupapi.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include "hid/platform/Hid.h"
#include "hid/platform/NativeMainLoop.h"
#include "hid/platform/SetupApi.h"
#include "hid/platform/windows/WindowsHidBackend.h"

namespace hidplatform {
namespace {

TEST(WindowsBackend, BindsBothLibrariesAndEnumeratesWhatThePlatformHas) {
  WindowsHidBackend backend{WindowsHidBackend::Options{}};
  EXPECT_EQ(backend.HidGuid(), "");
  ASSERT_TRUE(backend.BindEnumeration());
  ASSERT_TRUE(backend.BindHidAccess());
  EXPECT_EQ(backend.HidGuid(), "{4D1E55B2-F16F-11CF-88CB-001111000030}");
  std::vector<InterfaceEntry> entries;
  ASSERT_TRUE(backend.EnumerateInterfaces(entries));
  for (const auto& entry : entries) {
    EXPECT_EQ(entry.path.rfind("\\\\?\\", 0), 0u) << entry.path;
    const Handle handle = backend.Open(entry.path, Access::kQueryOnly);
    if (handle == kInvalidHandle) continue;
    Attributes attributes;
    EXPECT_TRUE(backend.GetAttributes(handle, attributes)) << entry.path;
    backend.Close(handle);
  }
  EXPECT_EQ(backend.Open("\\\\?\\hid#no_such_device", Access::kReadWrite), kInvalidHandle);
  EXPECT_NE(backend.LastError(), 0u);
  backend.ReleaseHidAccess();
  EXPECT_EQ(backend.HidGuid(), "");
}

// The controller tells arrivals from removals by the device instance: it
// must stay with its interface whatever else the system enumerates, as
// Windows' own does. Wine numbers the devices of each set from 0, so a set
// held open here shifts them.
TEST(WindowsBackend, AnInterfaceKeepsItsInstanceWhateverElseIsEnumerated) {
  WindowsHidBackend backend{WindowsHidBackend::Options{}};
  ASSERT_TRUE(backend.BindEnumeration());
  ASSERT_TRUE(backend.BindHidAccess());
  std::vector<InterfaceEntry> first;
  ASSERT_TRUE(backend.EnumerateInterfaces(first));
  ASSERT_FALSE(first.empty()) << "this system lists no HID interface to test with";

  const GUID hidClass{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  const HDEVINFO held =
      SetupDiGetClassDevsA(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA heldData{};
  heldData.cbSize = sizeof heldData;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(held, i, &heldData); ++i) {
  }
  std::vector<InterfaceEntry> second;
  const bool listed = backend.EnumerateInterfaces(second);
  SetupDiDestroyDeviceInfoList(held);
  ASSERT_TRUE(listed);

  std::set<std::uint32_t> distinct;
  for (const InterfaceEntry& entry : first) {
    distinct.insert(entry.deviceInstance);
    for (const InterfaceEntry& again : second) {
      if (again.path == entry.path) {
        EXPECT_EQ(again.deviceInstance, entry.deviceInstance) << entry.path;
      }
    }
  }
  EXPECT_EQ(distinct.size(), first.size());
  backend.ReleaseHidAccess();
}

// kbctl.exe over ssh, or under Wine without a display, where no top-level
// window can be made: the changes still reach a message-only window.
TEST(WindowsBackend, DeviceChangesAreHeardWithoutADisplay) {
  WindowsHidBackend backend{WindowsHidBackend::Options{}};
  int changes = 0;
  auto watch = backend.WatchChanges(NativeMainLoop::Instance(), [&] { ++changes; });
  ASSERT_NE(watch, nullptr);
  HWND window = FindWindowExA(HWND_MESSAGE, nullptr, "kbDeviceChangeWindow", nullptr);
  if (window == nullptr) window = FindWindowA("kbDeviceChangeWindow", nullptr);
  ASSERT_NE(window, nullptr);
  DEV_BROADCAST_DEVICEINTERFACE_A arrival{};
  arrival.dbcc_size = sizeof arrival;
  arrival.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&arrival));
  NativeMainLoop::Instance().RunOnce(std::chrono::milliseconds(0));
  EXPECT_EQ(changes, 1);
}

TEST(WindowsBackend, ALibraryWithoutOneEntryPointDoesNotBindAtAll) {
  // kernel32 exists but has none of the names: all or nothing.
  WindowsHidBackend backend{{"kernel32.dll", "kernel32.dll"}};
  EXPECT_FALSE(backend.BindEnumeration());
  EXPECT_FALSE(backend.BindHidAccess());
  std::vector<InterfaceEntry> entries;
  EXPECT_FALSE(backend.EnumerateInterfaces(entries));
  Attributes attributes;
  EXPECT_FALSE(backend.GetAttributes(kInvalidHandle, attributes));

  // Through the binding units, the failure takes no reference.
  ScopedBackend scope(backend);
  EXPECT_FALSE(BindSetupApi());
  EXPECT_EQ(SetupApiRefCount(), 0);
  EXPECT_FALSE(BindHid());
  EXPECT_FALSE(IsHidBound());

  WindowsHidBackend missing{{"no-such-setup.dll", "no-such-hid.dll"}};
  EXPECT_FALSE(missing.BindEnumeration());
  EXPECT_FALSE(missing.BindHidAccess());
}

// An overlapped pipe stands in for a device: the same ReadFileEx, alertable
// waits and cancel as on an interface handle.
struct Pipe {
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE client = INVALID_HANDLE_VALUE;
  Pipe() {
    const std::string name =
        "\\\\.\\pipe\\kb-backend-test-" + std::to_string(GetCurrentProcessId());
    server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 64, 64, 0, nullptr);
    client = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~Pipe() {
    if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
  }
  Handle Server() const { return reinterpret_cast<Handle>(server); }
  void Send(const char* text) const {
    DWORD written = 0;
    WriteFile(client, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  }
};

TEST(WindowsBackend, ReadsCompleteInAnAlertableWaitAndCanBeAbandoned) {
  WindowsHidBackend backend{WindowsHidBackend::Options{}};
  Pipe pipe;
  ASSERT_NE(pipe.server, INVALID_HANDLE_VALUE);
  ASSERT_NE(pipe.client, INVALID_HANDLE_VALUE);
  std::uint8_t buffer[16] = {};
  std::uint32_t bytes = 0;

  ASSERT_TRUE(backend.StartRead(pipe.Server(), buffer, sizeof buffer));
  EXPECT_FALSE(backend.StartRead(pipe.Server(), buffer, sizeof buffer));  // one at a time
  EXPECT_EQ(backend.WaitRead(pipe.Server(), 10), WaitResult::kTimedOut);
  EXPECT_FALSE(backend.GetReadResult(pipe.Server(), bytes));
  pipe.Send("hello");
  WaitResult result = WaitResult::kTimedOut;
  for (int slice = 0; slice < 500 && result == WaitResult::kTimedOut; ++slice) {
    result = backend.WaitRead(pipe.Server(), 10);
  }
  ASSERT_EQ(result, WaitResult::kCompleted);
  ASSERT_TRUE(backend.GetReadResult(pipe.Server(), bytes));
  EXPECT_EQ(bytes, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), bytes), "hello");

  // Cancelled: the read ends with the platform's "aborted" and takes no data.
  ASSERT_TRUE(backend.StartRead(pipe.Server(), buffer, sizeof buffer));
  EXPECT_TRUE(backend.CancelRead(pipe.Server()));
  EXPECT_EQ(backend.WaitRead(pipe.Server(), 0), WaitResult::kCompleted);
  EXPECT_FALSE(backend.GetReadResult(pipe.Server(), bytes));
  EXPECT_EQ(backend.LastError(), static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));

  // Closed under an outstanding read: the wait ends, the result fails, and
  // the late completion finds its record still there.
  ASSERT_TRUE(backend.StartRead(pipe.Server(), buffer, sizeof buffer));
  backend.Close(pipe.Server());
  EXPECT_EQ(backend.WaitRead(pipe.Server(), 10), WaitResult::kCompleted);
  EXPECT_FALSE(backend.GetReadResult(pipe.Server(), bytes));
  SleepEx(50, TRUE);
}

}  // namespace
}  // namespace hidplatform
