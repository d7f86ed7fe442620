// kbctl list: every keyboard present, as text or as one JSON array.
#include "base/HexText.h"
#include "kbctl/KbctlCommands.h"
#include "kbctl/KeyboardScan.h"

namespace kbctl {

namespace {

using keyboard::DeviceKind;

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
      out << "application mode, firmware "
          << (board.VersionKnown() ? UpperHex(board.version, 4) : std::string("not reported"));
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
        << (board.kind == DeviceKind::kKeyboard && board.VersionKnown()
                ? JsonString(UpperHex(board.version, 4))
                : "null")
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

int List(bool json, std::ostream& out, std::ostream& err) {
  KeyboardScan scan;
  if (!scan.Run(err)) return kExitFailed;
  if (json) {
    PrintJson(scan.Keyboards(), out);
  } else {
    PrintText(scan.Keyboards(), out);
  }
  return kExitOk;
}

}  // namespace kbctl
