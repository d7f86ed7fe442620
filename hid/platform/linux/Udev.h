// libudev, bound at run time: a monitor of hidraw add/remove events whose
// descriptor the main loop watches. Declares the few prototypes it needs
// itself, so that no development package is required to build.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "hid/platform/ModuleLoader.h"

namespace hidplatform {

class Udev {
  struct Key {};

 public:
  explicit Udev(Key);
  // Loads the library and every entry point, or nothing (nullptr). root
  // decides the event source: udev's own events where udevd runs (they come
  // after its rules set the node's permissions), the kernel's otherwise.
  static std::unique_ptr<Udev> Bind(const std::string& library, const std::filesystem::path& root);
  ~Udev();
  Udev(const Udev&) = delete;
  Udev& operator=(const Udev&) = delete;

  // -1 when no monitor could be created.
  int MonitorFd() const;
  // Receives and drops every queued event.
  void DrainMonitor();

 private:
  struct Api;

  LibraryHandle library_ = nullptr;
  std::unique_ptr<Api> api_;
  void* udev_ = nullptr;
  void* monitor_ = nullptr;
};

}  // namespace hidplatform
