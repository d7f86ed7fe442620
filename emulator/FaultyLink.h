// The link between the host and a boot-loader device, as a model that wraps
// the device: it carries reports in both directions and can drop, damage,
// duplicate, delay or reorder them, once or persistently, for the reports of
// one operation; it can also cut the power after a given report. Faults here
// hit what is on the wire, whatever the device does.
//
// Threads: as the wrapped model; the test accessors may be called from any
// thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "emulator/BootLoaderModel.h"
#include "emulator/DeviceModel.h"

namespace emulator {

class FaultyLink final : public DeviceModel, private DeviceHost {
 public:
  enum class Direction { kToDevice, kToHost };
  enum class Kind { kDrop, kDamage, kDuplicate, kDelay, kReorder };
  using Operation = BootLoaderModel::Operation;

  struct Fault {
    Direction direction = Direction::kToDevice;
    Kind kind = Kind::kDrop;
    Operation operation = Operation::kAny;
    // Matching reports let through before the fault strikes.
    int skip = 0;
    // Once: the first matching report only; else every one from there on.
    bool persistent = false;
    // Delay: the report arrives after this many later reports in its
    // direction (reorder: after the next one). Duplicate: the copy does.
    int lag = 3;
  };

  explicit FaultyLink(std::shared_ptr<DeviceModel> device);

  const DeviceIdentity& Identity() const override { return device_->Identity(); }
  void Attach(DeviceHost* host) override;
  void OnOutputReport(std::span<const std::uint8_t> report) override;

  // Arms one more fault; each counts its own reports.
  void Inject(const Fault& fault);
  void Clear();
  // Reports the faults have struck so far.
  int Struck() const;
  // Rewrites every answer of the operation before it goes out and seals it
  // again: a device that lies, within the rules of the frame.
  void SetAnswerRewriter(Operation operation, std::function<void(std::uint8_t* frame)> rewrite);
  // After the device handled this many reports, the power goes: the device
  // leaves the bus and nothing more reaches it or comes from it.
  void CutPowerAfter(std::uint64_t reports);
  bool PowerCut() const;
  std::uint64_t ReportsToDevice() const;
  // The most stream bytes the host had sent beyond the acknowledgements
  // that had reached it.
  std::uint32_t MostStreamBytesInFlight() const;

 private:
  struct Held {
    std::vector<std::uint8_t> report;
    int left;
  };
  struct Armed {
    Fault fault;
    int seen = 0;
    int struck = 0;
  };
  // What to deliver for one report entering the link, in order.
  std::vector<std::vector<std::uint8_t>> Pass(Direction direction,
                                              std::span<const std::uint8_t> report);
  // The fault that strikes this report, if any.
  const Fault* Strikes(Direction direction, Operation operation);
  void Observe(Direction direction, std::span<const std::uint8_t> report);

  void SendInputReport(std::span<const std::uint8_t> report) override;
  void Reenumerate(std::shared_ptr<DeviceModel> next) override;

  std::shared_ptr<DeviceModel> device_;
  mutable std::mutex mutex_;
  DeviceHost* host_ = nullptr;
  std::vector<Armed> faults_;
  std::deque<Held> held_[2];
  Operation rewriteOperation_ = Operation::kAny;
  std::function<void(std::uint8_t*)> rewrite_;
  std::optional<std::uint64_t> cutAfter_;
  bool powerCut_ = false;
  std::uint64_t reportsToDevice_ = 0;
  std::uint32_t streamSent_ = 0;
  std::uint32_t streamAcked_ = 0;
  std::uint32_t mostInFlight_ = 0;
};

}  // namespace emulator
