// The Linux backend: sysfs for identity, strings and report descriptors,
// /dev/hidraw for reports, libudev (bound at run time) for change
// notifications, or a rescan every second where libudev can make no monitor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hid/platform/HidBackend.h"

namespace hidplatform {

class LinuxHidBackend : public HidBackend {
 public:
  struct Options {
    // Prefix of every sysfs and /dev path; tests point it at a tree they build.
    std::string root = "/";
    // The library bound for enumeration and notifications.
    std::string udevLibrary = "libudev.so.1";
  };

  explicit LinuxHidBackend(Options options);
  ~LinuxHidBackend() override;
  LinuxHidBackend(const LinuxHidBackend&) = delete;
  LinuxHidBackend& operator=(const LinuxHidBackend&) = delete;

  bool BindEnumeration() override;
  void ReleaseEnumeration() override;
  bool BindHidAccess() override;
  void ReleaseHidAccess() override;
  bool EnumerateInterfaces(std::vector<InterfaceEntry>& out) override;
  std::string PhysicalDevice(const std::string& path) override;
  Handle Open(const std::string& path, Access access) override;
  void Close(Handle handle) override;
  bool GetAttributes(Handle handle, Attributes& out) override;
  std::unique_ptr<PreparsedData> GetPreparsedData(Handle handle) override;
  bool GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetProductString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) override;
  bool GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                        std::size_t bytes) override;
  bool GetNumInputBuffers(Handle handle, std::uint32_t& count) override;
  bool SetNumInputBuffers(Handle handle, std::uint32_t count) override;
  bool Write(Handle handle, const std::uint8_t* data, std::size_t length,
             std::uint32_t& written) override;
  bool StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) override;
  WaitResult WaitRead(Handle handle, int timeoutMs) override;
  bool GetReadResult(Handle handle, std::uint32_t& bytes) override;
  bool CancelRead(Handle handle) override;
  std::uint32_t LastError() override;
  std::unique_ptr<SourceWatch> WatchChanges(MainLoop& loop,
                                            std::function<void()> onChange) override;
  // The udev monitor's descriptor (-1 without one), and emptying its queue.
  int ChangeNotificationFd();
  void DrainChangeNotifications();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hidplatform
