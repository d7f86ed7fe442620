#include <chrono>

#include "base/TextEncoding.h"
#include "hid/DeviceInfo.h"
#include "hid/HidControllerClass.h"

namespace {
constexpr int kLastStringIndex = 255;
// Devices number their strings from 1 with few gaps: after this many empty
// indices in a row no more are asked for.
constexpr int kEmptyRunLimit = 16;
// The dialog reads on the main thread; a slow device must not hold it longer.
constexpr std::chrono::milliseconds kStringBudget{50};

bool IsSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}
}  // namespace

std::string DisplayText(std::u16string_view text) {
  if (auto utf8 = hidplatform::Utf16ToUtf8(text)) return *utf8;
  std::u16string repaired(text);
  for (std::size_t i = 0; i < repaired.size(); ++i) {
    const char16_t unit = repaired[i];
    const bool pairStart = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < repaired.size() &&
                           repaired[i + 1] >= 0xDC00 && repaired[i + 1] <= 0xDFFF;
    if (pairStart) {
      ++i;
    } else if (IsSurrogate(unit)) {
      repaired[i] = u'\uFFFD';
    }
  }
  return hidplatform::Utf16ToUtf8(repaired).value_or(std::string());
}

DeviceInfo ReadDeviceInfo(hid::THidDevice& device) {
  DeviceInfo info;
  info.vendorName = DisplayText(device.GetVendorName());
  info.productName = DisplayText(device.GetProductName());
  info.serialNumber = DisplayText(device.GetSerialNumber());
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
    if (!text.empty()) info.indexedStrings.emplace_back(index, text);
  }
  for (const std::string& name : device.GetLanguageStrings()) info.languages.push_back(name);
  return info;
}
