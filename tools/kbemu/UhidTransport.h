// Carries device models on the kernel's uhid interface: each plugged model
// becomes a HID device with its own hidraw node, output reports written to
// the node reach the model, its input reports reach the readers.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "emulator/KeyboardComposite.h"
#include "tools/kbemu/UhidDevice.h"

namespace kbemu {

class UhidTransport final : public emulator::KeyboardTransport {
 public:
  using Log = std::function<void(const std::string&)>;

  UhidTransport(std::string devicePath, Log log);
  // Destroys every device still present.
  ~UhidTransport() override;
  UhidTransport(const UhidTransport&) = delete;
  UhidTransport& operator=(const UhidTransport&) = delete;

  DeviceId Plug(std::shared_ptr<emulator::DeviceModel> model) override;
  void Unplug(DeviceId id) override;
  void Post(std::chrono::milliseconds delay, std::function<void()> task) override;

  // Serves the devices and runs posted tasks until stopFd becomes readable
  // (e.g. a signalfd) or Stop() is called. Rethrows what a task throws.
  void Run(int stopFd);
  void Stop();
  std::size_t DeviceCount() const { return devices_.size(); }

 private:
  class Host;
  struct Device {
    std::unique_ptr<UhidDevice> uhid;
    std::shared_ptr<emulator::DeviceModel> model;
    std::unique_ptr<Host> host;
  };
  using Clock = std::chrono::steady_clock;

  void ServeEvents(DeviceId id);
  void RunDueTasks();
  int MillisecondsToNextTask();

  std::string devicePath_;
  Log log_;
  std::map<DeviceId, Device> devices_;
  DeviceId nextId_ = 1;

  std::mutex tasksMutex_;
  std::multimap<Clock::time_point, std::function<void()>> tasks_;
  int wakeFd_ = -1;  // eventfd: a task was posted, or Stop()
  std::atomic<bool> stopping_{false};
};

}  // namespace kbemu
