// The whole keyboard as a host sees it over time: application mode, the
// restart into the boot loader on the update command, and the return to
// application mode with the burned firmware's version. Works on any
// transport that can plug and unplug device models.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "emulator/DeviceModel.h"
#include "emulator/KeyboardModel.h"

namespace emulator {

class KeyboardTransport {
 public:
  using DeviceId = int;
  virtual ~KeyboardTransport() = default;
  // Makes the model a present device. Throws when the transport cannot.
  virtual DeviceId Plug(std::shared_ptr<DeviceModel> model) = 0;
  // Removes the device; unknown ids are ignored.
  virtual void Unplug(DeviceId id) = 0;
  // Runs task on the transport's own thread after delay, never from within
  // the caller's stack. Callable from any thread.
  virtual void Post(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

// What the boot loader can ask of the keyboard around it.
struct BootLoaderHooks {
  // The burner told the boot loader to run the user firmware; version is the
  // one carried in the burned image. Callable from any thread.
  std::function<void(std::uint16_t version)> startUserFirmware;
};

// Makes the boot-loader device; called each time the keyboard enters it.
using BootLoaderFactory = std::function<std::shared_ptr<DeviceModel>(const BootLoaderHooks&)>;

class KeyboardComposite {
 public:
  enum class Mode { kOff, kApplication, kSwitching, kBootLoader };

  struct Options {
    KeyboardModel::Options application;
    // Time between leaving one mode and appearing in the other, as a real
    // keyboard needs to restart.
    std::chrono::milliseconds switchPause{500};
    // Time between the removals of the devices a mode leaves behind (0: all
    // at once, as a real keyboard's interfaces go); the switch pause starts
    // after the last. A host whose bus loses a device that arrives while it
    // is removing several at once (Wine 8.0's HID bus) can be given time to
    // finish each removal.
    std::chrono::milliseconds unplugPause{0};
    // Start as the boot loader, as after an interrupted burn.
    bool startInBootLoader = false;
  };

  KeyboardComposite(KeyboardTransport& transport, BootLoaderFactory bootLoaderFactory,
                    Options options, LogSink log);
  // Unplugs whatever is present.
  ~KeyboardComposite();
  KeyboardComposite(const KeyboardComposite&) = delete;
  KeyboardComposite& operator=(const KeyboardComposite&) = delete;

  // Plugs the first mode. Call on the transport's thread.
  void Start();

  Mode CurrentMode() const;
  // The application-mode firmware version (the next one while switching).
  std::uint16_t Version() const;
  // Called on the transport's thread after each change of mode.
  void SetModeObserver(std::function<void(Mode)> observer);

 private:
  class BootLoaderSlot;

  void PlugApplication();
  void PlugBootLoader();
  void UnplugAll();
  void EnterMode(Mode mode);
  void OnUpdateCommand();
  void OnStartUserFirmware(unsigned generation, std::uint16_t version);
  void OnBootLoaderLeft(unsigned generation);
  // Whether the boot loader of that appearance is the one on the bus now.
  bool IsPresentBootLoader(unsigned generation) const;
  // Runs task on the transport's thread after delay, unless this keyboard is
  // gone by then.
  void PostToSelf(std::chrono::milliseconds delay, std::function<void(KeyboardComposite&)> task);
  // Leaves the bus and appears again through plugNext after the pause.
  void LeaveFor(void (KeyboardComposite::*plugNext)());
  // Removes the next device (all of them without an unplug pause), then
  // schedules the one after it, or plugNext once none is left.
  void UnplugNextThen(void (KeyboardComposite::*plugNext)());
  void Log(const std::string& line);

  KeyboardTransport& transport_;
  BootLoaderFactory bootLoaderFactory_;
  Options options_;
  LogSink log_;
  std::function<void(Mode)> observer_;

  mutable std::mutex mutex_;
  Mode mode_ = Mode::kOff;
  std::uint16_t version_;

  std::unique_ptr<KeyboardModel> application_;
  std::shared_ptr<DeviceModel> bootLoader_;
  // Counts the boot loader's appearances, so that a late hook of an earlier
  // one is told apart. Used on the transport's thread only.
  unsigned bootLoaderGeneration_ = 0;
  std::vector<KeyboardTransport::DeviceId> plugged_;
  // Posted tasks hold this; the destructor resets it so that a task that
  // runs later does nothing.
  std::shared_ptr<KeyboardComposite*> self_;
};

const char* ModeName(KeyboardComposite::Mode mode);

}  // namespace emulator
