// kbctl update: from application mode through the boot loader, or straight
// from the boot loader, to the keyboard back at the file's version.
#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "base/DeferredInterrupt.h"
#include "base/HexText.h"
#include "hid/platform/ErrorMessage.h"
#include "isp/BurnSequence.h"
#include "isp/FirmwareFile.h"
#include "kbctl/BurnProgress.h"
#include "kbctl/KbctlCommands.h"
#include "kbctl/KeyboardScan.h"
#include "keyboard/CommandReport.h"
#include "keyboard/FirmwareLocation.h"

namespace kbctl {

using keyboard::DeviceKind;

namespace {

// What one update run found and where it ended; --json prints it.
struct UpdateReport {
  std::string stage = "file";
  int code = kExitOk;
  std::string keyboard;
  std::optional<std::uint16_t> oldVersion;
  std::optional<std::uint16_t> newVersion;
};

std::string VersionJson(const std::optional<std::uint16_t>& version) {
  return version ? JsonString(UpperHex(*version, 4)) : std::string("null");
}

// Drops ISPDLL's connection when a burn ends early, so that a later burn in
// this process starts afresh.
struct ConnectionEnd {
  const isp::IspOperations& operations;
  ~ConnectionEnd() { operations.switchToUserProgram(); }
};

bool Confirmed(std::istream& terminal, std::ostream& out, const std::string& question) {
  out << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(terminal, answer)) return false;
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes";
}

int UpdateStages(const UpdateOptions& options, const Environment& environment, UpdateReport& report,
                 std::ostream& log, std::ostream& err) {
  const auto fail = [&report, &err](const std::string& stage, int code, const std::string& why) {
    report.stage = stage;
    report.code = code;
    err << "kbctl: update: " << stage << ": " << why << "\n";
    return code;
  };

  // The file first: nothing goes to the keyboard for a file it cannot take.
  const std::string file =
      options.file.empty() ? keyboard::FirmwarePathIn(environment.programDirectory) : options.file;
  const isp::MtpFileResult read = isp::ReadMtpFile(file);
  std::string problem = read.error.empty() ? isp::CheckFirmwareFile(file) : read.error;
  if (!problem.empty()) return fail("file", kExitFileRefused, file + ": " + problem);
  const std::uint16_t fileVersion = isp::FirmwareVersionOf(read.image);
  report.newVersion = fileVersion;
  log << "Firmware file " << file << ": version " << UpperHex(fileVersion, 4) << "\n";

  std::optional<KeyboardScan> scan(std::in_place);
  if (!scan->Run(err)) return fail("keyboard", kExitFailed, "the devices cannot be listed");
  const std::vector<Keyboard>& boards = scan->Keyboards();
  const Keyboard* chosen = nullptr;
  if (!options.device.empty()) {
    const auto named = std::find_if(boards.begin(), boards.end(), [&](const Keyboard& board) {
      return board.Name() == options.device;
    });
    if (named == boards.end()) {
      return fail("keyboard", kExitKeyboardRefused,
                  "no keyboard named " + options.device + " (kbctl list shows the names)");
    }
    chosen = &*named;
  } else if (boards.empty()) {
    return fail("keyboard", kExitKeyboardRefused, "found no keyboard");
  } else if (boards.size() > 1) {
    return fail("keyboard", kExitKeyboardRefused,
                std::to_string(boards.size()) +
                    " keyboards present: name one with --device (kbctl list shows the names)");
  } else {
    chosen = &boards.front();
  }
  const Keyboard board = *chosen;
  report.keyboard = board.Name();
  if (!board.problem.empty()) return fail("keyboard", kExitFailed, board.problem);
  // The keyboard after the burn is the one not among the others present now.
  std::set<std::string> others;
  for (const Keyboard& other : boards) {
    if (other.kind == DeviceKind::kKeyboard && other.Name() != board.Name()) {
      others.insert(other.Name());
    }
  }

  const bool recovery = board.kind == DeviceKind::kBootLoader;
  std::string question;
  if (recovery) {
    log << "Keyboard " << board.Name() << ": in its boot loader (an interrupted update)\n";
    question = "Burn version " + UpperHex(fileVersion, 4) + " into keyboard " + board.Name() + "?";
  } else if (!board.VersionKnown()) {
    // Nothing to compare with: the user's confirmation (or --yes) decides.
    log << "Keyboard " << board.Name()
        << ": firmware version not reported by the system, not compared with the file's\n";
    question = "Update keyboard " + board.Name() + " to " + UpperHex(fileVersion, 4) + "?";
  } else {
    report.oldVersion = board.version;
    log << "Keyboard " << board.Name() << ": firmware " << UpperHex(board.version, 4) << "\n";
    if (fileVersion < board.version && !options.allowOlder) {
      return fail("version", kExitKeyboardRefused,
                  "the file's version " + UpperHex(fileVersion, 4) + " is older than the " +
                      "keyboard's " + UpperHex(board.version, 4) + " (--allow-older burns it)");
    }
    if (fileVersion == board.version && !options.reinstall) {
      return fail("version", kExitKeyboardRefused,
                  "the keyboard already runs version " + UpperHex(fileVersion, 4) +
                      " (--reinstall burns it again)");
    }
    question = "Update keyboard " + board.Name() + " from " + UpperHex(board.version, 4) + " to " +
               UpperHex(fileVersion, 4) + "?";
  }
  if (!options.yes) {
    if (environment.terminal == nullptr) {
      return fail("confirm", kExitUsage, "no terminal to ask: use --yes");
    }
    if (!Confirmed(*environment.terminal, log, question)) {
      return fail("confirm", kExitFailed, "not confirmed, nothing was sent");
    }
  }

  if (!recovery) {
    report.stage = "restart";
    const WriteCount count =
        scan->WriteCommand(keyboard::kUpdate, [&board](const Interface& entry) {
          return std::find(board.paths.begin(), board.paths.end(), entry.path) != board.paths.end();
        });
    if (count.written == 0) {
      return fail("restart", kExitFailed,
                  "the update command reached no interface: " +
                      (count.firstError ? hidplatform::ShortErrorMessage(*count.firstError)
                                        : std::string("none could be opened")));
    }
    log << "Restarting " << board.Name() << " into its boot loader...\n";
    const bool appeared = scan->WaitFor(
        [](const std::vector<Keyboard>& now) {
          return std::any_of(now.begin(), now.end(),
                             [](const Keyboard& k) { return k.kind == DeviceKind::kBootLoader; });
        },
        options.wait ? *options.wait : environment.bootLoaderWait);
    if (!appeared) {
      return fail("boot loader", kExitNoBootLoader,
                  "the keyboard's boot loader did not appear; replug the keyboard and run the "
                  "same command again");
    }
  }
  // ISPDLL opens the boot loader on its own: this scan lets go of it.
  scan.reset();

  report.stage = "burn";
  const isp::IspOperations operations = isp::LinkedIspOperations();
  // On a terminal the long stages draw a bar while they run; elsewhere the
  // lines stay as plain as scripts expect them.
  const bool onTerminal = options.json ? environment.errorIsTerminal : environment.outputIsTerminal;
  std::optional<LiveProgress> live;
  const auto drawn = [&live](isp::BurnStage stage) {
    return live && (stage == isp::BurnStage::kErase || stage == isp::BurnStage::kProgram ||
                    stage == isp::BurnStage::kVerify);
  };
  isp::BurnHooks hooks;
  hooks.begin = [&](isp::BurnStage stage) {
    if (drawn(stage)) live->Begin(isp::BurnStageName(stage));
  };
  hooks.progress = [&](isp::BurnStage stage, int percent) {
    if (!drawn(stage)) log << PlainProgressLine(isp::BurnStageName(stage), percent);
  };
  hooks.done = [&](isp::BurnStage stage) {
    if (drawn(stage)) {
      live->End(true, "ok");
    } else {
      log << isp::BurnStageName(stage) << ": ok\n";
    }
  };
  std::string failure;
  hooks.failed = [&](isp::BurnStage stage, std::int32_t result) {
    if (drawn(stage)) live->End(false, "failed");
    failure = isp::BurnStageName(stage);
    if (stage == isp::BurnStage::kVerify && result == 1) failure += " (the flash differs)";
  };
  isp::BurnOutcome outcome;
  {
    // Ctrl-C waits for the stage under way: the boot loader is then between
    // operations, and a rerun burns it from the start.
    hidplatform::DeferredInterrupt interrupt;
    hooks.stop = [&interrupt] { return interrupt.Requested(); };
    ConnectionEnd end{operations};
    if (onTerminal) live.emplace(log, [&operations] { return operations.getTransProgress(); });
    outcome = isp::RunBurn(operations, file, hooks);
    // The poller stops before anything else is written.
    live.reset();
  }
  if (outcome.stopped) {
    return fail("burn", kExitBurnFailed,
                std::string("interrupted before ") + isp::BurnStageName(outcome.stage) +
                    "; the keyboard stays in its boot loader: run the same command again");
  }
  if (!outcome.ok) {
    return fail("burn", kExitBurnFailed,
                failure +
                    " failed; the keyboard stays in its boot loader: run the same "
                    "command again");
  }

  report.stage = "return";
  log << "Waiting for the keyboard...\n";
  const std::string serial = recovery ? std::string() : board.serial;
  std::optional<Keyboard> returned;
  scan.emplace();
  if (!scan->Run(err)) return fail("return", kExitFailed, "the devices cannot be listed");
  const bool back = scan->WaitFor(
      [&](const std::vector<Keyboard>& now) {
        for (const Keyboard& k : now) {
          if (k.kind != DeviceKind::kKeyboard || others.count(k.Name()) != 0) continue;
          if (!serial.empty() && k.serial != serial) continue;
          returned = k;
          return true;
        }
        return false;
      },
      options.wait ? *options.wait : environment.returnWait);
  if (!back) {
    return fail("return", kExitNotBack,
                "the keyboard did not come back in application mode; replug it (kbctl list "
                "shows whether it still is in its boot loader)");
  }
  report.keyboard = returned->Name();
  if (!returned->VersionKnown()) {
    // The burn's verify stage has read the file's image back from the flash.
    report.stage = "done";
    log << "Updated keyboard " << returned->Name() << " to version " << UpperHex(fileVersion, 4)
        << " (verified in the flash; the system does not report the keyboard's version)\n";
    return kExitOk;
  }
  if (returned->version != fileVersion) {
    return fail("version check", kExitWrongVersion,
                "the keyboard reports version " + UpperHex(returned->version, 4) + ", not " +
                    UpperHex(fileVersion, 4));
  }
  report.stage = "done";
  log << "Updated keyboard " << returned->Name() << " to version " << UpperHex(fileVersion, 4)
      << "\n";
  return kExitOk;
}

}  // namespace

int Update(const UpdateOptions& options, const Environment& environment, std::ostream& out,
           std::ostream& err) {
  UpdateReport report;
  // With --json the object is the only thing on the output.
  report.code = UpdateStages(options, environment, report, options.json ? err : out, err);
  if (options.json) {
    out << "{\"result\": " << JsonString(report.code == kExitOk ? "ok" : "failed")
        << ", \"stage\": " << JsonString(report.stage) << ", \"exit_code\": " << report.code
        << ", \"keyboard\": "
        << (report.keyboard.empty() ? std::string("null") : JsonString(report.keyboard))
        << ", \"old_version\": " << VersionJson(report.oldVersion)
        << ", \"new_version\": " << VersionJson(report.newVersion) << "}\n";
  }
  return report.code;
}

}  // namespace kbctl
