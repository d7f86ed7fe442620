// Shared pieces of the ISPDLL tests: a temporary folder, image files, and a
// fixture with the emulated boot loader plugged into the virtual bus.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/FaultyLink.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "hid/platform/HidBackend.h"
#include "isp/MtpFormat.h"
#include "tests/support/TempDir.h"

namespace isptest {

using testsupport::TempDir;

// Deterministic program bytes.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed);
// An image for this keyboard: the program, option bytes with the version.
isp::MtpImage MakeImage(std::size_t programSize, std::uint32_t seed, std::uint16_t version);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// Fixes the header CRC of an .MTP file after a test changed a header field on
// purpose.
void Reseal(std::vector<std::uint8_t>& file);
// The flash contents a burn of the image must leave: program, then 0xFF.
std::vector<std::uint8_t> ExpectedFlash(const isp::MtpImage& image);

struct Loaded {
  std::int32_t result = 0;
  const std::uint8_t* program = nullptr;
  std::uint32_t programSize = 0xDEAD;
  const std::uint8_t* option = nullptr;
  std::uint32_t optionSize = 0xDEAD;
  const std::uint8_t* third = nullptr;
  std::uint32_t thirdSize = 0xDEAD;
};
Loaded LoadFileAt(const std::filesystem::path& path);

// The keyboard in application mode, as the boot loader comes back after START.
std::shared_ptr<emulator::DeviceModel> MakeApplicationModel();

// The emulated boot loader behind a faulty link on the virtual bus,
// installed as the platform.
class BootLoaderFixture : public ::testing::Test {
 protected:
  BootLoaderFixture();
  ~BootLoaderFixture() override;

  // Writes the image as an .MTP file and returns its path.
  std::filesystem::path Save(const isp::MtpImage& image, const std::string& name = "fw.MTP");
  // Connect, load, erase, program, verify; the first failing step's result
  // ends it. Returns the result of the last step run.
  std::int32_t BurnUpToVerify(const std::filesystem::path& file);
  void Replug();

  hidplatform::VirtualHidBus bus_;
  hidplatform::ScopedBackend scoped_{bus_};
  // Whether the keyboard came back in application mode.
  bool ApplicationPresent() const;

  std::shared_ptr<emulator::BootLoaderModel> model_ = std::make_shared<emulator::BootLoaderModel>();
  std::shared_ptr<emulator::FaultyLink> link_ = std::make_shared<emulator::FaultyLink>(model_);
  std::uint32_t deviceId_ = 0;
  TempDir dir_{"isp-test"};
};

}  // namespace isptest
