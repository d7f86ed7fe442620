// A transport for the keyboard's mode switching that runs on a virtual
// clock: tests advance time and see every plug and unplug.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "emulator/KeyboardComposite.h"

namespace kbtest {

class RecordingHost : public emulator::DeviceHost {
 public:
  void SendInputReport(std::span<const std::uint8_t> report) override {
    inputs.emplace_back(report.begin(), report.end());
  }
  void Reenumerate(std::shared_ptr<emulator::DeviceModel>) override { ++reenumerations; }
  std::vector<std::vector<std::uint8_t>> inputs;
  int reenumerations = 0;
};

class FakeKeyboardTransport : public emulator::KeyboardTransport {
 public:
  DeviceId Plug(std::shared_ptr<emulator::DeviceModel> model) override {
    const DeviceId id = nextId_++;
    model->Attach(&host);
    present[id] = std::move(model);
    events.push_back("plug " + Describe(*present[id]));
    return id;
  }
  void Unplug(DeviceId id) override {
    auto it = present.find(id);
    if (it == present.end()) return;
    it->second->Attach(nullptr);
    events.push_back("unplug " + Describe(*it->second));
    present.erase(it);
  }
  void Post(std::chrono::milliseconds delay, std::function<void()> task) override {
    tasks_.emplace(now_ + delay, std::move(task));
  }

  // Runs every task due up to now + duration, in time order.
  void Advance(std::chrono::milliseconds duration) {
    const auto end = now_ + duration;
    while (!tasks_.empty() && tasks_.begin()->first <= end) {
      auto node = tasks_.extract(tasks_.begin());
      now_ = node.key();
      node.mapped()();
    }
    now_ = end;
  }

  // The present devices with the given ids.
  std::vector<std::shared_ptr<emulator::DeviceModel>> Present(std::uint16_t vendor,
                                                              std::uint16_t product) const {
    std::vector<std::shared_ptr<emulator::DeviceModel>> out;
    for (const auto& [id, model] : present) {
      if (model->Identity().vendorId == vendor && model->Identity().productId == product) {
        out.push_back(model);
      }
    }
    return out;
  }

  static std::string Describe(const emulator::DeviceModel& model) {
    char text[32];
    std::snprintf(text, sizeof text, "%04X:%04X v%04X", model.Identity().vendorId,
                  model.Identity().productId, model.Identity().versionNumber);
    return text;
  }

  RecordingHost host;
  std::map<DeviceId, std::shared_ptr<emulator::DeviceModel>> present;
  std::vector<std::string> events;

 private:
  DeviceId nextId_ = 1;
  std::chrono::milliseconds now_{0};
  std::multimap<std::chrono::milliseconds, std::function<void()>> tasks_;
};

}  // namespace kbtest
