#include "emulator/KeyboardModel.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "base/HexText.h"

namespace emulator {

namespace {

struct CommandName {
  std::uint8_t code;
  std::uint8_t argument;
  const char* name;
};

// The commands the update window sends; anything else is logged as unknown.
constexpr std::array<CommandName, 11> kCommands = {{
    {0x54, 0x01, "Fn unlock"},
    {0x54, 0x02, "Fn lock"},
    {0x64, 0x01, "Mute unlock"},
    {0x64, 0x02, "Mute lock"},
    {0x74, 0x01, "Mic unlock"},
    {0x74, 0x02, "Mic lock"},
    {0x84, 0x57, "update: restart into the boot loader"},
    {0x94, 0x08, "touchpad flash"},
    {0x94, 0x09, "touchpad config"},
    {0x94, 0x0A, "touchpad flash end"},
    {0x95, 0x7E, "touchpad version query"},
}};

constexpr std::uint8_t kUpdateCode = 0x84;
constexpr std::uint8_t kUpdateArgument = 0x57;
constexpr std::uint8_t kVersionQueryCode = 0x95;
constexpr std::uint8_t kVersionQueryArgument = 0x7E;

const char* NameOf(std::uint8_t code, std::uint8_t argument) {
  for (const CommandName& command : kCommands) {
    if (command.code == code && command.argument == argument) return command.name;
  }
  return "unknown command";
}

// "09 84 57 00" style, upper-case hex with single blanks.
std::string HexBytes(const std::uint8_t* data, std::size_t length) {
  std::string text;
  text.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    if (i) text += ' ';
    text += UpperHex(data[i], 2);
  }
  return text;
}

}  // namespace

// What all interfaces of one keyboard share. The callbacks may run on
// several writing threads, so the update latch is atomic.
struct KeyboardModel::Shared {
  LogSink log;
  std::function<void()> onUpdateCommand;
  std::atomic<bool> updateRequested{false};

  void Log(const std::string& line) {
    if (log) log(line);
  }
};

class KeyboardModel::Interface final : public DeviceModel {
 public:
  Interface(DeviceIdentity identity, int number, std::shared_ptr<Shared> shared)
      : identity_(std::move(identity)), number_(number), shared_(std::move(shared)) {}

  const DeviceIdentity& Identity() const override { return identity_; }

  void Attach(DeviceHost* host) override {
    std::lock_guard lock(mutex_);
    host_ = host;
  }

  void OnOutputReport(std::span<const std::uint8_t> report) override {
    // Trailing zeros are padding up to the report length; the log shows the
    // meaningful bytes and the length that was written.
    std::size_t shown = report.size();
    while (shown > 3 && report[shown - 1] == 0) --shown;
    std::string line = "interface " + std::to_string(number_) + ": output report " +
                       HexBytes(report.data(), shown) + (shown < report.size() ? " ..." : "") +
                       " (" + std::to_string(report.size()) + " bytes)";
    if (report.size() < 3 || report[0] != kCommandReportId) {
      shared_->Log(line + ": not a command report");
      return;
    }
    const std::uint8_t code = report[1];
    const std::uint8_t argument = report[2];
    shared_->Log(line + ": " + NameOf(code, argument));

    if (code == kVersionQueryCode && argument == kVersionQueryArgument) {
      AnswerVersionQuery();
    } else if (code == kUpdateCode && argument == kUpdateArgument) {
      // The command reaches every interface of the keyboard; the first one
      // starts the restart, the others find it under way.
      if (!shared_->updateRequested.exchange(true) && shared_->onUpdateCommand) {
        shared_->onUpdateCommand();
      }
    }
  }

 private:
  void AnswerVersionQuery() {
    std::array<std::uint8_t, 1 + kCommandPayloadBytes> answer{};
    answer[0] = kCommandReportId;
    answer[1] = kVersionQueryCode;
    answer[2] = kVersionQueryArgument;
    answer[3] = static_cast<std::uint8_t>(kTouchpadFirmwareVersion >> 8);
    answer[4] = static_cast<std::uint8_t>(kTouchpadFirmwareVersion & 0xFF);
    std::lock_guard lock(mutex_);
    if (host_) host_->SendInputReport(answer);
  }

  DeviceIdentity identity_;
  int number_;
  std::shared_ptr<Shared> shared_;
  std::mutex mutex_;
  DeviceHost* host_ = nullptr;
};

KeyboardModel::KeyboardModel(const Options& options, LogSink log,
                             std::function<void()> onUpdateCommand)
    : collections_(options.collections), shared_(std::make_shared<Shared>()) {
  shared_->log = std::move(log);
  shared_->onUpdateCommand = std::move(onUpdateCommand);
  for (const KeyboardInterfaceLayout& layout :
       KeyboardInterfaces(options.collections, options.split)) {
    DeviceIdentity identity;
    identity.vendorId = kKeyboardVendorId;
    identity.productId = kKeyboardProductId;
    identity.versionNumber = options.version;
    identity.manufacturer = kKeyboardManufacturer;
    identity.product = kKeyboardProduct;
    identity.reportDescriptor = layout.reportDescriptor;
    interfaces_.push_back(
        std::make_shared<Interface>(std::move(identity), layout.interfaceNumber, shared_));
  }
}

KeyboardModel::~KeyboardModel() = default;

}  // namespace emulator
