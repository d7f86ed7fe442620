#include "hid/platform/MainLoop.h"

#include "hid/platform/NativeMainLoop.h"

namespace hidplatform {
namespace {

MainLoop*& Installed() {
  static MainLoop* loop = nullptr;
  return loop;
}

}  // namespace

MainLoop& CurrentMainLoop() {
  if (MainLoop* loop = Installed()) return *loop;
  return NativeMainLoop::Instance();
}

void UseMainLoop(MainLoop& loop) {
  Installed() = &loop;
}

ScopedMainLoop::ScopedMainLoop(MainLoop& loop) : previous_(Installed()) {
  Installed() = &loop;
}

ScopedMainLoop::~ScopedMainLoop() {
  Installed() = previous_;
}

bool NativeMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    RunOnce(std::chrono::milliseconds(10));
  }
  return true;
}

NativeMainLoop& NativeMainLoop::Instance() {
  static NativeMainLoop loop;
  return loop;
}

}  // namespace hidplatform
