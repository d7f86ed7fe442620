// Holds Ctrl-C back while a step runs that must not be cut in two: the
// request is noted, and the program ends at the next point it checks.
#pragma once

namespace hidplatform {

// Only one may exist at a time. While it does, Ctrl-C (SIGINT on POSIX, the
// console's Ctrl-C and Ctrl-Break on Windows) no longer ends the process;
// the previous behaviour comes back when it goes.
class DeferredInterrupt {
 public:
  DeferredInterrupt();
  ~DeferredInterrupt();
  DeferredInterrupt(const DeferredInterrupt&) = delete;
  DeferredInterrupt& operator=(const DeferredInterrupt&) = delete;

  // Whether Ctrl-C was pressed since this object was made.
  bool Requested() const;
};

}  // namespace hidplatform
