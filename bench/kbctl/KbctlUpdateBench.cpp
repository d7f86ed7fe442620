// kbctl update, in-process on the virtual bus, from the keyboard in
// application mode through its boot loader and back, repeated. The emulated
// boot loader's link carries one 64-byte report per millisecond each way and
// its flash takes 4 ms to erase a page, as in isp_burn_bench.
//
// Nothing in kbctl is changed to watch it: the devices are wrapped in a model
// that notes when the bus attaches them and when the first request arrives,
// and kbctl's progress lines are timed as they are written.
//
// Prints, median / min / max in ms:
//   (a) boot loader on the bus -> its first request (target < 50 ms);
//   (b) "start: ok" -> kbctl has found the keyboard again;
//   (c) the whole update, the burn (first request -> "start: ok") and the
//       ratio whole / burn (target <= 1.15).
// and where (b) and the rest go. A negative figure is an event before
// "start: ok": the boot loader leaves right after its answer to START.
//
// Usage: bench_kbctl_update [repetitions per run (10)] [runs (3)]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "bench/isp/FullImage.h"
#include "emulator/BootLoaderModel.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"
#include "kbctl/KbctlCommands.h"
#include "tests/support/EmulatedDevices.h"

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
namespace proto = isp::protocol;

constexpr std::uint16_t kOldVersion = 0x0105;
constexpr std::uint16_t kNewVersion = 0x0201;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Passes everything to the model it wraps and notes when the bus attached
// it and when the first output report (a request) arrived.
class TimedModel : public emulator::DeviceModel {
 public:
  explicit TimedModel(std::shared_ptr<emulator::DeviceModel> inner) : inner_(std::move(inner)) {}

  const emulator::DeviceIdentity& Identity() const override { return inner_->Identity(); }
  void Attach(emulator::DeviceHost* host) override {
    {
      std::lock_guard lock(mutex_);
      if (host != nullptr && !attached_) attached_ = Clock::now();
      if (host == nullptr && !detached_) detached_ = Clock::now();
    }
    inner_->Attach(host);
  }
  void OnOutputReport(std::span<const std::uint8_t> report) override {
    {
      std::lock_guard lock(mutex_);
      if (!firstReport_) firstReport_ = Clock::now();
    }
    inner_->OnOutputReport(report);
  }

  std::optional<TimePoint> Attached() const {
    std::lock_guard lock(mutex_);
    return attached_;
  }
  std::optional<TimePoint> Detached() const {
    std::lock_guard lock(mutex_);
    return detached_;
  }
  std::optional<TimePoint> FirstReport() const {
    std::lock_guard lock(mutex_);
    return firstReport_;
  }

 private:
  std::shared_ptr<emulator::DeviceModel> inner_;
  mutable std::mutex mutex_;
  std::optional<TimePoint> attached_;
  std::optional<TimePoint> detached_;
  std::optional<TimePoint> firstReport_;
};

// An output stream buffer that notes the time each line was completed.
class TimedLines : public std::streambuf {
 public:
  struct Line {
    TimePoint at;
    std::string text;
  };

  // The time of the first line starting with prefix.
  std::optional<TimePoint> Find(const std::string& prefix) const {
    for (const Line& line : lines_) {
      if (line.text.starts_with(prefix)) return line.at;
    }
    return std::nullopt;
  }
  std::string Text() const {
    std::string text;
    for (const Line& line : lines_) text += line.text + "\n";
    return text + current_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    if (ch == '\n') {
      lines_.push_back({Clock::now(), std::move(current_)});
      current_.clear();
    } else {
      current_ += ch;
    }
    return c;
  }

 private:
  std::vector<Line> lines_;
  std::string current_;
};

struct Sample {
  double appearToFirstRequest = 0;  // (a)
  double burnEndToFound = 0;        // (b)
  double whole = 0;                 // (c)
  double burn = 0;                  // (c)
  double overhead = 0;              // whole - burn
  // Where (b) goes: the boot loader leaving, the keyboard arriving.
  double burnEndToLoaderGone = 0;
  double burnEndToKeyboardBack = 0;
  double keyboardBackToFound = 0;
  // Before the boot loader: the update command until it is on the bus.
  double startToLoaderOnBus = 0;
};

std::optional<Sample> RunOnce(const std::filesystem::path& file) {
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scope(bus);

  auto back = std::make_shared<TimedModel>(apptest::MakeKeyboard(6, kNewVersion));
  auto loaderModel = std::make_shared<emulator::BootLoaderModel>();
  loaderModel->SetTiming({std::chrono::microseconds(1000), std::chrono::microseconds(4000)});
  loaderModel->SetApplicationModel(back);
  auto loader = std::make_shared<TimedModel>(loaderModel);
  const auto keyboard = apptest::MakeKeyboard(6, kOldVersion);
  apptest::RestartIntoBootLoaderOnUpdate(keyboard, loader);
  bus.Plug(keyboard);

  TimedLines lines;
  std::ostream out(&lines);
  std::ostringstream err;
  kbctl::Environment environment{file.parent_path().string()};
  const TimePoint begin = Clock::now();
  const int code = kbctl::Run({"update", file.string(), "--yes"}, environment, out, err);
  const TimePoint end = Clock::now();

  const auto burnEnd = lines.Find("start: ok");
  const auto found = lines.Find("Updated keyboard");
  const auto onBus = loader->Attached();
  const auto firstRequest = loader->FirstReport();
  const auto gone = loader->Detached();
  const auto backOnBus = back->Attached();
  if (code != kbctl::kExitOk || !burnEnd || !found || !onBus || !firstRequest || !gone ||
      !backOnBus || loaderModel->FirmwareVersion() != kNewVersion) {
    std::printf("update FAILED (exit code %d)\n%s%s", code, lines.Text().c_str(),
                err.str().c_str());
    return std::nullopt;
  }
  Sample s;
  s.appearToFirstRequest = Ms(*firstRequest - *onBus);
  s.burnEndToFound = Ms(*found - *burnEnd);
  s.whole = Ms(end - begin);
  s.burn = Ms(*burnEnd - *firstRequest);
  s.overhead = s.whole - s.burn;
  s.burnEndToLoaderGone = Ms(*gone - *burnEnd);
  s.burnEndToKeyboardBack = Ms(*backOnBus - *burnEnd);
  s.keyboardBackToFound = Ms(*found - *backOnBus);
  s.startToLoaderOnBus = Ms(*onBus - begin);
  return s;
}

struct Spread {
  double median, min, max;
};

Spread SpreadOf(const std::vector<Sample>& samples, double Sample::*field) {
  std::vector<double> values;
  for (const Sample& s : samples) values.push_back(s.*field);
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {median, values.front(), values.back()};
}

void PrintRow(const char* what, const std::vector<Sample>& samples, double Sample::*field,
              const char* target = "") {
  const Spread s = SpreadOf(samples, field);
  std::printf("  %-44s %9.2f %9.2f %9.2f%s%s\n", what, s.median, s.min, s.max,
              *target != '\0' ? " " : "", target);
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = -1;
  in >> load;
  return load;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  const auto dir = std::filesystem::temp_directory_path() / "kbctl-update-bench";
  std::filesystem::create_directories(dir);
  const isp::MtpImage image = bench::FullImage(kNewVersion);
  const auto file = dir / "USBKeyboard.MTP";
  const auto bytes = isp::SerializeMtp(image);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));

  std::printf(
      "kbctl update on the virtual bus: %u-byte image, link 1 report/ms each way, "
      "erase 4 ms/page\n",
      static_cast<unsigned>(image.program.size()));
  bool ok = true;
  for (int run = 1; run <= runs; ++run) {
    std::vector<Sample> samples;
    for (int i = 0; i < repetitions; ++i) {
      if (auto sample = RunOnce(file)) {
        samples.push_back(*sample);
      } else {
        ok = false;
      }
    }
    std::printf("\nrun %d of %d: %zu updates, load average %.2f\n", run, runs, samples.size(),
                LoadAverage());
    if (samples.empty()) continue;
    std::printf("  %-44s %9s %9s %9s\n", "ms", "median", "min", "max");
    PrintRow("(a) boot loader on the bus -> first request", samples, &Sample::appearToFirstRequest,
             "(target < 50)");
    PrintRow("(b) burn ended -> keyboard found again", samples, &Sample::burnEndToFound);
    PrintRow("      burn ended -> boot loader gone", samples, &Sample::burnEndToLoaderGone);
    PrintRow("      burn ended -> keyboard on the bus", samples, &Sample::burnEndToKeyboardBack);
    PrintRow("      keyboard on the bus -> found", samples, &Sample::keyboardBackToFound);
    PrintRow("    start -> boot loader on the bus", samples, &Sample::startToLoaderOnBus);
    PrintRow("(c) whole update", samples, &Sample::whole);
    PrintRow("    burn (first request -> start: ok)", samples, &Sample::burn);
    PrintRow("    whole - burn", samples, &Sample::overhead);
    std::vector<double> ratios;
    for (const Sample& s : samples) ratios.push_back(s.whole / s.burn);
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    std::printf("  %-44s %9.3f %9.3f %9.3f (target <= 1.15)\n", "    ratio whole / burn",
                n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2, ratios.front(),
                ratios.back());
  }
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
