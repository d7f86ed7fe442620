// kbemu's command line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/KeyboardReportDescriptors.h"

namespace kbemu {

struct KbemuOptions {
  int collections = 6;
  emulator::InterfaceSplit split = emulator::InterfaceSplit::kAsSold;
  std::uint16_t version = 0x0105;
  bool startInBootLoader = false;
  std::optional<emulator::BootLoaderModel::Fault> fault;
  std::string flashFile;  // empty: the flash lives only as long as kbemu
  std::chrono::milliseconds switchPause{500};
  std::chrono::milliseconds unplugPause{0};
  std::string uhidPath = "/dev/uhid";
  bool quiet = false;
  bool help = false;
  bool showVersion = false;  // --version: the program's, not the keyboard's
};

// Parses the arguments after the program name. Throws std::invalid_argument
// with a message that names the bad option.
KbemuOptions ParseKbemuOptions(const std::vector<std::string>& arguments);

// "disconnect@write:120" and the like; throws std::invalid_argument.
emulator::BootLoaderModel::Fault ParseFault(const std::string& text);

std::string KbemuUsage();

}  // namespace kbemu
