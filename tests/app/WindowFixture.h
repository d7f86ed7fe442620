// The update window on the virtual HID bus, with a burner launcher that only
// records what would be started. Drives the window only through the ui
// interfaces, so the same tests run on every front end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/DevReader.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "tests/support/Drive.h"
#include "tests/support/EmulatedDevices.h"
#include "tests/support/TestToolkit.h"

namespace apptest {

struct LaunchCall {
  std::string program;
  std::string argument;
};

class RecordingLauncher : public BurnerLauncher {
 public:
  RecordingLauncher(std::vector<LaunchCall>& launches, bool& fail)
      : launches_(launches), fail_(fail) {}
  LaunchResult Launch(const std::string& program, const std::string& argument) override {
    launches_.push_back({program, argument});
    if (fail_) return {false, "No such file or directory"};
    return {true, {}};
  }

 private:
  std::vector<LaunchCall>& launches_;
  bool& fail_;
};

using Lines = std::vector<std::string>;

class WindowTest : public testing::Test {
 protected:
  ~WindowTest() override {
    form.reset();  // gives the claimed devices back before the bus goes
  }

  // Creates the window; its first device change runs once the loop runs.
  void Create() {
    form = std::make_unique<TbootloaderFORM>(
        toolkit, std::make_unique<RecordingLauncher>(launches, failLaunch));
    form->DeviceChangeHandled = [this] { ++changes; };
  }

  // Shows the window and waits for its first device change.
  void ShowAndWait() {
    form->Window().Show();
    ASSERT_TRUE(WaitForChanges(1));
  }

  void Open() {
    Create();
    ShowAndWait();
  }

  // Runs the main loop until the condition holds; false after the limit.
  bool WaitFor(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return testsupport::RunUntil(condition, limit);
  }
  // Runs the main loop for a while.
  void Pump(std::chrono::milliseconds duration) {
    testsupport::RunUntil([] { return false; }, duration);
  }

  // Runs the main loop until n device changes were handled in all.
  bool WaitForChanges(int n) {
    return WaitFor([&] { return changes >= n; });
  }

  // Plugs a model and waits until the window has handled the change.
  std::uint32_t PlugAndWait(std::shared_ptr<emulator::DeviceModel> model,
                            hidplatform::VirtualPlugOptions options = {}) {
    const int before = changes;
    const std::uint32_t id = bus.Plug(std::move(model), options);
    EXPECT_TRUE(WaitForChanges(before + 1));
    return id;
  }

  void UnplugAndWait(std::uint32_t id) {
    const int before = changes;
    bus.Unplug(id);
    EXPECT_TRUE(WaitForChanges(before + 1));
  }

  // Keeps one of the window's timers from firing by itself, so that the state
  // it leaves behind is seen however slow the machine; FireTimer runs it.
  static void HoldTimer(ui::Timer& timer) { timer.SetInterval(kHeldInterval); }

  // Lets a held, running timer fire now, through the main loop as it would
  // by itself, and holds it again. False when it was not running or did not
  // fire.
  bool FireTimer(ui::Timer& timer) {
    if (!timer.Enabled()) return false;
    std::function<void()> handler = timer.OnTimer;
    bool fired = false;
    timer.OnTimer = [&] {
      if (fired) return;
      fired = true;
      timer.SetInterval(kHeldInterval);  // before the handler, which may stop it
      if (handler) handler();
    };
    timer.SetInterval(std::chrono::milliseconds(0));
    const bool ok = WaitFor([&] { return fired; });
    timer.OnTimer = handler;
    timer.SetInterval(kHeldInterval);
    return ok;
  }

  Lines History() const {
    Lines lines;
    for (int i = 0; i < form->HistoryListBox->Count(); ++i)
      lines.push_back(form->HistoryListBox->Item(i));
    return lines;
  }

  bool HistoryContains(const std::string& line) const {
    const Lines lines = History();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // The reports written since the last call, as (interface path, bytes).
  std::vector<hidplatform::VirtualHidBus::WrittenReport> TakeWrites() {
    auto written = bus.WrittenReports();
    bus.ClearWrittenReports();
    return written;
  }

  static constexpr std::chrono::hours kHeldInterval{1};

  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend backend{bus};
  testsupport::ScriptedToolkit toolkit;
  std::vector<LaunchCall> launches;
  bool failLaunch = false;
  int changes = 0;
  std::unique_ptr<TbootloaderFORM> form;
};

}  // namespace apptest
