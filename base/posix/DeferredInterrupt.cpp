#include "base/DeferredInterrupt.h"

#include <signal.h>

namespace hidplatform {

namespace {

volatile sig_atomic_t requested = 0;
struct sigaction previous;

void Note(int /*signal*/) {
  requested = 1;
}

}  // namespace

DeferredInterrupt::DeferredInterrupt() {
  requested = 0;
  struct sigaction action {};
  action.sa_handler = &Note;
  sigemptyset(&action.sa_mask);
  // Reads and writes in flight go on rather than fail with EINTR.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previous);
}

DeferredInterrupt::~DeferredInterrupt() {
  sigaction(SIGINT, &previous, nullptr);
}

bool DeferredInterrupt::Requested() const {
  return requested != 0;
}

}  // namespace hidplatform
