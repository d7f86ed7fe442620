#include "tests/support/EmulatedDevices.h"

#include "hid/platform/MainLoop.h"

#include <algorithm>
#include <iterator>

namespace apptest {

namespace {

emulator::DeviceIdentity Identity(std::uint16_t vid, std::uint16_t pid, std::uint16_t version,
                                  std::u16string product) {
  emulator::DeviceIdentity identity;
  identity.vendorId = vid;
  identity.productId = pid;
  identity.versionNumber = version;
  identity.manufacturer = u"Test Devices";
  identity.product = std::move(product);
  return identity;
}

// Output report data sizes of the keyboard's interfaces.
constexpr std::uint16_t kCommandOutputSize = 64;
constexpr std::uint16_t kOtherOutputSize = 1;

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

}  // namespace

std::shared_ptr<emulator::SimpleDeviceModel> MakeKeyboard(std::size_t interfaces,
                                                          std::uint16_t version) {
  auto identity = Identity(kKeyboardVid, kKeyboardPid, version, kKeyboardProduct);
  identity.serialNumber = u"KB-000123";
  identity.indexedStrings = {{1, identity.manufacturer}, {2, identity.product}, {3, u"KB-000123"}};
  for (std::size_t i = 0; i < interfaces; ++i) {
    const bool command = i == kCommandInterface;
    const auto reportId = static_cast<std::uint8_t>(command ? 9 : 0x20 + i);
    Append(identity.reportDescriptor,
           emulator::SimpleDeviceModel::VendorDescriptor(
               reportId, 8, command ? kCommandOutputSize : kOtherOutputSize,
               static_cast<std::uint16_t>(0xFF00 + i)));
  }
  return std::make_shared<emulator::SimpleDeviceModel>(std::move(identity));
}

std::vector<std::uint8_t> CommandReportFor(std::size_t interface, std::uint8_t code,
                                           std::uint8_t argument) {
  const std::size_t size = interface == kCommandInterface ? kCommandOutputSize : kOtherOutputSize;
  std::vector<std::uint8_t> report(size + 1, 0);
  const std::uint8_t command[] = {0x09, code, argument};
  std::copy_n(command, std::min(report.size(), std::size(command)), report.begin());
  return report;
}

std::shared_ptr<emulator::SimpleDeviceModel> MakeKeyboardWithOutputSizes(
    const std::vector<std::uint16_t>& outputSizes) {
  auto identity = Identity(kKeyboardVid, kKeyboardPid, 0x0105, kKeyboardProduct);
  for (std::size_t i = 0; i < outputSizes.size(); ++i) {
    Append(identity.reportDescriptor, emulator::SimpleDeviceModel::VendorDescriptor(
                                          static_cast<std::uint8_t>(9 + i), 0, outputSizes[i],
                                          static_cast<std::uint16_t>(0xFF00 + i)));
  }
  return std::make_shared<emulator::SimpleDeviceModel>(std::move(identity));
}

std::shared_ptr<emulator::SimpleDeviceModel> MakeBootLoader(std::uint16_t version) {
  auto identity = Identity(kBootLoaderVid, kBootLoaderPid, version, u"Boot Loader");
  identity.reportDescriptor = emulator::SimpleDeviceModel::VendorDescriptor(0, 64, 64);
  return std::make_shared<emulator::SimpleDeviceModel>(std::move(identity));
}

std::shared_ptr<emulator::SimpleDeviceModel> MakeOtherDevice(std::uint16_t vid, std::uint16_t pid) {
  auto identity = Identity(vid, pid, 0x2201, u"Optical Mouse");
  identity.reportDescriptor = emulator::SimpleDeviceModel::VendorDescriptor(0, 4, 0, 0x0001, 0x02);
  return std::make_shared<emulator::SimpleDeviceModel>(std::move(identity));
}

void RestartIntoBootLoaderOnUpdate(const std::shared_ptr<emulator::SimpleDeviceModel>& keyboard,
                                   std::shared_ptr<emulator::DeviceModel> bootLoader) {
  std::weak_ptr<emulator::SimpleDeviceModel> weak = keyboard;
  keyboard->SetOutputHandler([weak, bootLoader](emulator::SimpleDeviceModel& /*model*/,
                                                std::span<const std::uint8_t> report) {
    if (report.size() < 3 || report[0] != 0x09 || report[1] != 0x84 || report[2] != 0x57) return;
    // A test may end before the restart: the model may be gone by then.
    hidplatform::CurrentMainLoop().Post([weak, bootLoader] {
      if (auto model = weak.lock()) model->Reenumerate(bootLoader);
    });
  });
}

}  // namespace apptest
