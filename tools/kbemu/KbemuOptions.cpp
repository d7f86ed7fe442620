#include "tools/kbemu/KbemuOptions.h"

#include <stdexcept>

#include "emulator/KeyboardReportDescriptors.h"

namespace kbemu {

namespace {

using Fault = emulator::BootLoaderModel::Fault;
using FaultKind = emulator::BootLoaderModel::FaultKind;
using Operation = emulator::BootLoaderModel::Operation;

unsigned long Number(const std::string& option, const std::string& text, int base,
                     unsigned long max) {
  std::size_t used = 0;
  unsigned long value = 0;
  try {
    if (!text.empty() && text[0] != '-') value = std::stoul(text, &used, base);
  } catch (const std::exception&) {
    used = 0;
  }
  if (text.empty() || used != text.size() || value > max) {
    throw std::invalid_argument(option + ": '" + text + "' is not a valid value");
  }
  return value;
}

}  // namespace

Fault ParseFault(const std::string& text) {
  static const std::pair<const char*, FaultKind> kKinds[] = {
      {"disconnect", FaultKind::kDisconnect},
      {"drop-answer", FaultKind::kDropAnswer},
      {"corrupt-answer", FaultKind::kCorruptAnswer},
      {"stall", FaultKind::kStall},
  };
  static const std::pair<const char*, Operation> kOperations[] = {
      {"identify", Operation::kIdentify},
      {"erase", Operation::kErase},
      {"write", Operation::kWrite},
      {"verify", Operation::kVerify},
      {"write-option", Operation::kWriteOption},
      {"record", Operation::kRecord},
      {"start", Operation::kStart},
  };
  const std::size_t at = text.find('@');
  const std::string kind = text.substr(0, at);
  Fault fault;
  for (const auto& [name, value] : kKinds) {
    if (kind == name) fault.kind = value;
  }
  if (fault.kind == FaultKind::kNone) {
    throw std::invalid_argument("--fault: unknown fault '" + kind +
                                "' (disconnect, drop-answer, corrupt-answer, stall)");
  }
  if (at == std::string::npos) return fault;
  const std::string where = text.substr(at + 1);
  const std::size_t colon = where.find(':');
  const std::string operation = where.substr(0, colon);
  bool known = false;
  for (const auto& [name, value] : kOperations) {
    if (operation == name) {
      fault.operation = value;
      known = true;
    }
  }
  if (!known) {
    throw std::invalid_argument("--fault: unknown operation '" + operation +
                                "' (identify, erase, write, verify, write-option, record, start)");
  }
  if (colon != std::string::npos) {
    fault.page = static_cast<std::uint16_t>(Number("--fault", where.substr(colon + 1), 10, 239));
  }
  return fault;
}

KbemuOptions ParseKbemuOptions(const std::vector<std::string>& arguments) {
  KbemuOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string name = argument;
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = argument.find('=');
        argument.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = argument.substr(0, eq);
      inlineValue = argument.substr(eq + 1);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= arguments.size()) throw std::invalid_argument(name + " needs a value");
      return arguments[++i];
    };
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--collections") {
      options.collections = static_cast<int>(Number(name, value(), 10, 1000));
      if (options.collections < emulator::kMinCollectionCount ||
          options.collections > emulator::kMaxCollectionCount) {
        throw std::invalid_argument("--collections: " + std::to_string(options.collections) +
                                    " is outside 1 to 8");
      }
    } else if (name == "--device-per-collection") {
      options.split = emulator::InterfaceSplit::kOneCollectionEach;
    } else if (name == "--version") {
      options.showVersion = true;
    } else if (name == "--firmware-version") {
      std::string text = value();
      if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
      options.version = static_cast<std::uint16_t>(Number(name, text, 16, 0xFFFF));
    } else if (name == "--boot-loader") {
      options.startInBootLoader = true;
    } else if (name == "--fault") {
      options.fault = ParseFault(value());
    } else if (name == "--flash") {
      options.flashFile = value();
      if (options.flashFile.empty()) throw std::invalid_argument("--flash needs a file name");
    } else if (name == "--switch-pause") {
      options.switchPause = std::chrono::milliseconds(Number(name, value(), 10, 60000));
    } else if (name == "--unplug-pause") {
      options.unplugPause = std::chrono::milliseconds(Number(name, value(), 10, 60000));
    } else if (name == "--uhid") {
      options.uhidPath = value();
    } else if (name == "--quiet") {
      options.quiet = true;
    } else {
      throw std::invalid_argument("unknown option '" + argument + "' (see kbemu --help)");
    }
  }
  return options;
}

std::string KbemuUsage() {
  return R"(Usage: kbemu [options]

A virtual USB keyboard with touchpad (2C7A:5B1D) on this machine's kernel,
through /dev/uhid. On the update command 09 84 57 it restarts into its boot
loader (04D9:8022); when a burner starts the user firmware it comes back in
application mode with the burned version. Runs until Ctrl+C or SIGTERM.

Options:
  --collections N      top-level collections in application mode, 1 to 8
                       (default 6: boot keyboard; touchpad, consumer control,
                       system control, command collection, vendor collection)
  --device-per-collection
                       every collection a device of its own with the
                       keyboard's identity (one hidraw node each: Wine then
                       shows one HID interface per collection, as Windows does)
  --firmware-version HEX
                       firmware version of a factory-fresh flash (default
                       0105); a flash file's own image overrides it
  --boot-loader        start in boot-loader mode, as after the update command
  --flash FILE         load the flash from FILE when it exists; save it there
                       after each burn and at exit (code pages, option area,
                       integrity record). A flash without a valid record (a
                       burn that was cut) starts as the boot loader by itself
  --fault KIND[@OPERATION[:PAGE]]
                       make the boot loader fail once; KIND is disconnect
                       (drops off the bus), drop-answer, corrupt-answer or
                       stall; OPERATION is identify, erase, write, verify,
                       write-option, record or start; PAGE 0 to 239
                       (e.g. --fault disconnect@write:120)
  --switch-pause MS    pause between leaving one mode and appearing in the
                       other (default 500)
  --unplug-pause MS    remove the devices of the mode being left one at a
                       time, MS apart, and start the switch pause after the
                       last (default 0: all at once, as the keyboard does).
                       Wine 8.0's HID bus can lose a device that arrives
                       while it is removing several at once; this gives it
                       time to finish each removal
  --uhid PATH          the uhid device (default /dev/uhid)
  --quiet              log only mode changes, not every report
  -h, --help           this text
  --version            the program's version

Needs read-write access to /dev/uhid: run as root, or add a udev rule such as
  KERNEL=="uhid", GROUP="plugdev", MODE="0660"
and load the module with: sudo modprobe uhid
)";
}

}  // namespace kbemu
