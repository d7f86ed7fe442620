#include "tools/kbemu/PowerOn.h"

#include "isp/IspProtocol.h"

namespace kbemu {

namespace proto = isp::protocol;
using Flash = emulator::BootLoaderModel::Flash;

Flash FactoryFlash(std::uint16_t version) {
  Flash flash = emulator::BootLoaderModel::ErasedFlash();
  // One page of firmware with an entry that is not erased.
  std::uint32_t state = version;
  for (std::size_t i = 0; i < proto::kPageSize; ++i) {
    state = state * 1103515245U + 12345U;
    flash.code[i] = static_cast<std::uint8_t>(state >> 16);
  }
  flash.code[0] = 0x02;
  isp::PutU16(flash.option, 0, version);
  const auto program = std::span<const std::uint8_t>(flash.code).first(proto::kPageSize);
  const auto record = proto::MakeRecord(proto::kPageSize, proto::ImageCrc(program, flash.option));
  std::copy(record.begin(), record.end(), flash.record.begin());
  return flash;
}

PowerOn DecidePowerOn(std::optional<Flash> loaded, std::uint16_t factoryVersion,
                      bool askedForBootLoader) {
  PowerOn on;
  on.flash = loaded ? std::move(*loaded) : FactoryFlash(factoryVersion);
  const bool valid = emulator::BootLoaderModel::HoldsValidImage(on.flash);
  on.bootLoader = askedForBootLoader || !valid;
  on.version = isp::GetU16(on.flash.option, 0);
  return on;
}

}  // namespace kbemu
