#include "keyboard/CommandReport.h"

#include <algorithm>

#include "base/HexText.h"
#include "hid/platform/HidBackend.h"

namespace keyboard {

const Lock* FindLock(std::string_view name) {
  for (const Lock& lock : kLocks) {
    if (lock.name == name) return &lock;
  }
  return nullptr;
}

std::vector<std::uint8_t> CommandReport(std::uint8_t code, std::uint8_t argument,
                                        std::size_t outputLength) {
  // Never shorter than the keyboard's own report, so that no declared
  // length below it reads past the end.
  std::vector<std::uint8_t> report(std::max(outputLength, kCommandReportSize), 0);
  report[0] = kCommandReportId;
  report[1] = code;
  report[2] = argument;
  return report;
}

std::string CommandLogLine(std::uint8_t reportId, std::uint8_t code, std::uint8_t argument,
                           std::string_view suffix) {
  return "W --> " + UpperHex(reportId, 2) + ' ' + UpperHex(code, 2) + ' ' + UpperHex(argument, 2) +
         ' ' + std::string(suffix);
}

std::string CommandLogLine(const Command& command) {
  return CommandLogLine(kCommandReportId, command.code, command.argument, command.logSuffix);
}

std::optional<std::uint32_t> WriteCommand(hid::THidDevice& device, std::uint8_t code,
                                          std::uint8_t argument) {
  // Read afresh each time: the length is the interface's, not the keyboard's.
  hid::HIDP_CAPS caps{};
  device.GetCapabilities(caps);
  const std::size_t length = caps.OutputReportByteLength;
  const std::vector<std::uint8_t> report = CommandReport(code, argument, length);
  std::uint32_t written = 0;
  if (device.WriteOutputReport(report.data(), static_cast<std::int32_t>(length), written)) {
    return std::nullopt;
  }
  return hidplatform::CurrentBackend().LastError();
}

}  // namespace keyboard
