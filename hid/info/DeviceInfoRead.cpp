#include <QString>

#include "hid/HidControllerClass.h"
#include "hid/info/DeviceInfo.h"

namespace {
constexpr int kLastStringIndex = 255;
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
  for (int index = 1; index <= kLastStringIndex; ++index) {
    const std::string text = device.GetIndexedString(static_cast<std::uint8_t>(index));
    if (!text.empty()) info.indexedStrings.emplace_back(index, QString::fromLocal8Bit(text));
  }
  for (const std::string& name : device.GetLanguageStrings()) {
    info.languages.append(QString::fromLocal8Bit(name));
  }
  return info;
}
