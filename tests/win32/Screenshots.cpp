// Renders the Windows window in the states of an update, driven by devices on
// the virtual bus, to BMP files (as the Qt window's screenshots do): the
// client area as the screen shows it, in NotConnected, KeyboardReady,
// UpdateRequested, KeyboardGone, BootLoaderFound, and the information dialog
// for the keyboard's command interface (InfoDialog).
//
// Usage: kbupdate_screenshots_win32 OUTPUT_DIRECTORY
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/DevReader.h"
#include "app/info/Info.h"
#include "app/win32/Win32Form.h"
#include "app/win32/Win32Toolkit.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/support/Drive.h"
#include "tests/support/EmulatedDevices.h"

namespace {

using namespace std::chrono_literals;

class NoLaunch : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string&, const std::string&) override { return {true, {}}; }
};

// The client area's pixels (or the whole window's, frame included) as a
// bottom-up 24-bit BMP file.
bool SaveClientArea(HWND window, const std::filesystem::path& path, bool withFrame = false) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  RECT area{};
  if (withFrame) {
    GetWindowRect(window, &area);
    OffsetRect(&area, -area.left, -area.top);
  } else {
    GetClientRect(window, &area);
  }
  const int width = area.right;
  const int height = area.bottom;
  HDC source = withFrame ? GetWindowDC(window) : GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  GdiFlush();
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageSize;
  info.bmiHeader.biSizeImage = imageSize;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), imageSize);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    return false;
  }
  std::printf("%s\n", path.string().c_str());
  return true;
}

HWND WindowOf(const ui::Form& form) {
  return dynamic_cast<const win32::Win32Form&>(form).Handle();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path directory(argv[1]);
  std::filesystem::create_directories(directory);

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend(bus);
  bus.Plug(apptest::MakeOtherDevice());
  win32::Win32Toolkit toolkit;
  auto form = std::make_unique<TbootloaderFORM>(toolkit, std::make_unique<NoLaunch>());
  int changes = 0;
  form->DeviceChangeHandled = [&] { ++changes; };
  form->Window().Show();
  auto waitFor = [&](const std::function<bool()>& condition, const char* what) {
    if (!testsupport::RunUntil(condition, 10s)) {
      std::fprintf(stderr, "timed out waiting for %s\n", what);
      std::exit(1);
    }
    testsupport::RunUntil([] { return false; }, 100ms);  // let the last repaint through
  };
  auto save = [&](const char* state) {
    return SaveClientArea(WindowOf(form->Window()), directory / (std::string(state) + ".bmp"));
  };
  waitFor([&] { return changes >= 1; }, "the first device change");
  bool ok = save("NotConnected");
  // Once with the frame: caption, border and close box.
  ok = SaveClientArea(WindowOf(form->Window()), directory / "NotConnected-frame.bmp", true) && ok;

  const std::uint32_t keyboard = bus.Plug(apptest::MakeKeyboard(6, 0x0105));
  waitFor([&] { return changes >= 2; }, "the keyboard");
  ok = save("KeyboardReady") && ok;

  // The dialog for the interface that takes the command reports (the
  // longest output report), while the keyboard is listed.
  {
    hid::THidDevice* commands = nullptr;
    int longest = -1;
    for (int index = 0; index < form->DeviceListCount(); ++index) {
      hid::THidDevice* device = form->DeviceOfEntry(index);
      if (device == nullptr) continue;
      hid::HIDP_CAPS caps;
      device->GetCapabilities(caps);
      if (caps.OutputReportByteLength > longest) {
        longest = caps.OutputReportByteLength;
        commands = device;
      }
    }
    TInfoForm dialog(toolkit, &form->Window());
    dialog.Device = commands;
    dialog.Window().Show();
    testsupport::RunUntil([] { return false; }, 200ms);
    ok = commands != nullptr &&
         SaveClientArea(WindowOf(dialog.Window()), directory / "InfoDialog.bmp") && ok;
    dialog.Window().Close();
  }

  testsupport::Click(*form->ColorBtn1);
  testsupport::RunUntil([] { return false; }, 100ms);
  ok = save("UpdateRequested") && ok;

  bus.Unplug(keyboard);
  waitFor([&] { return changes >= 3 && !form->Timer4->Enabled(); }, "the removal timer");
  ok = save("KeyboardGone") && ok;

  bus.Plug(apptest::MakeBootLoader());
  waitFor([&] { return changes >= 4; }, "the boot loader");
  ok = save("BootLoaderFound") && ok;
  form.reset();
  return ok ? 0 : 1;
}
