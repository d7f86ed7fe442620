#include "emulator/KeyboardReportDescriptors.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

// 8-byte boot keyboard input, 1-byte LED output; no report id, so that a
// BIOS can use it.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,  // modifier keys
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,  //
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // LEDs
    0x29, 0x05, 0x91, 0x02,                          //
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // six key codes
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //
    0xC0,
};

const Bytes kTouchpad = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01,  // Generic Desktop, Mouse, id 1
    0x09, 0x01, 0xA1, 0x00,                          // Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,  // three buttons
    0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  //
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,              // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,  // X, Y, wheel, relative
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03,  //
    0x81, 0x06, 0xC0, 0xC0,
};

const Bytes kConsumerControl = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,  // Consumer, Consumer Control, id 2
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A,  // one 16-bit usage
    0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00,  //
    0xC0,
};

const Bytes kSystemControl = {
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x03,  // Generic Desktop, System Control, id 3
    0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01,  // power down, sleep, wake up
    0x75, 0x01, 0x95, 0x03, 0x81, 0x02,              //
    0x95, 0x05, 0x81, 0x01,                          // padding
    0xC0,
};

// 64-byte command output and 64-byte answer input, report id 9.
const Bytes kVendorCommand = {
    0x06,
    0x00,
    0xFF,
    0x09,
    0x01,
    0xA1,
    0x01,
    0x85,
    kCommandReportId,  // vendor page FF00
    0x15,
    0x00,
    0x26,
    0xFF,
    0x00,
    0x75,
    0x08,  // bytes
    0x95,
    kCommandPayloadBytes,
    0x09,
    0x01,
    0x91,
    0x02,  // output
    0x95,
    kCommandPayloadBytes,
    0x09,
    0x01,
    0x81,
    0x02,  // input
    0xC0,
};

// A 32-byte vendor status input with the given report id and usage.
Bytes VendorStatus(std::uint8_t reportId, std::uint8_t usage) {
  return {0x06, 0x01, 0xFF, 0x09, usage, 0xA1, 0x01, 0x85,  reportId, 0x15, 0x00, 0x26,
          0xFF, 0x00, 0x75, 0x08, 0x95,  0x20, 0x09, usage, 0x81,     0x02, 0xC0};
}

Bytes DescriptorOf(KeyboardCollection collection) {
  switch (collection) {
    case KeyboardCollection::kBootKeyboard:
      return kBootKeyboard;
    case KeyboardCollection::kTouchpad:
      return kTouchpad;
    case KeyboardCollection::kConsumerControl:
      return kConsumerControl;
    case KeyboardCollection::kSystemControl:
      return kSystemControl;
    case KeyboardCollection::kVendorCommand:
      return kVendorCommand;
    case KeyboardCollection::kVendorStatus1:
      return VendorStatus(0x0A, 0x02);
    case KeyboardCollection::kVendorStatus2:
      return VendorStatus(0x0B, 0x03);
    case KeyboardCollection::kVendorStatus3:
      return VendorStatus(0x0C, 0x04);
  }
  return {};
}

}  // namespace

std::vector<KeyboardInterfaceLayout> KeyboardInterfaces(int collectionCount, InterfaceSplit split) {
  if (collectionCount < kMinCollectionCount || collectionCount > kMaxCollectionCount) {
    throw std::invalid_argument("the keyboard has " + std::to_string(kMinCollectionCount) + " to " +
                                std::to_string(kMaxCollectionCount) + " collections, not " +
                                std::to_string(collectionCount));
  }
  // Which collections a smaller keyboard keeps, most important first.
  static constexpr KeyboardCollection kByImportance[] = {
      KeyboardCollection::kBootKeyboard,  KeyboardCollection::kVendorCommand,
      KeyboardCollection::kTouchpad,      KeyboardCollection::kConsumerControl,
      KeyboardCollection::kSystemControl, KeyboardCollection::kVendorStatus1,
      KeyboardCollection::kVendorStatus2, KeyboardCollection::kVendorStatus3,
  };
  std::vector<KeyboardCollection> chosen(kByImportance, kByImportance + collectionCount);
  // Within an interface the collections stand in the enum's order, the
  // order of a real descriptor.
  std::sort(chosen.begin(), chosen.end());

  std::vector<KeyboardInterfaceLayout> interfaces;
  for (KeyboardCollection collection : chosen) {
    const bool boot = collection == KeyboardCollection::kBootKeyboard;
    const int number = split == InterfaceSplit::kOneCollectionEach
                           ? static_cast<int>(interfaces.size())
                           : (boot ? 0 : 1);
    if (interfaces.empty() || interfaces.back().interfaceNumber != number) {
      interfaces.push_back(KeyboardInterfaceLayout{number, {}, {}, !boot});
    }
    KeyboardInterfaceLayout& layout = interfaces.back();
    layout.collections.push_back(collection);
    const Bytes descriptor = DescriptorOf(collection);
    layout.reportDescriptor.insert(layout.reportDescriptor.end(), descriptor.begin(),
                                   descriptor.end());
  }
  return interfaces;
}

}  // namespace emulator
