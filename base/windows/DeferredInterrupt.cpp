#include "base/DeferredInterrupt.h"

#include <windows.h>

#include <atomic>

namespace hidplatform {

namespace {

std::atomic<bool> requested{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI Note(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    requested = true;
    return TRUE;
  }
  return FALSE;  // closing the console or logging off still ends the program
}

}  // namespace

DeferredInterrupt::DeferredInterrupt() {
  requested = false;
  SetConsoleCtrlHandler(&Note, TRUE);
}

DeferredInterrupt::~DeferredInterrupt() {
  SetConsoleCtrlHandler(&Note, FALSE);
}

bool DeferredInterrupt::Requested() const {
  return requested;
}

}  // namespace hidplatform
