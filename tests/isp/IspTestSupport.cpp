#include "IspTestSupport.h"

#include <fstream>

#include "emulator/SimpleDeviceModel.h"

#include "isp/ByteOrder.h"
#include "isp/Crc32.h"
#include "isp/IspDll.h"
#include "isp/IspDllInternals.h"
#include "isp/IspProtocol.h"

namespace isptest {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed;
  for (auto& b : bytes) {
    state = state * 1103515245U + 12345U;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

isp::MtpImage MakeImage(std::size_t programSize, std::uint32_t seed, std::uint16_t version) {
  isp::MtpImage image;
  image.targetId = isp::protocol::kTargetId;
  image.pageSize = isp::protocol::kPageSize;
  image.pageCount = isp::protocol::kPageCount;
  image.program = Pattern(programSize, seed);
  image.option = {static_cast<std::uint8_t>(version), static_cast<std::uint8_t>(version >> 8), 0x5A,
                  0xA5};
  return image;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

void Reseal(std::vector<std::uint8_t>& file) {
  isp::PutU32(file, 60, isp::Crc32(std::span<const std::uint8_t>(file).first(60)));
}

std::vector<std::uint8_t> ExpectedFlash(const isp::MtpImage& image) {
  std::vector<std::uint8_t> flash(
      static_cast<std::size_t>(isp::protocol::kPageSize) * isp::protocol::kPageCount, 0xFF);
  std::copy(image.program.begin(), image.program.end(), flash.begin());
  return flash;
}

Loaded LoadFileAt(const std::filesystem::path& path) {
  Loaded l;
  const std::u16string name = path.u16string();
  l.result = LoadFile(reinterpret_cast<const ISPDLL_CHAR*>(name.c_str()), &l.program,
                      &l.programSize, &l.option, &l.optionSize, &l.third, &l.thirdSize);
  return l;
}

std::shared_ptr<emulator::DeviceModel> MakeApplicationModel() {
  emulator::DeviceIdentity identity;
  identity.vendorId = static_cast<std::uint16_t>(isp::protocol::kTargetId >> 16);
  identity.productId = static_cast<std::uint16_t>(isp::protocol::kTargetId & 0xFFFF);
  identity.reportDescriptor = emulator::SimpleDeviceModel::VendorDescriptor(9, 64, 64);
  return std::make_shared<emulator::SimpleDeviceModel>(identity);
}

BootLoaderFixture::BootLoaderFixture() {
  // Short answer timeouts keep the fault tests quick; the logic is the same.
  isp::SetLinkSettingsForTesting(isp::LinkSettings{150, 3, 500});
  model_->SetApplicationModel(MakeApplicationModel());
  // Like the Windows backend: nothing is found unless ISPDLL binds.
  bus_.SetBindingRequired(true);
  deviceId_ = bus_.Plug(link_);
}

bool BootLoaderFixture::ApplicationPresent() const {
  const auto devices = bus_.PluggedDevices();
  return std::any_of(devices.begin(), devices.end(), [this](std::uint32_t id) {
    const auto model = bus_.ModelOf(id);
    return model && model->Identity().vendorId == (isp::protocol::kTargetId >> 16);
  });
}

BootLoaderFixture::~BootLoaderFixture() {
  // Drops the library's connection before the bus goes away.
  SwitchToUserProgram();
  isp::SetLinkSettingsForTesting(isp::LinkSettings{});
}

std::filesystem::path BootLoaderFixture::Save(const isp::MtpImage& image, const std::string& name) {
  const auto path = dir_ / name;
  WriteBytes(path, isp::SerializeMtp(image));
  return path;
}

std::int32_t BootLoaderFixture::BurnUpToVerify(const std::filesystem::path& file) {
  std::int32_t r = ConnectToBootloader();
  if (r == -1) return r;
  if ((r = LoadFileAt(file).result) == -1) return r;
  if ((r = EraseByPage(0, 240, 0)) == -1) return r;
  if ((r = Program(0)) == -1) return r;
  return VerifyByPage(0, 240, 0);
}

void BootLoaderFixture::Replug() {
  bus_.UnplugAll();
  deviceId_ = bus_.Plug(link_);
}

}  // namespace isptest
