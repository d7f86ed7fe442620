// kbemu: the keyboard and its boot loader as devices of this machine's
// kernel, for demos, manual tests and the end-to-end run.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/KeyboardComposite.h"
#include "isp/IspProtocol.h"
#include "tools/kbemu/FlashFile.h"
#include "tools/kbemu/KbemuOptions.h"
#include "tools/kbemu/PowerOn.h"
#include "tools/kbemu/UhidTransport.h"
#include "version/StandardOptions.h"

namespace {

void Say(const std::string& line) {
  std::printf("kbemu: %s\n", line.c_str());
}

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void SaveFlashOf(const emulator::BootLoaderModel& bootLoader, const std::string& path) {
  if (path.empty()) return;
  kbemu::SaveFlash(path, bootLoader.FlashContents());
}

int Run(const kbemu::KbemuOptions& options) {
  // Say plainly what is missing before anything else happens.
  kbemu::CheckUhidAccess(options.uhidPath);

  std::optional<kbemu::FlashContents> loaded;
  if (!options.flashFile.empty()) {
    loaded = kbemu::LoadFlash(
        options.flashFile,
        static_cast<std::size_t>(isp::protocol::kPageSize) * isp::protocol::kPageCount,
        isp::protocol::kOptionSize, isp::protocol::kRecordSize);
  }
  const bool fromFile = loaded.has_value();
  kbemu::PowerOn on =
      kbemu::DecidePowerOn(std::move(loaded), options.version, options.startInBootLoader);
  const bool valid = emulator::BootLoaderModel::HoldsValidImage(on.flash);
  if (fromFile) {
    char line[200];
    if (valid) {
      std::snprintf(line, sizeof line, "flash loaded from %s: a complete image, version %04X",
                    options.flashFile.c_str(), on.version);
    } else {
      std::snprintf(line, sizeof line,
                    "flash loaded from %s: no valid image, so the boot loader stays",
                    options.flashFile.c_str());
    }
    Say(line);
  }
  auto bootLoader = std::make_shared<emulator::BootLoaderModel>(std::move(on.flash));
  kbemu::KbemuOptions effective = options;
  effective.version = on.version;
  effective.startInBootLoader = on.bootLoader;
  if (options.fault) bootLoader->InjectFault(*options.fault);
  // A flash file that cannot be written is reported now, not after a burn.
  SaveFlashOf(*bootLoader, options.flashFile);

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  FileDescriptor stopFd(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));

  const bool quiet = options.quiet;
  auto log = [quiet](std::string_view line) {
    if (quiet && line.rfind("interface ", 0) == 0) return;
    Say(std::string(line));
  };
  kbemu::UhidTransport transport(options.uhidPath, [](const std::string& line) { Say(line); });

  emulator::KeyboardComposite::Options composite;
  composite.application.collections = effective.collections;
  composite.application.split = effective.split;
  composite.application.version = effective.version;
  composite.switchPause = options.switchPause;
  composite.unplugPause = options.unplugPause;
  composite.startInBootLoader = effective.startInBootLoader;
  auto factory = [bootLoader](const emulator::BootLoaderHooks& hooks) {
    bootLoader->SetStartHandler(hooks.startUserFirmware);
    return std::static_pointer_cast<emulator::DeviceModel>(bootLoader);
  };
  emulator::KeyboardComposite keyboard(transport, factory, composite, log);
  const std::string flashFile = options.flashFile;
  // What the boot loader did during one appearance, for the log.
  std::uint64_t reportsBefore = 0;
  std::uint64_t erasedBefore = 0;
  emulator::KeyboardComposite::Mode previous = emulator::KeyboardComposite::Mode::kOff;
  keyboard.SetModeObserver([&](emulator::KeyboardComposite::Mode mode) {
    using Mode = emulator::KeyboardComposite::Mode;
    if (mode == Mode::kBootLoader) {
      reportsBefore = bootLoader->ReportsReceived();
      erasedBefore = bootLoader->PagesErased();
    } else if (previous == Mode::kBootLoader) {
      Say("boot loader handled " + std::to_string(bootLoader->ReportsReceived() - reportsBefore) +
          " reports, erased " + std::to_string(bootLoader->PagesErased() - erasedBefore) +
          " pages");
    }
    previous = mode;
    Say(std::string("mode: ") + emulator::ModeName(mode));
    // Every change of mode may follow a burn: keep the file current.
    SaveFlashOf(*bootLoader, flashFile);
  });
  keyboard.Start();
  transport.Run(stopFd.get());
  Say("stopping");
  SaveFlashOf(*bootLoader, flashFile);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  kbemu::KbemuOptions options;
  try {
    options = kbemu::ParseKbemuOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kbemu: %s\n", error.what());
    return 2;
  }
  if (options.help) {
    std::cout << kbemu::KbemuUsage();
    return 0;
  }
  if (options.showVersion) {
    kbversion::AnswerStandardOption("--version", "kbemu", {});
    return 0;
  }
  try {
    return Run(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kbemu: %s\n", error.what());
    return 1;
  }
}
