// kbctl fn-lock|mute-lock|mic-lock on|off: the lock's command report to
// every interface of every keyboard in application mode.
#include <algorithm>

#include "hid/platform/ErrorMessage.h"
#include "kbctl/KbctlCommands.h"
#include "kbctl/KeyboardScan.h"
#include "keyboard/CommandReport.h"

namespace kbctl {

using keyboard::DeviceKind;

int SetLock(std::string_view lockName, bool on, std::ostream& out, std::ostream& err) {
  const keyboard::Lock* lock = keyboard::FindLock(lockName);
  if (lock == nullptr) {
    err << kUsage;
    return kExitUsage;
  }
  const keyboard::Command& command = on ? lock->on : lock->off;
  const std::string what = std::string(lock->title) + (on ? " on" : " off");

  KeyboardScan scan;
  if (!scan.Run(err)) return kExitFailed;
  const WriteCount count = scan.WriteCommand(command, [](const Interface&) { return true; });
  const int present = count.tried;
  const int written = count.written;
  if (present == 0) {
    const bool bootLoader =
        std::any_of(scan.Keyboards().begin(), scan.Keyboards().end(),
                    [](const Keyboard& board) { return board.kind == DeviceKind::kBootLoader; });
    err << "kbctl: " << what << ": no keyboard in application mode found";
    if (bootLoader) err << " (a keyboard is in its boot loader: run kbctl update to recover)";
    err << ".\n";
    return kExitFailed;
  }
  const std::string summary = what + ": written to " + std::to_string(written) + " of " +
                              std::to_string(present) +
                              (present == 1 ? " interface" : " interfaces");
  if (written == 0) {
    // Why, in the order a user can act on it: permissions first.
    std::string reason = count.firstError ? hidplatform::ShortErrorMessage(*count.firstError)
                                          : "no interface could be opened";
    for (const Keyboard& board : scan.Keyboards()) {
      if (board.kind == DeviceKind::kKeyboard && !board.problem.empty()) {
        reason = board.problem;
        break;
      }
    }
    err << "kbctl: " << summary << ": " << reason << ".\n";
    return kExitFailed;
  }
  out << summary << "\n";
  return kExitOk;
}

}  // namespace kbctl
