#include <QString>
#include <chrono>

#include "hid/HidControllerClass.h"
#include "hid/info/DeviceInfo.h"

namespace {
constexpr int kLastStringIndex = 255;
// Devices number their strings from 1 with few gaps: after this many empty
// indices in a row no more are asked for.
constexpr int kEmptyRunLimit = 16;
// The dialog reads on the main thread; a slow device must not hold it longer.
constexpr std::chrono::milliseconds kStringBudget{50};
}  // namespace

DeviceInfo ReadDeviceInfo(hid::THidDevice& device) {
  DeviceInfo info;
  info.vendorName = QString::fromStdU16String(device.GetVendorName());
  info.productName = QString::fromStdU16String(device.GetProductName());
  info.serialNumber = QString::fromStdU16String(device.GetSerialNumber());
  const hid::HIDD_ATTRIBUTES& attributes = device.Attributes();
  info.vendorId = attributes.VendorID;
  info.productId = attributes.ProductID;
  info.versionNumber = attributes.VersionNumber;
  hid::HIDP_CAPS caps;
  device.GetCapabilities(caps);
  info.inputReportLength = caps.InputReportByteLength;
  info.outputReportLength = caps.OutputReportByteLength;
  info.featureReportLength = caps.FeatureReportByteLength;
  // Index 0 is the language list, not a string.
  const auto deadline = std::chrono::steady_clock::now() + kStringBudget;
  int emptyRun = 0;
  for (int index = 1; index <= kLastStringIndex && emptyRun < kEmptyRunLimit &&
                      std::chrono::steady_clock::now() < deadline;
       ++index) {
    const std::string text = device.GetIndexedString(static_cast<std::uint8_t>(index));
    emptyRun = text.empty() ? emptyRun + 1 : 0;
    if (!text.empty()) info.indexedStrings.emplace_back(index, QString::fromLocal8Bit(text));
  }
  for (const std::string& name : device.GetLanguageStrings()) {
    info.languages.append(QString::fromLocal8Bit(name));
  }
  return info;
}
