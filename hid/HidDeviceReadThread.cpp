#include <chrono>

#include "hid/HidControllerClass.h"

namespace hid {

struct THidDeviceReadThread::Shared {
  THidDevice* device = nullptr;
  std::vector<std::uint8_t> report;
  std::uint32_t bytesRead = 0;
  std::atomic<std::uint32_t> lastError{0};
  std::atomic<bool> inDelivery{false};  // the main thread runs one of this reader's steps

  std::mutex mutex;
  std::condition_variable changed;  // stop raised, step posted or served, body ended
  bool stop = false;
  bool finished = false;
  std::function<void()> pending;  // the step waiting for the main thread
  bool stepDone = false;
  std::exception_ptr stepError;

  bool StopRaised() {
    std::lock_guard lock(mutex);
    return stop;
  }
};

namespace {

using SharedPtr = std::shared_ptr<THidDeviceReadThread::Shared>;

}  // namespace

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device)
    : shared_(std::make_shared<Shared>()), dispatcher_(std::make_unique<QObject>()) {
  shared_->device = &device;
  HIDP_CAPS caps;
  // On the main thread: this also caches the parsed data before the thread runs.
  device.GetCapabilities(caps);
  shared_->report.resize(caps.InputReportByteLength);
}

THidDeviceReadThread::~THidDeviceReadThread() {
  Stop();
}

bool THidDeviceReadThread::Finished() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->finished;
}

bool THidDeviceReadThread::HandOverPending() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->pending != nullptr;
}

std::uint32_t THidDeviceReadThread::LastError() const {
  return shared_->lastError;
}

// Runs the posted step, if it was not served already, on the main thread.
static void ServeHandOver(const SharedPtr& shared) {
  std::function<void()> step;
  {
    std::lock_guard lock(shared->mutex);
    step = std::move(shared->pending);
    shared->pending = nullptr;
  }
  if (!step) return;
  std::exception_ptr error;
  shared->inDelivery = true;
  try {
    step();
  } catch (...) {
    error = std::current_exception();
  }
  shared->inDelivery = false;
  {
    std::lock_guard lock(shared->mutex);
    shared->stepDone = true;
    shared->stepError = error;
  }
  shared->changed.notify_all();
}

void THidDeviceReadThread::Start() {
  SharedPtr shared = shared_;
  QObject* dispatcher = dispatcher_.get();
  thread_ = std::thread([shared, dispatcher] {
    // Blocks until the main thread ran the step; its error ends the body.
    auto handOver = [&](std::function<void()> step) {
      {
        std::lock_guard lock(shared->mutex);
        shared->pending = std::move(step);
        shared->stepDone = false;
        shared->stepError = nullptr;
      }
      shared->changed.notify_all();
      QMetaObject::invokeMethod(
          dispatcher, [shared] { ServeHandOver(shared); }, Qt::QueuedConnection);
      std::unique_lock lock(shared->mutex);
      shared->changed.wait(lock, [&] { return shared->stepDone; });
      if (shared->stepError) std::rethrow_exception(shared->stepError);
    };

    THidDevice& device = *shared->device;
    auto& backend = hidplatform::CurrentBackend();
    try {
      hidplatform::WaitResult waitResult = hidplatform::WaitResult::kCompleted;
      while (!shared->StopRaised()) {
        waitResult = hidplatform::WaitResult::kCompleted;
        std::fill(shared->report.begin(), shared->report.end(), 0);
        if (device.StartAsyncRead(shared->report.data(), shared->report.size())) {
          do {
            waitResult = backend.WaitRead(device.readHandle_, device.threadSleepTime_);
          } while (!shared->StopRaised() && waitResult != hidplatform::WaitResult::kCompleted);
          if (shared->StopRaised()) break;
          shared->bytesRead = device.GetReadResult();
          if (shared->bytesRead > 0) {
            handOver([shared] {
              THidDevice* dev = shared->device;
              // A copy: the handler may destroy the device that holds it.
              const THidDataEvent handler = dev->dataHandler_;
              if (!handler) return;
              handler(dev, shared->report[0], shared->report.data() + 1,
                      static_cast<std::uint16_t>(shared->bytesRead - 1));
            });
          }
        } else {
          // Without a platform call (the device is unplugged) the platform's
          // last error would be stale or "success"; say what happened.
          std::uint32_t error = backend.LastError();
          if (!device.pluggedIn_) {
            error = hidplatform::kErrorDeviceNotConnected;
          } else if (error == hidplatform::kErrorSuccess) {
            error = hidplatform::kErrorGenFailure;
          }
          shared->lastError = error;
          const std::int32_t pause = device.threadSleepTime_;
          handOver([shared] {
            THidDevice* dev = shared->device;
            const THidDataErrorEvent handler = dev->dataErrorHandler_;
            if (handler) handler(dev, shared->lastError);
          });
          // A read that cannot start (typically an unplugged device) fails
          // again at once; one slice between attempts keeps the two threads
          // from spinning. The device may be gone once a stop was raised.
          std::unique_lock lock(shared->mutex);
          shared->changed.wait_for(lock, std::chrono::milliseconds(pause),
                                   [&] { return shared->stop; });
        }
      }
      if (waitResult != hidplatform::WaitResult::kCompleted) device.CancelPendingRead();
    } catch (...) {
      // A handler's error ends the body; the object waits for StopReadThread.
    }
    {
      std::lock_guard lock(shared->mutex);
      shared->finished = true;
    }
    shared->changed.notify_all();
  });
}

void THidDeviceReadThread::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->changed.notify_all();
  if (shared_->inDelivery) {
    // Called from inside this reader's own delivery: the reader is waiting
    // for it to return, so it cannot be waited for here. It sees the stop
    // right after the delivery and ends without touching the device again.
    thread_.detach();
    return;
  }
  for (;;) {
    ServeHandOver(shared_);
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->finished || shared_->pending; });
    if (shared_->finished) break;
  }
  thread_.join();
}

}  // namespace hid
