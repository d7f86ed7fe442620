#include "hid/platform/linux/Udev.h"

namespace hidplatform {

struct Udev::Api {
  void* (*udev_new)();
  void* (*udev_unref)(void*);
  void* (*udev_monitor_new_from_netlink)(void*, const char*);
  int (*udev_monitor_filter_add_match_subsystem_devtype)(void*, const char*, const char*);
  int (*udev_monitor_enable_receiving)(void*);
  int (*udev_monitor_get_fd)(void*);
  void* (*udev_monitor_receive_device)(void*);
  void* (*udev_device_unref)(void*);
  void* (*udev_monitor_unref)(void*);
};

Udev::Udev(Key) {}

std::unique_ptr<Udev> Udev::Bind(const std::string& library, const std::filesystem::path& root) {
  auto udev = std::make_unique<Udev>(Key{});
  if (!OpenLibrary(udev->library_, library.c_str())) return nullptr;
  udev->api_ = std::make_unique<Api>();
  Api& api = *udev->api_;
  bool allFound = true;
  ResolveEntry(udev->library_, "udev_new", api.udev_new, allFound);
  ResolveEntry(udev->library_, "udev_unref", api.udev_unref, allFound);
  ResolveEntry(udev->library_, "udev_monitor_new_from_netlink", api.udev_monitor_new_from_netlink,
               allFound);
  ResolveEntry(udev->library_, "udev_monitor_filter_add_match_subsystem_devtype",
               api.udev_monitor_filter_add_match_subsystem_devtype, allFound);
  ResolveEntry(udev->library_, "udev_monitor_enable_receiving", api.udev_monitor_enable_receiving,
               allFound);
  ResolveEntry(udev->library_, "udev_monitor_get_fd", api.udev_monitor_get_fd, allFound);
  ResolveEntry(udev->library_, "udev_monitor_receive_device", api.udev_monitor_receive_device,
               allFound);
  ResolveEntry(udev->library_, "udev_device_unref", api.udev_device_unref, allFound);
  ResolveEntry(udev->library_, "udev_monitor_unref", api.udev_monitor_unref, allFound);
  if (!allFound) return nullptr;  // the destructor unloads the library

  udev->udev_ = api.udev_new();
  if (udev->udev_ == nullptr) return nullptr;
  std::error_code ec;
  const bool udevdRuns = std::filesystem::exists(root / "run" / "udev" / "control", ec);
  udev->monitor_ = api.udev_monitor_new_from_netlink(udev->udev_, udevdRuns ? "udev" : "kernel");
  if (udev->monitor_ != nullptr) {
    if (api.udev_monitor_filter_add_match_subsystem_devtype(udev->monitor_, "hidraw", nullptr) <
            0 ||
        api.udev_monitor_enable_receiving(udev->monitor_) < 0) {
      api.udev_monitor_unref(udev->monitor_);
      udev->monitor_ = nullptr;
    }
  }
  return udev;
}

Udev::~Udev() {
  if (api_) {
    if (monitor_ != nullptr) api_->udev_monitor_unref(monitor_);
    if (udev_ != nullptr) api_->udev_unref(udev_);
  }
  CloseLibrary(library_);
}

int Udev::MonitorFd() const {
  return monitor_ != nullptr ? api_->udev_monitor_get_fd(monitor_) : -1;
}

void Udev::DrainMonitor() {
  if (monitor_ == nullptr) return;
  // The monitor's socket is non-blocking: this ends when the queue is empty.
  while (void* device = api_->udev_monitor_receive_device(monitor_)) {
    api_->udev_device_unref(device);
  }
}

}  // namespace hidplatform
