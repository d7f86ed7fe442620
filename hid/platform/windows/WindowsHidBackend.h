// The Windows backend: the setup library ("SetupApi.dll") and the HID library
// ("HID.dll") bound at run time, CreateFile/WriteFile for handles and output
// reports, ReadFileEx with alertable waits for input reports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hid/platform/HidBackend.h"

namespace hidplatform {

class WindowsHidBackend : public HidBackend {
 public:
  struct Options {
    // The libraries bound; tests name one that lacks an entry point.
    std::string setupLibrary = "SetupApi.dll";
    std::string hidLibrary = "HID.dll";
  };

  explicit WindowsHidBackend(Options options);
  ~WindowsHidBackend() override;
  WindowsHidBackend(const WindowsHidBackend&) = delete;
  WindowsHidBackend& operator=(const WindowsHidBackend&) = delete;

  // The HID interface class as HidD_GetHidGuid reports it, in registry form
  // ("{4D1E55B2-...}"); empty while the HID library is not bound.
  std::string HidGuid() const;

  bool BindEnumeration() override;
  void ReleaseEnumeration() override;
  bool BindHidAccess() override;
  void ReleaseHidAccess() override;
  bool EnumerateInterfaces(std::vector<InterfaceEntry>& out) override;
  bool GetRegistryProperty(const InterfaceEntry& entry, std::uint32_t code,
                           std::vector<std::uint8_t>& out) override;
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
  // The hidden device-change window; the platform's message loop delivers.
  std::unique_ptr<SourceWatch> WatchChanges(MainLoop& loop,
                                            std::function<void()> onChange) override;

  struct Impl;  // also reached by the read completion routine

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace hidplatform
