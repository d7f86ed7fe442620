// The platform operations the HID layer and ISPDLL are built on.
//
// Everything above this interface (controller, device objects, reader thread,
// ISPDLL) reads the same on every platform; each backend (Linux, Windows, the
// in-process virtual bus of emulator/virtual/) provides all of these
// operations with the behaviour described at each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid/platform/MainLoop.h"

namespace hidplatform {

// A handle to one opened HID interface. Backends hand out small positive
// numbers; kInvalidHandle means "not open".
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// Platform error codes (the values a Windows host would report, so that logs
// read the same everywhere).
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorOperationAborted = 995;
inline constexpr std::uint32_t kErrorIoPending = 997;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

// One present HID interface, as an enumeration reports it.
struct InterfaceEntry {
  std::string path;  // opens the interface through Open()
  // Identifies the device instance across scans; a device that re-enumerates
  // gets a new value, and a value is not reused while the system runs.
  std::uint32_t deviceInstance = 0;
};

enum class Access {
  kReadWrite,       // synchronous handle for queries and writes
  kQueryOnly,       // identity, strings and capabilities only; writes fail
  kOverlappedRead,  // asynchronous reads (StartRead / WaitRead)
};

struct Attributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
};

// The capability record. Report lengths count the leading report-id byte,
// also for devices that use no report ids; a length is 0 when the interface
// has no report of that type.
struct Capabilities {
  std::uint16_t usage = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t inputReportByteLength = 0;
  std::uint16_t outputReportByteLength = 0;
  std::uint16_t featureReportByteLength = 0;
};

// The parsed report descriptor of one interface. Opaque to callers: obtained
// from GetPreparsedData, read through GetCaps, freed by destruction.
class PreparsedData {
 public:
  explicit PreparsedData(const Capabilities& caps) : caps_(caps) {}
  const Capabilities& caps() const { return caps_; }

 private:
  Capabilities caps_;
};

enum class WaitResult {
  kCompleted,  // the outstanding read ended (with data, or with an error)
  kTimedOut,   // the slice passed; the read is still outstanding
};

// Size in bytes of the buffers that device strings are copied into (254 UTF-16
// units). Strings are copied as UTF-16 and zero-terminated only when shorter.
inline constexpr std::size_t kStringBufferBytes = 508;

class HidBackend {
 public:
  virtual ~HidBackend() = default;

  // --- Binding. Enumeration ("setup library") and HID access ("HID library")
  // are bound separately, each all or nothing. ---
  virtual bool BindEnumeration() = 0;
  virtual void ReleaseEnumeration() = 0;
  virtual bool BindHidAccess() = 0;
  virtual void ReleaseHidAccess() = 0;

  // --- Enumeration ---
  // The HID interfaces present now, in the platform's order. False when the
  // enumeration itself failed (the caller then sees no device at all).
  virtual bool EnumerateInterfaces(std::vector<InterfaceEntry>& out) = 0;
  // A registry-style property of an interface (code as on Windows). Platforms
  // without such properties answer false; nothing in the product needs them.
  virtual bool GetRegistryProperty(const InterfaceEntry& /*entry*/, std::uint32_t /*code*/,
                                   std::vector<std::uint8_t>& /*out*/) {
    return false;
  }
  // The physical device an interface belongs to, to tell two identical
  // devices without serial numbers apart: the same for every interface of
  // one device, empty where the platform cannot say.
  virtual std::string PhysicalDevice(const std::string& /*path*/) { return {}; }

  // --- Handles ---
  // kInvalidHandle on failure, with LastError() set.
  virtual Handle Open(const std::string& path, Access access) = 0;
  // Closing a handle ends a read outstanding on it: WaitRead returns
  // kCompleted and GetReadResult fails.
  virtual void Close(Handle handle) = 0;

  // --- Queries (work on query-only handles too) ---
  virtual bool GetAttributes(Handle handle, Attributes& out) = 0;
  virtual std::unique_ptr<PreparsedData> GetPreparsedData(Handle handle) = 0;
  virtual bool GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) = 0;
  virtual bool GetProductString(Handle handle, void* buffer, std::size_t bytes) = 0;
  virtual bool GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) = 0;
  // Index 0 gives the device's language ids as 16-bit units.
  virtual bool GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                                std::size_t bytes) = 0;
  virtual bool GetNumInputBuffers(Handle handle, std::uint32_t& count) = 0;
  virtual bool SetNumInputBuffers(Handle handle, std::uint32_t count) = 0;

  // --- Reports ---
  // One complete output report, synchronously; the first byte is the report id.
  virtual bool Write(Handle handle, const std::uint8_t* data, std::size_t length,
                     std::uint32_t& written) = 0;
  // Starts one read into buffer (which must stay valid until the read ended
  // or was cancelled). The report arrives with its report id in byte 0 (0 for
  // devices without report ids). At most one read per handle.
  virtual bool StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) = 0;
  // Waits up to timeoutMs for the outstanding read to end.
  virtual WaitResult WaitRead(Handle handle, int timeoutMs) = 0;
  // Byte count of the read that ended; false when it ended with an error or
  // none ended.
  virtual bool GetReadResult(Handle handle, std::uint32_t& bytes) = 0;
  // Abandons the outstanding read on the handle.
  virtual bool CancelRead(Handle handle) = 0;

  // The calling thread's last error code of this backend.
  virtual std::uint32_t LastError() = 0;

  // --- Device-change notification ---
  // Calls onChange on the main thread (the loop's, or the platform's own
  // window messages) whenever the set of devices may have changed; events
  // that queued up meanwhile count as one change. Until the watch is
  // destroyed; null when the backend has no notifications. Made on the main
  // thread.
  virtual std::unique_ptr<SourceWatch> WatchChanges(MainLoop& loop,
                                                    std::function<void()> onChange) = 0;
};

// The backend in use by this process: the platform's own unless replaced.
HidBackend& CurrentBackend();

// Replaces the backend for the lifetime of the returned guard (tests,
// benchmarks, ISPDLL with the virtual bus). Not thread-safe: install before
// creating controllers or connecting.
class ScopedBackend {
 public:
  explicit ScopedBackend(HidBackend& backend);
  ~ScopedBackend();
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;

 private:
  HidBackend* previous_;
};

// Name of a language, for a language id; false when the id is unknown.
bool GetLocaleName(std::uint16_t languageId, std::string& name);

}  // namespace hidplatform
