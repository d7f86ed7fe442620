// How a long burn stage shows its progress: on a terminal one line per stage,
// redrawn in place while the stage's operation blocks; elsewhere plain lines
// that scripts and diffs can rely on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

namespace kbctl {

// "program [##########----------]  50%": the names padded so that the bars
// of the stages line up; percent is held to 0..100.
std::string ProgressBar(std::string_view stage, int percent);

// "erase: 100%": the line a file or a pipe gets for a progress value read.
std::string PlainProgressLine(std::string_view stage, int percent);

// Redraws the running stage's bar from a thread of its own, at most about
// ten times a second, reading the progress through read (an atomic value in
// ISPDLL, safe to read while the operation runs on the caller's thread). All
// writes to out go through here while it exists.
class LiveProgress {
 public:
  LiveProgress(std::ostream& out, std::function<int()> read);
  ~LiveProgress();
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;

  // The stage's operation is about to run: its bar starts at 0%.
  void Begin(std::string_view stage);
  // The stage ended: the bar is drawn a last time (full when ok) followed by
  // the result, and the line ends.
  void End(bool ok, std::string_view result);

 private:
  void Draw(int percent);  // with mutex_ held
  void Poll();

  std::ostream& out_;
  std::function<int()> read_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  bool running_ = false;
  std::string stage_;
  int shown_ = 0;
  std::chrono::steady_clock::time_point begun_;
  // Last, so that it starts once everything it reads exists.
  std::thread poller_;
};

}  // namespace kbctl
