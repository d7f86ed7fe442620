#include "emulator/KeyboardComposite.h"

#include <cstdio>
#include <stdexcept>

namespace emulator {

// Stands between the boot loader and the transport, so that the keyboard
// hears when the boot loader leaves the bus on its own (a fault) and can
// bring it back as a re-plugged device would come back.
class KeyboardComposite::BootLoaderSlot final : public DeviceModel, private DeviceHost {
 public:
  BootLoaderSlot(std::shared_ptr<DeviceModel> inner, std::function<void()> onLeft)
      : inner_(std::move(inner)), onLeft_(std::move(onLeft)) {}

  const DeviceIdentity& Identity() const override { return inner_->Identity(); }

  void Attach(DeviceHost* host) override {
    if (host) {
      host_ = host;
      inner_->Attach(this);
    } else {
      inner_->Attach(nullptr);
      host_ = nullptr;
    }
  }

  void OnOutputReport(std::span<const std::uint8_t> report) override {
    inner_->OnOutputReport(report);
  }

 private:
  void SendInputReport(std::span<const std::uint8_t> report) override {
    if (host_) host_->SendInputReport(report);
  }
  void Reenumerate(std::shared_ptr<DeviceModel>) override { onLeft_(); }

  std::shared_ptr<DeviceModel> inner_;
  std::function<void()> onLeft_;
  DeviceHost* host_ = nullptr;
};

const char* ModeName(KeyboardComposite::Mode mode) {
  switch (mode) {
    case KeyboardComposite::Mode::kOff:
      return "off";
    case KeyboardComposite::Mode::kApplication:
      return "application mode";
    case KeyboardComposite::Mode::kSwitching:
      return "restarting";
    case KeyboardComposite::Mode::kBootLoader:
      return "boot loader";
  }
  return "?";
}

KeyboardComposite::KeyboardComposite(KeyboardTransport& transport,
                                     BootLoaderFactory bootLoaderFactory, Options options,
                                     LogSink log)
    : transport_(transport),
      bootLoaderFactory_(std::move(bootLoaderFactory)),
      options_(options),
      log_(std::move(log)),
      version_(options.application.version),
      self_(std::make_shared<KeyboardComposite*>(this)) {
  if (!bootLoaderFactory_) throw std::invalid_argument("the keyboard needs a boot loader");
}

KeyboardComposite::~KeyboardComposite() {
  *self_ = nullptr;
  UnplugAll();
}

void KeyboardComposite::Start() {
  if (options_.startInBootLoader) {
    PlugBootLoader();
  } else {
    PlugApplication();
  }
}

KeyboardComposite::Mode KeyboardComposite::CurrentMode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

std::uint16_t KeyboardComposite::Version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void KeyboardComposite::SetModeObserver(std::function<void(Mode)> observer) {
  observer_ = std::move(observer);
}

void KeyboardComposite::Log(const std::string& line) {
  if (log_) log_(line);
}

void KeyboardComposite::EnterMode(Mode mode) {
  {
    std::lock_guard lock(mutex_);
    mode_ = mode;
  }
  if (observer_) observer_(mode);
}

void KeyboardComposite::PlugApplication() {
  KeyboardModel::Options application = options_.application;
  application.version = Version();
  std::weak_ptr<KeyboardComposite*> weak = self_;
  auto onUpdate = [weak] {
    if (auto self = weak.lock(); self && *self) (*self)->OnUpdateCommand();
  };
  application_ = std::make_unique<KeyboardModel>(application, log_, onUpdate);
  for (const auto& model : application_->Interfaces()) plugged_.push_back(transport_.Plug(model));
  char line[128];
  std::snprintf(line, sizeof line, "application mode %04X:%04X, version %04X, %d collections%s",
                kKeyboardVendorId, kKeyboardProductId, application.version,
                application_->CollectionCount(),
                application.split == InterfaceSplit::kOneCollectionEach ? ", a device each" : "");
  Log(line);
  EnterMode(Mode::kApplication);
}

void KeyboardComposite::PlugBootLoader() {
  std::weak_ptr<KeyboardComposite*> weak = self_;
  const unsigned generation = ++bootLoaderGeneration_;
  BootLoaderHooks hooks;
  hooks.startUserFirmware = [weak, generation](std::uint16_t version) {
    if (auto self = weak.lock(); self && *self) (*self)->OnStartUserFirmware(generation, version);
  };
  std::shared_ptr<DeviceModel> model = bootLoaderFactory_(hooks);
  if (!model) throw std::runtime_error("no boot-loader model");
  bootLoader_ = std::make_shared<BootLoaderSlot>(model, [weak, generation] {
    if (auto self = weak.lock(); self && *self) (*self)->OnBootLoaderLeft(generation);
  });
  plugged_.push_back(transport_.Plug(bootLoader_));
  const DeviceIdentity& identity = bootLoader_->Identity();
  char line[64];
  std::snprintf(line, sizeof line, "boot loader %04X:%04X", identity.vendorId, identity.productId);
  Log(line);
  EnterMode(Mode::kBootLoader);
}

void KeyboardComposite::UnplugAll() {
  for (KeyboardTransport::DeviceId id : plugged_) transport_.Unplug(id);
  plugged_.clear();
}

void KeyboardComposite::PostToSelf(std::chrono::milliseconds delay,
                                   std::function<void(KeyboardComposite&)> task) {
  std::weak_ptr<KeyboardComposite*> weak = self_;
  transport_.Post(delay, [weak, task = std::move(task)] {
    if (auto self = weak.lock(); self && *self) task(**self);
  });
}

void KeyboardComposite::LeaveFor(void (KeyboardComposite::*plugNext)()) {
  // The mode ends with the first removal: a command on an interface that is
  // still present is not the keyboard's any more.
  EnterMode(Mode::kSwitching);
  UnplugNextThen(plugNext);
}

void KeyboardComposite::UnplugNextThen(void (KeyboardComposite::*plugNext)()) {
  if (options_.unplugPause.count() == 0) {
    UnplugAll();
  } else if (!plugged_.empty()) {
    transport_.Unplug(plugged_.front());
    plugged_.erase(plugged_.begin());
    char line[64];
    std::snprintf(line, sizeof line, "a device left the bus, %zu to go", plugged_.size());
    Log(line);
  }
  if (!plugged_.empty()) {
    PostToSelf(options_.unplugPause,
               [plugNext](KeyboardComposite& keyboard) { keyboard.UnplugNextThen(plugNext); });
    return;
  }
  PostToSelf(options_.switchPause,
             [plugNext](KeyboardComposite& keyboard) { (keyboard.*plugNext)(); });
}

// Runs on the writing thread, inside the transport's delivery of the report:
// the switch itself runs later on the transport's thread.
void KeyboardComposite::OnUpdateCommand() {
  PostToSelf(std::chrono::milliseconds(0), [](KeyboardComposite& keyboard) {
    if (keyboard.CurrentMode() != Mode::kApplication) return;
    keyboard.Log("leaving application mode for the boot loader");
    keyboard.LeaveFor(&KeyboardComposite::PlugBootLoader);
  });
}

// The boot loader dropped off the bus: the keyboard stays in its boot
// loader and comes back after the pause, as it would when re-plugged.
void KeyboardComposite::OnBootLoaderLeft(unsigned generation) {
  PostToSelf(std::chrono::milliseconds(0), [generation](KeyboardComposite& keyboard) {
    if (!keyboard.IsPresentBootLoader(generation)) return;
    keyboard.Log("boot loader dropped off the bus; it comes back in boot-loader mode");
    keyboard.LeaveFor(&KeyboardComposite::PlugBootLoader);
  });
}

void KeyboardComposite::OnStartUserFirmware(unsigned generation, std::uint16_t version) {
  PostToSelf(std::chrono::milliseconds(0), [generation, version](KeyboardComposite& keyboard) {
    // Only the boot loader that is present now may end its own mode.
    if (!keyboard.IsPresentBootLoader(generation)) return;
    char line[64];
    std::snprintf(line, sizeof line, "boot loader starts the user firmware, version %04X", version);
    keyboard.Log(line);
    {
      std::lock_guard lock(keyboard.mutex_);
      keyboard.version_ = version;
    }
    keyboard.LeaveFor(&KeyboardComposite::PlugApplication);
  });
}

bool KeyboardComposite::IsPresentBootLoader(unsigned generation) const {
  return CurrentMode() == Mode::kBootLoader && generation == bootLoaderGeneration_;
}

}  // namespace emulator
