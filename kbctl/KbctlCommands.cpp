#include "kbctl/KbctlCommands.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

#include "base/HexText.h"
#include "base/TextEncoding.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/ErrorMessage.h"
#include "hid/platform/NativeMainLoop.h"
#include "keyboard/CommandReport.h"
#include "keyboard/KeyboardIdentity.h"

namespace kbctl {

const char* const kUsage =
    "usage: kbctl list [--json]\n"
    "       kbctl fn-lock|mute-lock|mic-lock on|off\n"
    "       kbctl --help | --version\n"
    "list:  every keyboard present, in application mode or in its boot loader,\n"
    "       and whether this user may write to it.\n"
    "fn-lock, mute-lock, mic-lock: sets the lock on every keyboard present.\n"
    "Exit codes: 0 done, 1 failed, 2 bad command line.\n";

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

  void Change(hid::THidDeviceController* sender) {
    if (done_) return;
    done_ = true;
    sender->EnumerateDevices();
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

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
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
