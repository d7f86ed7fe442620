#include "kbctl/BurnProgress.h"

#include <algorithm>
#include <utility>

namespace kbctl {

namespace {

constexpr int kBarWidth = 20;
constexpr std::size_t kNameWidth = 7;  // "program", the longest stage that shows a bar
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

std::string ProgressBar(std::string_view stage, int percent) {
  percent = std::clamp(percent, 0, 100);
  std::string line(stage);
  if (line.size() < kNameWidth) line.append(kNameWidth - line.size(), ' ');
  const int marks = percent * kBarWidth / 100;
  line += " [";
  line.append(static_cast<std::size_t>(marks), '#');
  line.append(static_cast<std::size_t>(kBarWidth - marks), '-');
  line += "] ";
  const std::string number = std::to_string(percent);
  line.append(3 - number.size(), ' ');
  line += number + "%";
  return line;
}

std::string PlainProgressLine(std::string_view stage, int percent) {
  return std::string(stage) + ": " + std::to_string(percent) + "%\n";
}

LiveProgress::LiveProgress(std::ostream& out, std::function<int()> read)
    : out_(out), read_(std::move(read)), poller_([this] { Poll(); }) {}

LiveProgress::~LiveProgress() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  poller_.join();
}

void LiveProgress::Begin(std::string_view stage) {
  const std::lock_guard lock(mutex_);
  stage_ = stage;
  running_ = true;
  shown_ = 0;
  begun_ = std::chrono::steady_clock::now();
  Draw(0);
}

void LiveProgress::End(bool ok, std::string_view result) {
  const std::lock_guard lock(mutex_);
  running_ = false;
  Draw(ok ? 100 : shown_);
  out_ << ' ' << result << '\n' << std::flush;
}

void LiveProgress::Draw(int percent) {
  // The line only grows, so a carriage return is enough to redraw it.
  out_ << '\r' << ProgressBar(stage_, percent) << std::flush;
}

void LiveProgress::Poll() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    wake_.wait_for(lock, kRedrawEvery);
    if (quit_ || !running_) continue;
    // Right after Begin the value may still be the last operation's 100,
    // until the new one has set it back to 0.
    if (std::chrono::steady_clock::now() - begun_ < kRedrawEvery) continue;
    // 100 is drawn by End only, together with the result.
    const int percent = std::clamp(read_(), 0, 99);
    if (percent == shown_) continue;
    shown_ = percent;
    Draw(percent);
  }
}

}  // namespace kbctl
