#include "tools/kbemu/UhidTransport.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kbemu {

// The transport's side as one device's model sees it.
class UhidTransport::Host final : public emulator::DeviceHost {
 public:
  Host(UhidTransport& transport, DeviceId id, UhidDevice& uhid)
      : transport_(transport), id_(id), uhid_(uhid) {}

  void SendInputReport(std::span<const std::uint8_t> report) override {
    if (!uhid_.SendInput(report)) {
      transport_.log_("input report refused by the kernel: " + std::string(std::strerror(errno)));
    }
  }

  void Reenumerate(std::shared_ptr<emulator::DeviceModel> next) override {
    UhidTransport& transport = transport_;
    const DeviceId id = id_;
    transport.Post(std::chrono::milliseconds(0), [&transport, id, next] {
      transport.Unplug(id);
      if (next) transport.Plug(next);
    });
  }

 private:
  UhidTransport& transport_;
  DeviceId id_;
  UhidDevice& uhid_;
};

UhidTransport::UhidTransport(std::string devicePath, Log log)
    : devicePath_(std::move(devicePath)), log_(std::move(log)) {
  if (!log_) log_ = [](const std::string&) {};
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) throw UhidError("eventfd: " + std::string(std::strerror(errno)));
}

UhidTransport::~UhidTransport() {
  while (!devices_.empty()) Unplug(devices_.begin()->first);
  ::close(wakeFd_);
}

UhidTransport::DeviceId UhidTransport::Plug(std::shared_ptr<emulator::DeviceModel> model) {
  const DeviceId id = nextId_++;
  Device device;
  device.uhid = std::make_unique<UhidDevice>(devicePath_, model->Identity(),
                                             "kbemu/input" + std::to_string(id));
  device.host = std::make_unique<Host>(*this, id, *device.uhid);
  device.model = std::move(model);
  device.model->Attach(device.host.get());
  devices_.emplace(id, std::move(device));
  return id;
}

void UhidTransport::Unplug(DeviceId id) {
  auto it = devices_.find(id);
  if (it == devices_.end()) return;
  // The model lets go of the host before the device disappears, so no
  // input report is written to a destroyed device.
  it->second.model->Attach(nullptr);
  devices_.erase(it);
}

void UhidTransport::Post(std::chrono::milliseconds delay, std::function<void()> task) {
  {
    std::lock_guard lock(tasksMutex_);
    tasks_.emplace(Clock::now() + delay, std::move(task));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void UhidTransport::Stop() {
  stopping_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

int UhidTransport::MillisecondsToNextTask() {
  std::lock_guard lock(tasksMutex_);
  if (tasks_.empty()) return -1;
  const auto wait = tasks_.begin()->first - Clock::now();
  if (wait <= Clock::duration::zero()) return 0;
  // Round up, so that the task is due when poll returns.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

void UhidTransport::RunDueTasks() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(tasksMutex_);
      if (tasks_.empty() || tasks_.begin()->first > Clock::now()) return;
      task = std::move(tasks_.begin()->second);
      tasks_.erase(tasks_.begin());
    }
    task();
  }
}

void UhidTransport::ServeEvents(DeviceId id) {
  for (;;) {
    auto it = devices_.find(id);
    if (it == devices_.end()) return;  // unplugged by the model meanwhile
    Device& device = it->second;
    std::optional<uhid_event> event = device.uhid->ReadEvent();
    if (!event) return;
    switch (event->type) {
      case UHID_OUTPUT: {
        const auto& output = event->u.output;
        // Byte 0 is the report id as the writer put it (0 without ids).
        std::span<const std::uint8_t> report(output.data,
                                             std::min<std::size_t>(output.size, UHID_DATA_MAX));
        std::shared_ptr<emulator::DeviceModel> model = device.model;
        model->OnOutputReport(report);
        break;
      }
      case UHID_GET_REPORT:
        // No model keeps feature reports; the reader gets an I/O error at
        // once instead of waiting for the kernel's timeout.
        device.uhid->ReplyGetReport(event->u.get_report.id, EIO);
        break;
      case UHID_SET_REPORT:
        device.uhid->ReplySetReport(event->u.set_report.id, EIO);
        break;
      default:  // START, STOP, OPEN, CLOSE: nothing to do
        break;
    }
  }
}

void UhidTransport::Run(int stopFd) {
  stopping_ = false;
  std::vector<pollfd> fds;
  std::vector<DeviceId> ids;
  while (!stopping_) {
    fds.clear();
    ids.clear();
    fds.push_back({wakeFd_, POLLIN, 0});
    if (stopFd >= 0) fds.push_back({stopFd, POLLIN, 0});
    const std::size_t first = fds.size();
    for (const auto& [id, device] : devices_) {
      fds.push_back({device.uhid->Fd(), POLLIN, 0});
      ids.push_back(id);
    }
    const int ready = ::poll(fds.data(), fds.size(), MillisecondsToNextTask());
    if (ready < 0 && errno != EINTR) throw UhidError("poll: " + std::string(std::strerror(errno)));
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
    if (stopFd >= 0 && (fds[1].revents & POLLIN)) return;
    for (std::size_t i = first; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) ServeEvents(ids[i - first]);
    }
    RunDueTasks();
  }
}

}  // namespace kbemu
