// What the window's start-up benchmark needs of the front end it runs on:
// its toolkit (with the application object behind it) and the process's
// memory. One small source per front end makes them, so the benchmark
// itself is one source for every window.
#pragma once

#include <memory>

#include "ui/Toolkit.h"

namespace bench {

class BenchPlatform {
 public:
  virtual ~BenchPlatform() = default;
  virtual ui::Toolkit& Toolkit() = 0;
  // "Qt (offscreen)", "Win32".
  virtual const char* Name() const = 0;
  // The memory the process holds now: the resident set on Linux, the
  // working set on Windows; -1 when unknown.
  virtual long ResidentKiB() const = 0;
  // The floor any window of this front end pays: a bare top-level window of
  // that client size, made, shown and given one pass of the event loop, in
  // milliseconds (from before the window is made to the end of that pass).
  virtual double BareWindowMilliseconds(int clientWidth, int clientHeight) = 0;
};

// Made once, on the main thread, before any window.
std::unique_ptr<BenchPlatform> MakeBenchPlatform(int& argc, char** argv);

}  // namespace bench
