#include "isp/IspLink.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace isp {

using protocol::Frame;
namespace hp = hidplatform;

IspLink::IspLink(hp::HidBackend& backend, LinkSettings settings)
    : backend_(backend), settings_(settings) {}

IspLink::~IspLink() {
  CloseHandles();
}

void IspLink::CloseHandles() {
  if (readHandle_ != hp::kInvalidHandle) {
    if (readPending_) backend_.CancelRead(readHandle_);
    backend_.Close(readHandle_);
  }
  if (writeHandle_ != hp::kInvalidHandle) backend_.Close(writeHandle_);
  readHandle_ = writeHandle_ = hp::kInvalidHandle;
  readPending_ = false;
}

std::unique_ptr<hp::PreparsedData> IspLink::Identify(const hp::InterfaceEntry& entry,
                                                     std::uint16_t vendorId,
                                                     std::uint16_t productId) {
  const hp::Handle query = backend_.Open(entry.path, hp::Access::kQueryOnly);
  if (query == hp::kInvalidHandle) return nullptr;
  hp::Attributes attributes;
  std::unique_ptr<hp::PreparsedData> parsed;
  if (backend_.GetAttributes(query, attributes) && attributes.vendorId == vendorId &&
      attributes.productId == productId)
    parsed = backend_.GetPreparsedData(query);
  backend_.Close(query);
  return parsed;
}

bool IspLink::Present(std::uint16_t vendorId, std::uint16_t productId) {
  std::vector<hp::InterfaceEntry> entries;
  if (!backend_.EnumerateInterfaces(entries)) return false;
  return std::any_of(entries.begin(), entries.end(), [&](const hp::InterfaceEntry& entry) {
    return Identify(entry, vendorId, productId) != nullptr;
  });
}

bool IspLink::Open() {
  CloseHandles();
  broken_ = false;
  std::vector<hp::InterfaceEntry> entries;
  if (!backend_.EnumerateInterfaces(entries)) return false;
  for (const hp::InterfaceEntry& entry : entries) {
    const auto parsed = Identify(entry, protocol::kVendorId, protocol::kProductId);
    if (!parsed) continue;
    const hp::Capabilities caps = parsed->caps();
    if (caps.inputReportByteLength < protocol::kReportSize ||
        caps.outputReportByteLength < protocol::kReportSize ||
        caps.inputReportByteLength > readBuffer_.size())
      continue;
    writeHandle_ = backend_.Open(entry.path, hp::Access::kReadWrite);
    readHandle_ = backend_.Open(entry.path, hp::Access::kOverlappedRead);
    inputLength_ = caps.inputReportByteLength;
    outputLength_ = caps.outputReportByteLength;
    if (writeHandle_ != hp::kInvalidHandle && readHandle_ != hp::kInvalidHandle && StartRead())
      return true;
    CloseHandles();
  }
  return false;
}

bool IspLink::StartRead() {
  readPending_ = backend_.StartRead(readHandle_, readBuffer_.data(), inputLength_);
  if (!readPending_) broken_ = true;
  return readPending_;
}

std::uint8_t IspLink::NextSequence() {
  sequence_ = static_cast<std::uint8_t>(sequence_ == 255 ? 1 : sequence_ + 1);
  return sequence_;
}

bool IspLink::Send(const Frame& frame, std::uint8_t reportId) {
  if (!IsOpen() || broken_) return false;
  std::vector<std::uint8_t> report(outputLength_, 0);
  report[0] = reportId;
  std::copy(frame.begin(), frame.end(), report.begin() + 1);
  std::uint32_t written = 0;
  if (!backend_.Write(writeHandle_, report.data(), report.size(), written) ||
      written != report.size()) {
    broken_ = true;
    return false;
  }
  ++reportsSent_;
  return true;
}

IspLink::Poll IspLink::Receive(Frame& out, int timeoutMs) {
  if (!IsOpen() || broken_ || !readPending_) return Poll::kGone;
  if (backend_.WaitRead(readHandle_, timeoutMs) == hp::WaitResult::kTimedOut) return Poll::kNothing;
  readPending_ = false;
  std::uint32_t bytes = 0;
  if (!backend_.GetReadResult(readHandle_, bytes)) {
    broken_ = true;
    return Poll::kGone;
  }
  const bool shaped = bytes >= protocol::kReportSize && readBuffer_[0] == protocol::kReportId;
  if (shaped) std::copy_n(readBuffer_.begin() + 1, protocol::kFrameSize, out.begin());
  // The next read starts at once; when the device has just left (after
  // answering START, say), this answer still counts and the next Receive
  // reports the loss.
  const bool restarted = StartRead();
  if (!shaped || !protocol::FrameIntact(out)) return restarted ? Poll::kDamaged : Poll::kGone;
  return Poll::kFrame;
}

std::optional<Frame> IspLink::Exchange(Frame request) {
  using Clock = std::chrono::steady_clock;
  const std::uint8_t sequence = NextSequence();
  request[protocol::kSequenceAt] = sequence;
  protocol::SealFrame(request);
  const std::uint8_t expectedCommand =
      static_cast<std::uint8_t>(request[protocol::kCommandAt] | protocol::kAnswerFlag);
  for (int attempt = 0; attempt < settings_.attempts; ++attempt) {
    if (!Send(request)) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(settings_.answerTimeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left < 0) break;
      Frame answer{};
      const Poll poll = Receive(answer, static_cast<int>(left));
      if (poll == Poll::kGone) return std::nullopt;
      if (poll == Poll::kNothing) break;
      // A damaged answer is as good as none: ask again at once; the device
      // repeats its answer without executing the request twice.
      if (poll == Poll::kDamaged) break;
      if (answer[protocol::kCommandAt] == expectedCommand &&
          answer[protocol::kSequenceAt] == sequence) {
        // The request itself arrived damaged: send it again.
        if (answer[protocol::kStatusAt] == static_cast<std::uint8_t>(protocol::Status::kBadFrame))
          break;
        return answer;
      }
      // A stale answer to an earlier request: keep waiting.
    }
  }
  return std::nullopt;
}

}  // namespace isp
