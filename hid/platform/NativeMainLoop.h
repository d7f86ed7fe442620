// The platform's own main loop: poll() over the watched descriptors on Linux,
// the thread's message loop on Windows (so the hidden device-change window
// and any other window of the thread get their messages while it runs).
// Console programs, benchmarks and tests run it; the first use must be on
// the main thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "hid/platform/MainLoop.h"

namespace hidplatform {

class NativeMainLoop : public MainLoop {
 public:
  static NativeMainLoop& Instance();

  NativeMainLoop();
  ~NativeMainLoop() override;
  NativeMainLoop(const NativeMainLoop&) = delete;
  NativeMainLoop& operator=(const NativeMainLoop&) = delete;

  void Post(std::function<void()> task) override;
  std::unique_ptr<SourceWatch> Watch(NotificationSource source,
                                     std::function<void()> onReady) override;

  // Waits up to the given time for something to do, then does all of it:
  // queued tasks, ready sources, window messages.
  void RunOnce(std::chrono::milliseconds wait);
  // Runs until done() holds; false when the limit passed first.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace hidplatform
