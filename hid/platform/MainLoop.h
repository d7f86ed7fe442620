// The main loop the HID layer runs on. The controller's device-change
// notifications, its first scan and a reader's hand-overs reach the main
// thread only through this seam, so the layer needs no toolkit: the Qt front
// end provides one on Qt's loop, and NativeMainLoop is the platform's own
// (the message loop on Windows), which console programs and tests run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace hidplatform {

// What a loop can watch: a file descriptor on POSIX systems, a waitable
// handle on Windows.
using NotificationSource = std::intptr_t;

// Ends a watch when destroyed.
class SourceWatch {
 public:
  virtual ~SourceWatch() = default;
};

class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Queues the task to run on the main thread after what is queued already;
  // callable from any thread, never runs the task before returning.
  virtual void Post(std::function<void()> task) = 0;
  // Calls onReady on the main thread whenever the source is ready (readable,
  // signalled) until the watch is destroyed. Made on the main thread.
  virtual std::unique_ptr<SourceWatch> Watch(NotificationSource source,
                                             std::function<void()> onReady) = 0;
};

// The loop in use: the one installed by ScopedMainLoop or UseMainLoop, else
// the platform's own (NativeMainLoop::Instance()).
MainLoop& CurrentMainLoop();
// Makes the loop the current one for the rest of the process (front ends).
void UseMainLoop(MainLoop& loop);

class ScopedMainLoop {
 public:
  explicit ScopedMainLoop(MainLoop& loop);
  ~ScopedMainLoop();
  ScopedMainLoop(const ScopedMainLoop&) = delete;
  ScopedMainLoop& operator=(const ScopedMainLoop&) = delete;

 private:
  MainLoop* previous_;
};

}  // namespace hidplatform
