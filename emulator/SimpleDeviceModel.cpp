#include "emulator/SimpleDeviceModel.h"

#include <initializer_list>
#include <utility>

namespace emulator {

SimpleDeviceModel::SimpleDeviceModel(DeviceIdentity identity) : identity_(std::move(identity)) {}

void SimpleDeviceModel::Attach(DeviceHost* host) {
  std::lock_guard lock(mutex_);
  host_ = host;
}

void SimpleDeviceModel::OnOutputReport(std::span<const std::uint8_t> report) {
  OutputHandler handler;
  {
    std::lock_guard lock(mutex_);
    received_.emplace_back(report.begin(), report.end());
    handler = handler_;
  }
  // Without the lock: the handler answers through this model's own methods.
  if (handler) handler(*this, report);
}

void SimpleDeviceModel::SetOutputHandler(OutputHandler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<std::vector<std::uint8_t>> SimpleDeviceModel::ReceivedReports() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool SimpleDeviceModel::IsAttached() const {
  std::lock_guard lock(mutex_);
  return host_ != nullptr;
}

bool SimpleDeviceModel::SendInputReport(std::span<const std::uint8_t> report) {
  // Held across the call so that a detach cannot happen half-way.
  std::lock_guard lock(mutex_);
  if (host_ == nullptr) return false;
  host_->SendInputReport(report);
  return true;
}

bool SimpleDeviceModel::Reenumerate(std::shared_ptr<DeviceModel> next) {
  DeviceHost* host = nullptr;
  {
    std::lock_guard lock(mutex_);
    host = host_;
  }
  // Not under the lock: leaving the bus detaches this model.
  if (host == nullptr) return false;
  host->Reenumerate(std::move(next));
  return true;
}

std::vector<std::uint8_t> SimpleDeviceModel::VendorDescriptor(std::uint8_t reportId,
                                                              std::uint16_t inputBytes,
                                                              std::uint16_t outputBytes,
                                                              std::uint16_t usagePage,
                                                              std::uint8_t usage) {
  std::vector<std::uint8_t> d;
  // Appended byte by byte: GCC 12 misreads vector::insert of a braced list
  // at -O2 (-Warray-bounds).
  auto add = [&d](std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) d.push_back(b);
  };
  add({0x06, static_cast<std::uint8_t>(usagePage & 0xFF),
       static_cast<std::uint8_t>(usagePage >> 8)});  // Usage Page (16 bit)
  add({0x09, usage});                                // Usage
  add({0xA1, 0x01});                                 // Collection (Application)
  if (reportId != 0) add({0x85, reportId});          // Report ID
  add({0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});   // 0..255, 8 bits
  auto items = [&](std::uint16_t count, std::uint8_t mainItem) {
    add({0x96, static_cast<std::uint8_t>(count & 0xFF),
         static_cast<std::uint8_t>(count >> 8)});  // Report Count (16 bit)
    add({0x09, usage, mainItem, 0x02});            // Usage, Input/Output (Data,Var)
  };
  if (inputBytes > 0) items(inputBytes, 0x81);
  if (outputBytes > 0) items(outputBytes, 0x91);
  d.push_back(0xC0);  // End Collection
  return d;
}

}  // namespace emulator
