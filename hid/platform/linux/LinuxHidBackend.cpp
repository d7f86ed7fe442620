#include "hid/platform/linux/LinuxHidBackend.h"

#include "base/TextEncoding.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "hid/platform/ModuleLoader.h"
#include "hid/platform/PendingRead.h"
#include "hid/platform/ReportDescriptor.h"
#include "hid/platform/linux/SysfsHidNode.h"
#include "hid/platform/linux/Udev.h"
#include "hid/platform/linux/UsbStrings.h"

namespace hidplatform {
namespace {

namespace fs = std::filesystem;

thread_local std::uint32_t lastError = kErrorSuccess;

bool Fail(std::uint32_t error) {
  lastError = error;
  return false;
}

std::uint32_t ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case ENODEV:
    case ENXIO:
    case EIO:
    case ESHUTDOWN:
      return kErrorDeviceNotConnected;
    default:
      return kErrorGenFailure;
  }
}

// hidraw keeps 64 reports per open file; the count is fixed.
constexpr std::uint32_t kHidrawBufferedReports = 64;

// How long a write may wait for a node that has no room.
constexpr std::chrono::milliseconds kWriteBudget{50};

// A descriptor owned by exactly one object.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace

// One opened interface. The descriptors close when the last user lets go, so
// a thread still waiting in poll() never sees a closed (and maybe reused)
// descriptor number; Close() wakes it through wake first.
struct HandleState {
  std::shared_ptr<const SysfsHidNode> node;  // shared by the handles of its collections
  std::size_t collection = 0;
  Access access = Access::kQueryOnly;
  // The hidraw node; none for query-only handles. Read-write handles open it
  // at their first write or read: a scan opens every interface read-write
  // only to learn whether it may, and opening a real node starts the
  // device's input traffic.
  UniqueFd fd;
  UniqueFd wake;  // eventfd: Close/CancelRead end a wait in progress
  std::uint32_t inputBuffers = kHidrawBufferedReports;

  std::mutex mutex;  // guards read, and the late opening of fd
  PendingRead read;

  // Caller holds mutex.
  int OpenNode() {
    if (fd.get() < 0 && access != Access::kQueryOnly) {
      const int flags = (access == Access::kReadWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
      fd = UniqueFd(::open(node->DevicePath().c_str(), flags));
    }
    return fd.get();
  }

  bool MakeWake() {
    if (wake.get() < 0) wake = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    return wake.get() >= 0;
  }
  void Wake() {
    const std::uint64_t one = 1;
    if (wake.get() >= 0 && ::write(wake.get(), &one, sizeof one) != sizeof one) {
      // Saturated counter: already readable.
    }
  }
};

struct LinuxHidBackend::Impl {
  Options options;
  fs::path root;

  std::mutex mutex;  // the handle table
  std::map<Handle, std::shared_ptr<HandleState>> handles;
  Handle nextHandle = 1;  // never reused, so a stale number never finds another handle

  std::unique_ptr<SysfsNodeCache> nodes;

  std::mutex bindMutex;
  std::unique_ptr<Udev> udev;
  // Where no udev monitor can be made (no netlink in a sandbox), a periodic
  // timer stands in for its events, so that changes are still seen.
  UniqueFd rescanTimer;
  UsbStrings usbStrings;
  bool hidAccessBound = false;

  std::shared_ptr<HandleState> Find(Handle handle) {
    std::lock_guard lock(mutex);
    auto it = handles.find(handle);
    if (it == handles.end()) return nullptr;
    return it->second;
  }
};

LinuxHidBackend::LinuxHidBackend(Options options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->root = impl_->options.root.empty() ? fs::path("/") : fs::path(impl_->options.root);
  impl_->nodes = std::make_unique<SysfsNodeCache>(impl_->root);
}

LinuxHidBackend::~LinuxHidBackend() = default;

namespace {

constexpr long kRescanIntervalMs = 1000;

UniqueFd PeriodicTimer(long intervalMs) {
  UniqueFd timer(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  const timespec interval{intervalMs / 1000, (intervalMs % 1000) * 1000000};
  const itimerspec period{interval, interval};
  if (timer.get() >= 0 && ::timerfd_settime(timer.get(), 0, &period, nullptr) != 0) return {};
  return timer;
}

}  // namespace

bool LinuxHidBackend::BindEnumeration() {
  std::lock_guard lock(impl_->bindMutex);
  if (impl_->udev) return true;
  impl_->udev = Udev::Bind(impl_->options.udevLibrary, impl_->root);
  if (impl_->udev && impl_->udev->MonitorFd() < 0) {
    impl_->rescanTimer = PeriodicTimer(kRescanIntervalMs);
    // Without any source of changes the binding would watch nothing.
    if (impl_->rescanTimer.get() < 0) impl_->udev.reset();
  }
  return impl_->udev != nullptr;
}

void LinuxHidBackend::ReleaseEnumeration() {
  std::lock_guard lock(impl_->bindMutex);
  impl_->udev.reset();
  impl_->rescanTimer = UniqueFd();
}

bool LinuxHidBackend::BindHidAccess() {
  std::lock_guard lock(impl_->bindMutex);
  // hidraw needs nothing beyond the C library.
  impl_->hidAccessBound = true;
  return true;
}

void LinuxHidBackend::ReleaseHidAccess() {
  std::lock_guard lock(impl_->bindMutex);
  impl_->hidAccessBound = false;
}

bool LinuxHidBackend::EnumerateInterfaces(std::vector<InterfaceEntry>& out) {
  out.clear();
  std::vector<std::shared_ptr<const SysfsHidNode>> nodes;
  if (!impl_->nodes->List(nodes)) return Fail(kErrorGenFailure);
  for (const auto& node : nodes) {
    const std::size_t collections = node->CollectionCount();
    for (std::size_t i = 0; i < collections; ++i) {
      out.push_back(InterfaceEntry{node->InterfacePath(i, collections), node->InstanceId(i)});
    }
  }
  return true;
}

std::string LinuxHidBackend::PhysicalDevice(const std::string& path) {
  std::size_t collection = 0;
  const auto node = impl_->nodes->FromInterfacePath(path, collection);
  if (!node || node->UsbDeviceName().empty()) return {};
  return "usb " + node->UsbDeviceName();
}

Handle LinuxHidBackend::Open(const std::string& path, Access access) {
  auto state = std::make_shared<HandleState>();
  std::size_t collection = 0;
  state->node = impl_->nodes->FromInterfacePath(path, collection);
  if (!state->node) {
    Fail(kErrorFileNotFound);
    return kInvalidHandle;
  }
  state->collection = collection;
  state->access = access;
  // No retry when the node is missing: the kernel makes the /dev node before
  // it announces the device, and a sandbox that shows sysfs without /dev
  // would make every scan wait for every interface.
  if (access == Access::kReadWrite &&
      ::faccessat(AT_FDCWD, state->node->DevicePath().c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    Fail(ErrorFromErrno(errno));
    return kInvalidHandle;
  }
  if (access == Access::kOverlappedRead) {
    if (state->OpenNode() < 0) {
      Fail(ErrorFromErrno(errno));
      return kInvalidHandle;
    }
    if (!state->MakeWake()) {
      Fail(kErrorGenFailure);
      return kInvalidHandle;
    }
  }
  std::lock_guard lock(impl_->mutex);
  const Handle handle = impl_->nextHandle++;
  impl_->handles[handle] = std::move(state);
  return handle;
}

void LinuxHidBackend::Close(Handle handle) {
  std::shared_ptr<HandleState> state;
  {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->handles.find(handle);
    if (it == impl_->handles.end()) return;
    state = std::move(it->second);
    impl_->handles.erase(it);
  }
  std::lock_guard lock(state->mutex);
  state->read.Abort(kErrorOperationAborted);
  state->Wake();
}

bool LinuxHidBackend::GetAttributes(Handle handle, Attributes& out) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  // Its /dev node, just found, shows that the device is still there; only
  // query-only handles look at sysfs again.
  const bool present = state->access != Access::kQueryOnly || state->node->Present();
  if (!present || !state->node->ReadAttributes(out)) return Fail(kErrorDeviceNotConnected);
  return true;
}

std::unique_ptr<PreparsedData> LinuxHidBackend::GetPreparsedData(Handle handle) {
  auto state = impl_->Find(handle);
  if (!state) {
    Fail(kErrorInvalidHandle);
    return nullptr;
  }
  return std::make_unique<PreparsedData>(state->node->CollectionCaps(state->collection));
}

namespace {

bool CopyText(const std::u16string& text, void* buffer, std::size_t bytes) {
  if (text.empty()) return Fail(kErrorGenFailure);
  CopyWideString(text, buffer, bytes);
  return true;
}

}  // namespace

bool LinuxHidBackend::GetManufacturerString(Handle handle, void* buffer, std::size_t bytes) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  return CopyText(state->node->Manufacturer(), buffer, bytes);
}

bool LinuxHidBackend::GetProductString(Handle handle, void* buffer, std::size_t bytes) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  return CopyText(state->node->Product(), buffer, bytes);
}

bool LinuxHidBackend::GetSerialNumberString(Handle handle, void* buffer, std::size_t bytes) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  return CopyText(state->node->SerialNumber(), buffer, bytes);
}

bool LinuxHidBackend::GetIndexedString(Handle handle, std::uint32_t index, void* buffer,
                                       std::size_t bytes) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  // Not in sysfs: read from the USB device itself where that is possible.
  int bus = 0;
  int address = 0;
  if (index > 255 || !state->node->UsbAddress(bus, address)) return Fail(kErrorGenFailure);
  std::u16string text;
  if (index == 0) {
    std::vector<std::uint16_t> languages;
    if (!impl_->usbStrings.Languages(bus, address, languages)) return Fail(kErrorGenFailure);
    text.assign(languages.begin(), languages.end());
  } else if (!impl_->usbStrings.String(bus, address, static_cast<std::uint8_t>(index), text)) {
    return Fail(kErrorGenFailure);
  }
  return CopyText(text, buffer, bytes);
}

bool LinuxHidBackend::GetNumInputBuffers(Handle handle, std::uint32_t& count) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  count = state->inputBuffers;
  return true;
}

bool LinuxHidBackend::SetNumInputBuffers(Handle handle, std::uint32_t count) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  // hidraw's queue has a fixed length; only that value is accepted.
  if (count != kHidrawBufferedReports) return Fail(kErrorGenFailure);
  return true;
}

bool LinuxHidBackend::Write(Handle handle, const std::uint8_t* data, std::size_t length,
                            std::uint32_t& written) {
  written = 0;
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  if (state->access != Access::kReadWrite) return Fail(kErrorAccessDenied);
  if (data == nullptr || length == 0) return Fail(kErrorGenFailure);
  // The node was opened non-blocking for polling; a write that would block
  // waits for room instead of failing half-way, but only briefly: writes run
  // on the main thread, and hidraw's poll says "writable" even while its
  // writes keep failing.
  int fd = -1;
  {
    std::lock_guard lock(state->mutex);
    fd = state->OpenNode();
  }
  if (fd < 0) return Fail(ErrorFromErrno(errno));
  const auto deadline = std::chrono::steady_clock::now() + kWriteBudget;
  for (;;) {
    const ssize_t n = ::write(fd, data, length);
    if (n >= 0) {
      if (static_cast<std::size_t>(n) != length) return Fail(kErrorGenFailure);
      written = static_cast<std::uint32_t>(n);
      return true;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return Fail(ErrorFromErrno(errno));
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Fail(kErrorGenFailure);
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // no spinning on a false "ready"
    }
  }
}

bool LinuxHidBackend::StartRead(Handle handle, std::uint8_t* buffer, std::size_t length) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  if (state->access == Access::kQueryOnly) return Fail(kErrorAccessDenied);
  if (buffer == nullptr || length == 0) return Fail(kErrorGenFailure);
  std::lock_guard lock(state->mutex);
  if (state->read.Outstanding()) return Fail(kErrorGenFailure);
  if (!state->node->Present()) return Fail(kErrorDeviceNotConnected);
  if (state->OpenNode() < 0) return Fail(ErrorFromErrno(errno));
  if (!state->MakeWake()) return Fail(kErrorGenFailure);
  std::uint64_t drained = 0;
  while (::read(state->wake.get(), &drained, sizeof drained) == sizeof drained) {
  }
  state->read.Start(buffer, length);
  return true;
}

WaitResult LinuxHidBackend::WaitRead(Handle handle, int timeoutMs) {
  auto state = impl_->Find(handle);
  if (!state) return WaitResult::kCompleted;  // closed: its read has ended
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  std::vector<std::uint8_t> report;
  for (;;) {
    {
      std::lock_guard lock(state->mutex);
      if (!state->read.Outstanding()) return WaitResult::kCompleted;
      report.resize(std::max<std::size_t>(state->read.Length(), 1) + 1);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fds[2] = {{state->fd.get(), POLLIN, 0}, {state->wake.get(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    std::lock_guard lock(state->mutex);
    if (!state->read.Outstanding()) return WaitResult::kCompleted;  // cancelled or closed
    if (ready < 0) {
      state->read.Abort(ErrorFromErrno(errno));
      return WaitResult::kCompleted;
    }
    if (ready == 0) return WaitResult::kTimedOut;
    if ((fds[0].revents & POLLIN) != 0) {
      // Reports of the node's other collections are not this interface's.
      const bool withIds = state->node->UsesReportIds();
      std::uint8_t* target = withIds ? report.data() : report.data() + 1;
      const ssize_t n = ::read(state->fd.get(), target, report.size() - 1);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        state->read.Abort(ErrorFromErrno(errno));
        return WaitResult::kCompleted;
      }
      std::size_t size = static_cast<std::size_t>(n);
      if (!withIds) {
        report[0] = 0;  // reads hand over the report id first, 0 without ids
        ++size;
      } else if (n > 0 && !state->node->OwnsReport(state->collection, report[0])) {
        continue;
      }
      if (n == 0) size = 0;
      state->read.Complete(std::span(report.data(), size));
      return WaitResult::kCompleted;
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      state->read.Abort(kErrorDeviceNotConnected);
      return WaitResult::kCompleted;
    }
  }
}

bool LinuxHidBackend::GetReadResult(Handle handle, std::uint32_t& bytes) {
  bytes = 0;
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  std::lock_guard lock(state->mutex);
  std::uint32_t code = kErrorSuccess;
  return state->read.Result(bytes, code) || Fail(code);
}

bool LinuxHidBackend::CancelRead(Handle handle) {
  auto state = impl_->Find(handle);
  if (!state) return Fail(kErrorInvalidHandle);
  std::lock_guard lock(state->mutex);
  if (state->read.Outstanding()) {
    state->read.Abort(kErrorOperationAborted);
    state->Wake();
  }
  return true;
}

std::uint32_t LinuxHidBackend::LastError() {
  return lastError;
}

int LinuxHidBackend::ChangeNotificationFd() {
  std::lock_guard lock(impl_->bindMutex);
  if (!impl_->udev) return -1;
  return impl_->rescanTimer.get() >= 0 ? impl_->rescanTimer.get() : impl_->udev->MonitorFd();
}

void LinuxHidBackend::DrainChangeNotifications() {
  std::lock_guard lock(impl_->bindMutex);
  if (!impl_->udev) return;
  if (impl_->rescanTimer.get() >= 0) {
    std::uint64_t expirations = 0;
    if (::read(impl_->rescanTimer.get(), &expirations, sizeof expirations) < 0) {
      // Not expired yet (EAGAIN): nothing to drain.
    }
    return;
  }
  impl_->udev->DrainMonitor();
}

std::unique_ptr<SourceWatch> LinuxHidBackend::WatchChanges(MainLoop& loop,
                                                           std::function<void()> onChange) {
  const int fd = ChangeNotificationFd();
  if (fd < 0) return nullptr;
  return loop.Watch(fd, [this, onChange = std::move(onChange)] {
    // However many events were queued, they are one change.
    DrainChangeNotifications();
    onChange();
  });
}

}  // namespace hidplatform
