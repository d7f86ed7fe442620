#include "kbctl/KbctlCommands.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "base/DeferredInterrupt.h"
#include "base/HexText.h"
#include "base/TextEncoding.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/ErrorMessage.h"
#include "hid/platform/NativeMainLoop.h"
#include "isp/BurnSequence.h"
#include "isp/FirmwareFile.h"
#include "kbctl/BurnProgress.h"
#include "keyboard/CommandReport.h"
#include "keyboard/FirmwareLocation.h"
#include "keyboard/KeyboardIdentity.h"

namespace kbctl {

const char* const kUsage =
    "usage: kbctl list [--json]\n"
    "       kbctl fn-lock|mute-lock|mic-lock on|off\n"
    "       kbctl update [FILE] [--yes] [--json] [--device NAME]\n"
    "                    [--allow-older | --reinstall]\n"
    "       kbctl --help | --version\n"
    "list:  every keyboard present, in application mode or in its boot loader,\n"
    "       and whether this user may write to it.\n"
    "fn-lock, mute-lock, mic-lock: sets the lock on every keyboard present.\n"
    "update: burns FILE (default USBKeyboard.MTP beside kbctl) into the keyboard,\n"
    "       also one left in its boot loader by an interrupted update. It refuses\n"
    "       an older or the same version unless --allow-older or --reinstall, and\n"
    "       asks first on a terminal unless --yes. --device picks a keyboard by the\n"
    "       name list prints; --json ends with one JSON object.\n"
    "Exit codes: 0 done, 1 failed, 2 bad command line, update only: 3 file\n"
    "refused, 4 no keyboard, several or its version refused, 5 boot loader did\n"
    "not appear, 6 burn failed (rerun to recover), 7 keyboard did not come back,\n"
    "8 wrong version after the update.\n";

namespace {

using keyboard::DeviceKind;

std::string Utf8(const std::u16string& text) {
  return hidplatform::Utf16ToUtf8(text).value_or("?");
}

// The system's words for an error, without the full stop and line break it
// may end with.
std::string ErrorText(std::uint32_t code) {
  std::string text = hidplatform::SystemErrorMessage(code);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// Why an interface cannot be written, in words a user can act on; empty
// when it can.
std::string WriteProblem(hid::THidDevice& device) {
  if (device.HasReadWriteAccess()) return {};
  auto& backend = hidplatform::CurrentBackend();
  // Opened query-only when it was listed: try once more, it may have changed.
  const hidplatform::Handle probe =
      backend.Open(device.PnPInfo()->DevicePath, hidplatform::Access::kReadWrite);
  if (probe != hidplatform::kInvalidHandle) {
    backend.Close(probe);
    return {};
  }
  const std::uint32_t error = backend.LastError();
#if defined(_WIN32)
  if (error == hidplatform::kErrorAccessDenied) {
    return "no permission: another program may hold the keyboard open exclusively";
  }
#else
  if (error == hidplatform::kErrorAccessDenied) {
    return "no permission: install the udev rule, see docs/linux.md";
  }
#endif
  return "cannot open for writing: " + ErrorText(error);
}

struct Interface {
  // Claimed from the scan's controller; null when the claim failed.
  std::unique_ptr<hid::THidDevice> device;
  DeviceKind kind = DeviceKind::kOther;
  std::string path;
  std::string problem;  // empty: writable
};

// One keyboard: the interfaces of one USB device.
struct Keyboard {
  DeviceKind kind = DeviceKind::kOther;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t version = 0;
  std::string serial;
  std::string product;
  std::vector<std::string> paths;
  std::string problem;  // the first interface's that cannot be written

  // The name a command can pick this keyboard by: its serial number, else
  // its first interface's path.
  std::string Name() const { return serial.empty() ? paths.front() : serial; }
};

// One scan of the HID interfaces, keeping the keyboard's and its boot
// loader's. The claimed devices go back before the controller.
class Scan {
 public:
  // False (with the reason on err) when no device can be seen at all.
  bool Run(std::ostream& err) {
    controller_.SetOnEnumerate({this, &Scan::Enumerate});
    controller_.SetOnDeviceChange({this, &Scan::Change});
    controller_.SetLoading(false);
    if (!controller_.HasNotifyWindow()) {
#if defined(_WIN32)
      err << "kbctl: HID access is not available (SetupApi.dll or HID.dll could not be loaded "
             "or lacks entry points).\n";
#else
      err << "kbctl: HID access is not available (libudev.so.1 could not be loaded or lacks "
             "entry points).\n";
#endif
      return false;
    }
    // The limit is a guard only: the first scan is queued and runs at once.
    if (!hidplatform::NativeMainLoop::Instance().RunUntil([this] { return done_; },
                                                          std::chrono::seconds(30))) {
      err << "kbctl: the device scan did not finish.\n";
      return false;
    }
    return true;
  }

  // Runs the main loop until a scan satisfies done; false when the limit
  // passed first. Each device change ends the wait for it, not a timer.
  bool WaitFor(const std::function<bool(const std::vector<Keyboard>&)>& done,
               std::chrono::milliseconds limit) {
    return hidplatform::NativeMainLoop::Instance().RunUntil(
        [this, &done] { return done(keyboards_); }, limit);
  }

  std::vector<Interface>& Interfaces() {
    return interfaces_;
  }
  const std::vector<Keyboard>& Keyboards() const {
    return keyboards_;
  }

 private:
  bool Enumerate(hid::THidDevice* device, std::int32_t index) {
    const hid::HIDD_ATTRIBUTES& ids = device->Attributes();
    const DeviceKind kind = keyboard::KindOf(ids.VendorID, ids.ProductID);
    if (kind == DeviceKind::kOther) return true;
    Interface entry;
    entry.kind = kind;
    entry.path = device->PnPInfo()->DevicePath;
    entry.problem = WriteProblem(*device);
    const std::string serial = Utf8(device->GetSerialNumber());
    const std::string product = Utf8(device->GetProductName());

    // Interfaces of one USB device share its IDs and serial number; without
    // a serial number, the interfaces of one kind cannot be told apart and
    // make one keyboard.
    const auto key = std::make_tuple(ids.VendorID, ids.ProductID, serial);
    auto [at, added] = groups_.try_emplace(key, keyboards_.size());
    if (added) {
      Keyboard& board = keyboards_.emplace_back();
      board.kind = kind;
      board.vendorId = ids.VendorID;
      board.productId = ids.ProductID;
      board.version = ids.VersionNumber;
      board.serial = serial;
      board.product = product;
    }
    Keyboard& board = keyboards_[at->second];
    board.paths.push_back(entry.path);
    if (board.problem.empty()) board.problem = entry.problem;

    hid::THidDevice* claimed = nullptr;
    if (controller_.ClaimDeviceByIndex(claimed, index)) entry.device.reset(claimed);
    interfaces_.push_back(std::move(entry));
    return true;
  }

  // Every change is a new scan: the claimed devices go back first.
  void Change(hid::THidDeviceController* sender) {
    interfaces_.clear();
    keyboards_.clear();
    groups_.clear();
    sender->EnumerateDevices();
    done_ = true;
  }

  hid::THidDeviceController controller_{true};
  std::vector<Interface> interfaces_;
  std::vector<Keyboard> keyboards_;
  std::map<std::tuple<std::uint16_t, std::uint16_t, std::string>, std::size_t> groups_;
  bool done_ = false;
};

const char* ModeName(DeviceKind kind) {
  return kind == DeviceKind::kKeyboard ? "application" : "boot-loader";
}

void PrintText(const std::vector<Keyboard>& keyboards, std::ostream& out) {
  if (keyboards.empty()) {
    out << "kbctl: found no keyboard.\n";
    return;
  }
  for (const Keyboard& board : keyboards) {
    out << board.Name() << ": ";
    if (board.kind == DeviceKind::kKeyboard) {
      out << "application mode, firmware " << UpperHex(board.version, 4);
    } else {
      out << "boot loader (interrupted update: run kbctl update to recover)";
    }
    out << ", " << board.paths.size() << (board.paths.size() == 1 ? " interface" : " interfaces")
        << ", ";
    if (board.problem.empty()) {
      out << "writable\n";
    } else {
      out << "not writable: " << board.problem << "\n";
    }
    for (const std::string& path : board.paths) out << "  " << path << "\n";
  }
}

void PrintJson(const std::vector<Keyboard>& keyboards, std::ostream& out) {
  out << "[";
  const char* separator = "\n";
  for (const Keyboard& board : keyboards) {
    out << separator << "  {\"name\": " << JsonString(board.Name())
        << ", \"mode\": " << JsonString(ModeName(board.kind))
        << ", \"vendor_id\": " << JsonString(UpperHex(board.vendorId, 4))
        << ", \"product_id\": " << JsonString(UpperHex(board.productId, 4)) << ", \"version\": "
        << (board.kind == DeviceKind::kKeyboard ? JsonString(UpperHex(board.version, 4)) : "null")
        << ", \"product\": " << JsonString(board.product)
        << ", \"serial\": " << JsonString(board.serial)
        << ", \"interfaces\": " << board.paths.size() << ", \"paths\": [";
    for (std::size_t i = 0; i < board.paths.size(); ++i) {
      out << (i == 0 ? "" : ", ") << JsonString(board.paths[i]);
    }
    out << "], \"writable\": " << (board.problem.empty() ? "true" : "false")
        << ", \"problem\": " << (board.problem.empty() ? "null" : JsonString(board.problem)) << "}";
    separator = ",\n";
  }
  out << (keyboards.empty() ? "]\n" : "\n]\n");
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
          quoted += escaped;
        } else {
          quoted += c;  // UTF-8 passes as it is
        }
    }
  }
  return quoted + '"';
}

int List(bool json, std::ostream& out, std::ostream& err) {
  Scan scan;
  if (!scan.Run(err)) return kExitFailed;
  if (json) {
    PrintJson(scan.Keyboards(), out);
  } else {
    PrintText(scan.Keyboards(), out);
  }
  return kExitOk;
}

int SetLock(std::string_view lockName, bool on, std::ostream& out, std::ostream& err) {
  const keyboard::Lock* lock = keyboard::FindLock(lockName);
  if (lock == nullptr) {
    err << kUsage;
    return kExitUsage;
  }
  const keyboard::Command& command = on ? lock->on : lock->off;
  const std::string what = std::string(lock->title) + (on ? " on" : " off");

  Scan scan;
  if (!scan.Run(err)) return kExitFailed;
  int present = 0;
  int written = 0;
  std::optional<std::uint32_t> firstError;
  bool bootLoader = false;
  for (Interface& entry : scan.Interfaces()) {
    if (entry.kind == DeviceKind::kBootLoader) bootLoader = true;
    if (entry.kind != DeviceKind::kKeyboard) continue;
    ++present;
    // An interface whose claim failed has nothing to write to.
    if (!entry.device) continue;
    const std::optional<std::uint32_t> error =
        keyboard::WriteCommand(*entry.device, command.code, command.argument);
    if (!error) {
      ++written;
    } else if (!firstError) {
      firstError = error;
    }
  }
  if (present == 0) {
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
    std::string reason = firstError ? ErrorText(*firstError) : "no interface could be opened";
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

  std::optional<Scan> scan(std::in_place);
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
    int written = 0;
    std::optional<std::uint32_t> firstError;
    for (Interface& entry : scan->Interfaces()) {
      if (entry.kind != DeviceKind::kKeyboard || !entry.device) continue;
      if (std::find(board.paths.begin(), board.paths.end(), entry.path) == board.paths.end()) {
        continue;
      }
      const std::optional<std::uint32_t> error =
          keyboard::WriteCommand(*entry.device, keyboard::kUpdate.code, keyboard::kUpdate.argument);
      if (!error) {
        ++written;
      } else if (!firstError) {
        firstError = error;
      }
    }
    if (written == 0) {
      return fail("restart", kExitFailed,
                  "the update command reached no interface: " +
                      (firstError ? ErrorText(*firstError) : std::string("none could be opened")));
    }
    log << "Restarting " << board.Name() << " into its boot loader...\n";
    const bool appeared = scan->WaitFor(
        [](const std::vector<Keyboard>& now) {
          return std::any_of(now.begin(), now.end(),
                             [](const Keyboard& k) { return k.kind == DeviceKind::kBootLoader; });
        },
        environment.bootLoaderWait);
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
  const std::u16string wideName = hidplatform::FileNameToUtf16(file);
#if defined(_WIN32)
  const auto* libraryName = reinterpret_cast<const wchar_t*>(wideName.c_str());
#else
  const char16_t* libraryName = wideName.c_str();
#endif
  isp::BurnOutcome outcome;
  {
    // Ctrl-C waits for the stage under way: the boot loader is then between
    // operations, and a rerun burns it from the start.
    hidplatform::DeferredInterrupt interrupt;
    hooks.stop = [&interrupt] { return interrupt.Requested(); };
    ConnectionEnd end{operations};
    if (onTerminal) live.emplace(log, [&operations] { return operations.getTransProgress(); });
    outcome = isp::RunBurn(operations, libraryName, hooks);
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
  std::optional<std::uint16_t> backVersion;
  std::string backName;
  scan.emplace();
  if (!scan->Run(err)) return fail("return", kExitFailed, "the devices cannot be listed");
  const bool back = scan->WaitFor(
      [&](const std::vector<Keyboard>& now) {
        for (const Keyboard& k : now) {
          if (k.kind != DeviceKind::kKeyboard || others.count(k.Name()) != 0) continue;
          if (!serial.empty() && k.serial != serial) continue;
          backVersion = k.version;
          backName = k.Name();
          return true;
        }
        return false;
      },
      environment.returnWait);
  if (!back) {
    return fail("return", kExitNotBack,
                "the keyboard did not come back in application mode; replug it (kbctl list "
                "shows whether it still is in its boot loader)");
  }
  report.keyboard = backName;
  if (*backVersion != fileVersion) {
    return fail("version check", kExitWrongVersion,
                "the keyboard reports version " + UpperHex(*backVersion, 4) + ", not " +
                    UpperHex(fileVersion, 4));
  }
  report.stage = "done";
  log << "Updated keyboard " << backName << " to version " << UpperHex(fileVersion, 4) << "\n";
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

namespace {

// Nothing when the arguments after "update" are not a valid command line.
std::optional<UpdateOptions> ParseUpdate(const std::vector<std::string>& arguments) {
  UpdateOptions options;
  bool haveFile = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--yes") {
      options.yes = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--allow-older") {
      options.allowOlder = true;
    } else if (argument == "--reinstall") {
      options.reinstall = true;
    } else if (argument == "--device") {
      if (++i == arguments.size() || arguments[i].empty()) return std::nullopt;
      options.device = arguments[i];
    } else if (argument.starts_with("--") || haveFile || argument.empty()) {
      return std::nullopt;
    } else {
      options.file = argument;
      haveFile = true;
    }
  }
  // One says the file is older, the other that it is the same: not both.
  if (options.allowOlder && options.reinstall) return std::nullopt;
  return options;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  return Run(arguments, Environment{}, out, err);
}

int Run(const std::vector<std::string>& arguments, const Environment& environment,
        std::ostream& out, std::ostream& err) {
  if (!arguments.empty() && arguments[0] == "update") {
    if (const std::optional<UpdateOptions> options = ParseUpdate(arguments)) {
      return Update(*options, environment, out, err);
    }
    err << kUsage;
    return kExitUsage;
  }
  if (arguments.size() == 2 && arguments[0] == "list" && arguments[1] == "--json") {
    return List(true, out, err);
  }
  if (arguments.size() == 1 && arguments[0] == "list") return List(false, out, err);
  if (arguments.size() == 2 && keyboard::FindLock(arguments[0]) != nullptr &&
      (arguments[1] == "on" || arguments[1] == "off")) {
    return SetLock(arguments[0], arguments[1] == "on", out, err);
  }
  err << kUsage;
  return kExitUsage;
}

}  // namespace kbctl
