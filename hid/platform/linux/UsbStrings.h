// USB string descriptors (the language list and strings by index), which
// sysfs does not offer, read through libusb-1.0 bound at run time. Optional:
// without the library, or without access to the device, there are none.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid/platform/ModuleLoader.h"

namespace hidplatform {

class UsbStrings {
 public:
  UsbStrings();
  ~UsbStrings();
  UsbStrings(const UsbStrings&) = delete;
  UsbStrings& operator=(const UsbStrings&) = delete;

  // The device's language ids (string descriptor 0).
  bool Languages(int bus, int address, std::vector<std::uint16_t>& out);
  // String descriptor `index` in the device's first language.
  bool String(int bus, int address, std::uint8_t index, std::u16string& out);

 private:
  struct Api;
  // Raw descriptor (after its two header bytes) as 16-bit units.
  bool Descriptor(int bus, int address, std::uint8_t index, std::uint16_t language,
                  std::vector<std::uint16_t>& units);
  bool Bind();
  // The language list, asked again only after a while; caller holds mutex_.
  bool CachedLanguages(int bus, int address, std::vector<std::uint16_t>& out);

  std::mutex mutex_;
  bool tried_ = false;
  LibraryHandle library_ = nullptr;
  std::unique_ptr<Api> api_;
  void* context_ = nullptr;
  struct KeptLanguages {
    std::vector<std::uint16_t> ids;
    std::chrono::steady_clock::time_point read;
  };
  std::map<int, KeptLanguages> languages_;                           // by bus and address
  std::map<int, std::chrono::steady_clock::time_point> quietUntil_;  // devices that timed out
};

}  // namespace hidplatform
