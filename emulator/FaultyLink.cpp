#include "emulator/FaultyLink.h"

#include <algorithm>

#include "isp/IspProtocol.h"

namespace emulator {

namespace proto = isp::protocol;

namespace {

constexpr std::size_t kFrameAt = 1;  // after the report id
constexpr std::size_t kDamagedByte = kFrameAt + 10;

std::uint8_t CommandOf(std::span<const std::uint8_t> report) {
  if (!report.empty() && report[0] == proto::kDataReportId)
    return static_cast<std::uint8_t>(proto::Command::kData);
  return report.size() > kFrameAt ? report[kFrameAt] : 0;
}

}  // namespace

FaultyLink::FaultyLink(std::shared_ptr<DeviceModel> device) : device_(std::move(device)) {}

void FaultyLink::Attach(DeviceHost* host) {
  {
    std::lock_guard lock(mutex_);
    host_ = host;
    held_[0].clear();
    held_[1].clear();
  }
  device_->Attach(host != nullptr ? static_cast<DeviceHost*>(this) : nullptr);
}

void FaultyLink::Inject(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back({fault});
}

void FaultyLink::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  rewrite_ = nullptr;
}

int FaultyLink::Struck() const {
  std::lock_guard lock(mutex_);
  int struck = 0;
  for (const Armed& armed : faults_) struck += armed.struck;
  return struck;
}

void FaultyLink::SetAnswerRewriter(Operation operation,
                                   std::function<void(std::uint8_t* frame)> rewrite) {
  std::lock_guard lock(mutex_);
  rewriteOperation_ = operation;
  rewrite_ = std::move(rewrite);
}

void FaultyLink::CutPowerAfter(std::uint64_t reports) {
  std::lock_guard lock(mutex_);
  cutAfter_ = reports;
}

bool FaultyLink::PowerCut() const {
  std::lock_guard lock(mutex_);
  return powerCut_;
}

std::uint64_t FaultyLink::ReportsToDevice() const {
  std::lock_guard lock(mutex_);
  return reportsToDevice_;
}

std::uint32_t FaultyLink::MostStreamBytesInFlight() const {
  std::lock_guard lock(mutex_);
  return mostInFlight_;
}

const FaultyLink::Fault* FaultyLink::Strikes(Direction direction, Operation operation) {
  const Fault* striking = nullptr;
  for (Armed& armed : faults_) {
    const Fault& f = armed.fault;
    if (f.direction != direction) continue;
    if (f.operation != Operation::kAny && f.operation != operation) continue;
    if (armed.seen++ < f.skip) continue;
    if (!f.persistent && armed.struck > 0) continue;
    if (striking != nullptr) continue;  // one fault per report; the others wait
    ++armed.struck;
    striking = &f;
  }
  return striking;
}

void FaultyLink::Observe(Direction direction, std::span<const std::uint8_t> report) {
  if (report.size() < proto::kReportSize) return;
  const auto frame = report.subspan(kFrameAt, proto::kFrameSize);
  const auto command = static_cast<proto::Command>(CommandOf(report) & ~proto::kAnswerFlag);
  if (direction == Direction::kToDevice) {
    if (command == proto::Command::kWriteStart) {
      streamSent_ = streamAcked_ = 0;
    } else if (command == proto::Command::kData) {
      const std::uint32_t end = isp::GetU16(frame, proto::kDataOffsetAt) +
                                static_cast<std::uint32_t>(proto::kMaxDataBytes);
      streamSent_ = std::max(streamSent_, end);
      mostInFlight_ = std::max(mostInFlight_, streamSent_ - std::min(streamSent_, streamAcked_));
    }
  } else if ((command == proto::Command::kData || command == proto::Command::kStreamStatus) &&
             frame[proto::kStatusAt] == static_cast<std::uint8_t>(proto::Status::kOk)) {
    // An acknowledgement, or the answer to the status query: what the host
    // knows to be programmed.
    streamAcked_ = std::max(streamAcked_, isp::GetU24(frame, proto::kDataAt));
  }
}

std::vector<std::vector<std::uint8_t>> FaultyLink::Pass(Direction direction,
                                                        std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  std::vector<std::vector<std::uint8_t>> out;
  if (powerCut_) return out;
  auto& held = held_[static_cast<int>(direction)];
  std::vector<std::vector<std::uint8_t>> released;
  for (auto it = held.begin(); it != held.end();) {
    if (--it->left <= 0) {
      released.push_back(std::move(it->report));
      it = held.erase(it);
    } else {
      ++it;
    }
  }

  std::vector<std::uint8_t> current(report.begin(), report.end());
  const Operation operation = BootLoaderModel::OperationOf(CommandOf(report));
  if (direction == Direction::kToHost && rewrite_ &&
      (rewriteOperation_ == Operation::kAny || rewriteOperation_ == operation) &&
      current.size() >= proto::kReportSize) {
    rewrite_(current.data() + kFrameAt);
    proto::Frame frame{};
    std::copy_n(current.begin() + kFrameAt, proto::kFrameSize, frame.begin());
    proto::SealFrame(frame);
    std::copy(frame.begin(), frame.end(), current.begin() + kFrameAt);
  }
  bool deliver = true;
  if (const Fault* fault = Strikes(direction, operation)) {
    switch (fault->kind) {
      case Kind::kDrop:
        deliver = false;
        break;
      case Kind::kDamage:
        if (current.size() > kDamagedByte) current[kDamagedByte] ^= 0x5A;
        break;
      case Kind::kDuplicate:
        if (fault->lag <= 0) {
          released.insert(released.begin(), current);
        } else {
          held.push_back({current, fault->lag});
        }
        break;
      case Kind::kDelay:
      case Kind::kReorder:
        held.push_back({current, fault->kind == Kind::kReorder ? 1 : fault->lag});
        deliver = false;
        break;
    }
  }
  if (deliver) out.push_back(std::move(current));
  for (auto& r : released) out.push_back(std::move(r));
  for (const auto& r : out) Observe(direction, r);
  return out;
}

void FaultyLink::OnOutputReport(std::span<const std::uint8_t> report) {
  for (const auto& r : Pass(Direction::kToDevice, report)) {
    device_->OnOutputReport(r);
    DeviceHost* host = nullptr;
    {
      std::lock_guard lock(mutex_);
      ++reportsToDevice_;
      if (powerCut_ || !cutAfter_ || reportsToDevice_ < *cutAfter_) continue;
      powerCut_ = true;
      host = host_;
    }
    // The device is gone with what it did so far; the transport detaches it.
    if (host != nullptr) host->Reenumerate(nullptr);
    return;
  }
}

void FaultyLink::SendInputReport(std::span<const std::uint8_t> report) {
  for (const auto& r : Pass(Direction::kToHost, report)) {
    DeviceHost* host = nullptr;
    {
      std::lock_guard lock(mutex_);
      host = host_;
    }
    if (host != nullptr) host->SendInputReport(r);
  }
}

void FaultyLink::Reenumerate(std::shared_ptr<DeviceModel> next) {
  DeviceHost* host = nullptr;
  {
    std::lock_guard lock(mutex_);
    host = host_;
  }
  if (host != nullptr) host->Reenumerate(std::move(next));
}

}  // namespace emulator
