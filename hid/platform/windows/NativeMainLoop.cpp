#include "hid/platform/NativeMainLoop.h"

#include <windows.h>

#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace hidplatform {
namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr const char* kWindowClass = "kbNativeMainLoop";

}  // namespace

struct NativeMainLoop::Impl {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  bool wakePosted = false;
  // A message-only window of the main thread: tasks run from any message
  // loop of that thread, also one a window or a modal dialog runs.
  HWND window = nullptr;
  struct Watched {
    HANDLE handle;
    std::function<void()> onReady;
  };
  std::map<int, Watched> watches;  // by id; main thread only
  int nextId = 1;

  void RunTasks() {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard lock(mutex);
      batch.swap(tasks);
      wakePosted = false;
    }
    for (auto& task : batch) task();
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTasks) {
      auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self != nullptr) self->RunTasks();
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
};

namespace {

class HandleWatch : public SourceWatch {
 public:
  HandleWatch(NativeMainLoop::Impl& loop, int id) : loop_(loop), id_(id) {}
  ~HandleWatch() override { loop_.watches.erase(id_); }

 private:
  NativeMainLoop::Impl& loop_;
  int id_;
};

}  // namespace

NativeMainLoop::NativeMainLoop() : impl_(std::make_unique<Impl>()) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Impl::WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExA(&windowClass);  // fails harmlessly when already registered
  impl_->window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
  if (impl_->window != nullptr) {
    SetWindowLongPtrA(impl_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
  }
}

NativeMainLoop::~NativeMainLoop() {
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
}

void NativeMainLoop::Post(std::function<void()> task) {
  bool wake = false;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->tasks.push_back(std::move(task));
    wake = !impl_->wakePosted;
    impl_->wakePosted = true;
  }
  if (wake) PostMessageA(impl_->window, kRunTasks, 0, 0);
}

std::unique_ptr<SourceWatch> NativeMainLoop::Watch(NotificationSource source,
                                                   std::function<void()> onReady) {
  const int id = impl_->nextId++;
  impl_->watches[id] = {reinterpret_cast<HANDLE>(source), std::move(onReady)};
  return std::make_unique<HandleWatch>(*impl_, id);
}

void NativeMainLoop::RunOnce(std::chrono::milliseconds wait) {
  Impl& s = *impl_;
  std::vector<HANDLE> handles;
  std::vector<int> ids;
  for (const auto& [id, watched] : s.watches) {
    handles.push_back(watched.handle);
    ids.push_back(id);
  }
  const DWORD result = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()),
                                                   handles.data(), static_cast<DWORD>(wait.count()),
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result < WAIT_OBJECT_0 + handles.size()) {
    auto it = s.watches.find(ids[result - WAIT_OBJECT_0]);
    if (it != s.watches.end()) {
      const std::function<void()> onReady = it->second.onReady;  // may end its own watch
      onReady();
    }
  }
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace hidplatform
