// A plain device model for tests: a fixed identity, a record of the output
// reports it received, and input reports sent on request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "emulator/DeviceModel.h"

namespace emulator {

class SimpleDeviceModel : public DeviceModel {
 public:
  // Called on the writer's thread for every output report, after it was
  // recorded; may answer through SendInputReport or ask to re-enumerate.
  using OutputHandler = std::function<void(SimpleDeviceModel&, std::span<const std::uint8_t>)>;

  explicit SimpleDeviceModel(DeviceIdentity identity);

  const DeviceIdentity& Identity() const override { return identity_; }
  void Attach(DeviceHost* host) override;
  void OnOutputReport(std::span<const std::uint8_t> report) override;

  void SetOutputHandler(OutputHandler handler);
  std::vector<std::vector<std::uint8_t>> ReceivedReports() const;
  bool IsAttached() const;
  // False when the model is not attached to a host.
  bool SendInputReport(std::span<const std::uint8_t> report);
  bool Reenumerate(std::shared_ptr<DeviceModel> next);

  // A report descriptor with one vendor-defined top-level collection and
  // input and output reports of the given data sizes (without the id byte);
  // reportId 0 means the descriptor declares no report ids. A size of 0
  // leaves that report out.
  static std::vector<std::uint8_t> VendorDescriptor(std::uint8_t reportId, std::uint16_t inputBytes,
                                                    std::uint16_t outputBytes,
                                                    std::uint16_t usagePage = 0xFF00,
                                                    std::uint8_t usage = 0x01);

 private:
  const DeviceIdentity identity_;
  mutable std::mutex mutex_;
  DeviceHost* host_ = nullptr;
  std::vector<std::vector<std::uint8_t>> received_;
  OutputHandler handler_;
};

}  // namespace emulator
