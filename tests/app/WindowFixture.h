// The update window on the virtual HID bus, with a burner launcher that only
// records what would be started.
#pragma once

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/DevReader.h"
#include "hid/platform/virtual/VirtualHidBus.h"
#include "tests/app/EmulatedDevices.h"

namespace apptest {

struct LaunchCall {
  QString program;
  QString argument;
};

class RecordingLauncher : public BurnerLauncher {
 public:
  RecordingLauncher(std::vector<LaunchCall>& launches, bool& fail)
      : launches_(launches), fail_(fail) {}
  LaunchResult Launch(const QString& program, const QString& argument) override {
    launches_.push_back({program, argument});
    if (fail_) return {false, QStringLiteral("No such file or directory")};
    return {true, {}};
  }

 private:
  std::vector<LaunchCall>& launches_;
  bool& fail_;
};

class WindowTest : public testing::Test {
 protected:
  ~WindowTest() override {
    form.reset();  // gives the claimed devices back before the bus goes
  }

  // Creates the window; its first device change runs once the loop runs.
  void Create() {
    form = std::make_unique<TbootloaderFORM>(
        std::make_unique<RecordingLauncher>(launches, failLaunch));
    QObject::connect(form.get(), &TbootloaderFORM::DeviceChangeHandled, [this] { ++changes; });
  }

  // Shows the window and waits for its first device change.
  void ShowAndWait() {
    form->show();
    ASSERT_TRUE(WaitForChanges(1));
  }

  void Open() {
    Create();
    ShowAndWait();
  }

  // Runs the main loop until n device changes were handled in all.
  bool WaitForChanges(int n) {
    return QTest::qWaitFor([&] { return changes >= n; }, 10000);
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
  static void HoldTimer(QTimer& timer) { timer.setInterval(kHeldInterval); }

  // Lets a held, running timer fire now, through the main loop as it would
  // by itself, and holds it again. False when it was not running or did not
  // fire.
  static bool FireTimer(QTimer& timer) {
    if (!timer.isActive()) return false;
    QSignalSpy fired(&timer, &QTimer::timeout);
    timer.setInterval(0);
    const bool ok = fired.wait(10000);
    timer.setInterval(kHeldInterval);
    return ok;
  }

  QStringList History() const {
    QStringList lines;
    for (int i = 0; i < form->HistoryListBox->count(); ++i)
      lines << form->HistoryListBox->item(i)->text();
    return lines;
  }

  static QColor TextColor(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
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
  std::vector<LaunchCall> launches;
  bool failLaunch = false;
  int changes = 0;
  std::unique_ptr<TbootloaderFORM> form;
};

inline const QColor kRed(255, 0, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kGreen(0, 128, 0);

}  // namespace apptest
