// The USB interfaces of the keyboard in application mode and their HID
// report descriptors, for a chosen number of top-level collections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

enum class KeyboardCollection {
  kBootKeyboard,     // interface 0, no report ids
  kTouchpad,         // mouse-style touchpad, report id 1
  kConsumerControl,  // media keys, report id 2
  kSystemControl,    // power, sleep, wake; report id 3
  kVendorCommand,    // the command collection, report id 9
  kVendorStatus1,    // further vendor collections, report ids 10, 11, ...
  kVendorStatus2,
  kVendorStatus3,
};

inline constexpr std::uint8_t kCommandReportId = 9;
// Payload of the command collection's output (and input) report, without the id.
inline constexpr std::size_t kCommandPayloadBytes = 64;

// The keyboard as sold has six collections; fewer or more are for tests of
// the window's counting.
inline constexpr int kDefaultCollectionCount = 6;
inline constexpr int kMinCollectionCount = 1;
inline constexpr int kMaxCollectionCount = 8;

struct KeyboardInterfaceLayout {
  int interfaceNumber = 0;
  std::vector<KeyboardCollection> collections;
  std::vector<std::uint8_t> reportDescriptor;
  bool usesReportIds = false;
};

// How the collections are spread over the interfaces.
enum class InterfaceSplit {
  // As sold: interface 0 holds the boot keyboard, interface 1 the rest.
  kAsSold,
  // Every collection an interface of its own, numbered in order: on Linux
  // each becomes a hidraw node, and Wine shows one HID interface per node,
  // so Windows programs under Wine see every collection as they would on
  // Windows.
  kOneCollectionEach,
};

// The interfaces for collectionCount top-level collections. The boot
// keyboard comes first, then the command collection, then touchpad,
// consumer, system control and the vendor collections, so that every count
// from two up can receive the update command. Throws std::invalid_argument
// outside [kMinCollectionCount, kMaxCollectionCount].
std::vector<KeyboardInterfaceLayout> KeyboardInterfaces(
    int collectionCount, InterfaceSplit split = InterfaceSplit::kAsSold);

}  // namespace emulator
