#include "hid/platform/linux/UsbStrings.h"

#include <sys/types.h>

#include <algorithm>
#include <chrono>

namespace hidplatform {

// The few libusb-1.0 entry points used; declared here so that no
// development package is needed.
struct UsbStrings::Api {
  int (*libusb_init)(void**);
  void (*libusb_exit)(void*);
  ssize_t (*libusb_get_device_list)(void*, void***);
  void (*libusb_free_device_list)(void**, int);
  std::uint8_t (*libusb_get_bus_number)(void*);
  std::uint8_t (*libusb_get_device_address)(void*);
  int (*libusb_open)(void*, void**);
  void (*libusb_close)(void*);
  int (*libusb_control_transfer)(void*, std::uint8_t, std::uint8_t, std::uint16_t, std::uint16_t,
                                 unsigned char*, std::uint16_t, unsigned int);
};

namespace {

constexpr std::uint8_t kDeviceToHost = 0x80;
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint16_t kStringDescriptor = 0x03;
// A device answers a string request within a few milliseconds, and the
// caller is the main thread.
constexpr unsigned kTimeoutMs = 50;
constexpr int kLibusbErrorTimeout = -7;
// A device that let a request time out is not asked again for a while: the
// dialog's further requests to it fail at once instead of waiting each.
constexpr auto kQuietAfterTimeout = std::chrono::seconds(5);
// The language list is asked before every string; kept briefly, it is asked
// once per dialog.
constexpr auto kLanguagesKept = std::chrono::seconds(2);

int DeviceKey(int bus, int address) {
  return (bus << 8) | (address & 0xFF);
}

}  // namespace

UsbStrings::UsbStrings() = default;

UsbStrings::~UsbStrings() {
  if (api_ && context_ != nullptr) api_->libusb_exit(context_);
  CloseLibrary(library_);
}

bool UsbStrings::Bind() {
  if (tried_) return context_ != nullptr;
  tried_ = true;
  if (!OpenLibrary(library_, "libusb-1.0.so.0")) return false;
  api_ = std::make_unique<Api>();
  bool allFound = true;
  ResolveEntry(library_, "libusb_init", api_->libusb_init, allFound);
  ResolveEntry(library_, "libusb_exit", api_->libusb_exit, allFound);
  ResolveEntry(library_, "libusb_get_device_list", api_->libusb_get_device_list, allFound);
  ResolveEntry(library_, "libusb_free_device_list", api_->libusb_free_device_list, allFound);
  ResolveEntry(library_, "libusb_get_bus_number", api_->libusb_get_bus_number, allFound);
  ResolveEntry(library_, "libusb_get_device_address", api_->libusb_get_device_address, allFound);
  ResolveEntry(library_, "libusb_open", api_->libusb_open, allFound);
  ResolveEntry(library_, "libusb_close", api_->libusb_close, allFound);
  ResolveEntry(library_, "libusb_control_transfer", api_->libusb_control_transfer, allFound);
  if (!allFound || api_->libusb_init(&context_) != 0) {
    context_ = nullptr;
    api_.reset();
    CloseLibrary(library_);
    return false;
  }
  return true;
}

bool UsbStrings::Descriptor(int bus, int address, std::uint8_t index, std::uint16_t language,
                            std::vector<std::uint16_t>& units) {
  if (!Bind()) return false;
  const int key = DeviceKey(bus, address);
  const auto now = std::chrono::steady_clock::now();
  if (auto quiet = quietUntil_.find(key); quiet != quietUntil_.end()) {
    if (now < quiet->second) return false;
    quietUntil_.erase(quiet);
  }
  void** list = nullptr;
  const ssize_t count = api_->libusb_get_device_list(context_, &list);
  if (count < 0) return false;
  void* handle = nullptr;
  for (ssize_t i = 0; i < count && handle == nullptr; ++i) {
    if (api_->libusb_get_bus_number(list[i]) == bus &&
        api_->libusb_get_device_address(list[i]) == address) {
      if (api_->libusb_open(list[i], &handle) != 0) handle = nullptr;
    }
  }
  api_->libusb_free_device_list(list, 1);
  if (handle == nullptr) return false;  // gone, or no permission on its usbfs node
  unsigned char buffer[255] = {};
  const int n =
      api_->libusb_control_transfer(handle, kDeviceToHost, kGetDescriptor,
                                    static_cast<std::uint16_t>((kStringDescriptor << 8) | index),
                                    language, buffer, sizeof buffer, kTimeoutMs);
  api_->libusb_close(handle);
  if (n == kLibusbErrorTimeout) quietUntil_[key] = now + kQuietAfterTimeout;
  // bLength, bDescriptorType (3), then UTF-16LE units.
  if (n < 2 || buffer[1] != kStringDescriptor) return false;
  const int length = std::min<int>(n, buffer[0]);
  units.clear();
  for (int i = 2; i + 1 < length; i += 2) {
    units.push_back(static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8)));
  }
  return true;
}

bool UsbStrings::Languages(int bus, int address, std::vector<std::uint16_t>& out) {
  std::lock_guard lock(mutex_);
  return CachedLanguages(bus, address, out);
}

bool UsbStrings::CachedLanguages(int bus, int address, std::vector<std::uint16_t>& out) {
  const auto now = std::chrono::steady_clock::now();
  auto& cached = languages_[DeviceKey(bus, address)];
  if (now - cached.read > kLanguagesKept || cached.ids.empty()) {
    cached.ids.clear();
    if (!Descriptor(bus, address, 0, 0, cached.ids)) cached.ids.clear();
    cached.read = now;
  }
  out = cached.ids;
  return !out.empty();
}

bool UsbStrings::String(int bus, int address, std::uint8_t index, std::u16string& out) {
  std::lock_guard lock(mutex_);
  std::vector<std::uint16_t> languages;
  if (index == 0 || !CachedLanguages(bus, address, languages)) return false;
  std::vector<std::uint16_t> units;
  if (!Descriptor(bus, address, index, languages.front(), units) || units.empty()) return false;
  out.assign(units.begin(), units.end());
  return true;
}

}  // namespace hidplatform
