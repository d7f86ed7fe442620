#include "hid/platform/NativeMainLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace hidplatform {

struct NativeMainLoop::Impl {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  struct Watched {
    int fd;
    std::function<void()> onReady;
  };
  std::map<int, Watched> watches;  // by id; main thread only
  int nextId = 1;

  ~Impl() {
    if (wake >= 0) close(wake);
  }
};

namespace {

class FdWatch : public SourceWatch {
 public:
  FdWatch(NativeMainLoop::Impl& loop, int id) : loop_(loop), id_(id) {}
  ~FdWatch() override { loop_.watches.erase(id_); }

 private:
  NativeMainLoop::Impl& loop_;
  int id_;
};

}  // namespace

NativeMainLoop::NativeMainLoop() : impl_(std::make_unique<Impl>()) {}

NativeMainLoop::~NativeMainLoop() = default;

void NativeMainLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->tasks.push_back(std::move(task));
  }
  const std::uint64_t one = 1;
  if (write(impl_->wake, &one, sizeof one) != sizeof one) {
    // Saturated counter: the loop wakes anyway.
  }
}

std::unique_ptr<SourceWatch> NativeMainLoop::Watch(NotificationSource source,
                                                   std::function<void()> onReady) {
  const int id = impl_->nextId++;
  impl_->watches[id] = {static_cast<int>(source), std::move(onReady)};
  return std::make_unique<FdWatch>(*impl_, id);
}

void NativeMainLoop::RunOnce(std::chrono::milliseconds wait) {
  Impl& s = *impl_;
  std::vector<pollfd> fds{{s.wake, POLLIN, 0}};
  std::vector<int> ids;
  for (const auto& [id, watched] : s.watches) {
    fds.push_back({watched.fd, POLLIN, 0});
    ids.push_back(id);
  }
  bool queued = false;
  {
    std::lock_guard lock(s.mutex);
    queued = !s.tasks.empty();
  }
  if (poll(fds.data(), fds.size(), queued ? 0 : static_cast<int>(wait.count())) < 0) return;
  std::uint64_t count = 0;
  while (read(s.wake, &count, sizeof count) == sizeof count) {
  }
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(s.mutex);
    tasks.swap(s.tasks);
  }
  for (auto& task : tasks) task();
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if ((fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP)) == 0) continue;
    auto it = s.watches.find(ids[i]);
    if (it == s.watches.end()) continue;                       // an earlier callback ended it
    const std::function<void()> onReady = it->second.onReady;  // may end its own watch
    onReady();
  }
}

}  // namespace hidplatform
