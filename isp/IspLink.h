// One connection to the boot loader: the two handles (writes, overlapped
// reads), sequence numbers, and request/answer exchanges bounded by a timeout
// and a number of attempts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hid/platform/HidBackend.h"
#include "isp/IspProtocol.h"

namespace isp {

struct LinkSettings {
  int answerTimeoutMs = protocol::kAnswerTimeoutMs;
  int attempts = protocol::kAttempts;
  // How long a START whose answer was lost waits to see the device come back.
  int startSettleMs = protocol::kStartSettleMs;
};

class IspLink {
 public:
  IspLink(hidplatform::HidBackend& backend, LinkSettings settings);
  ~IspLink();
  IspLink(const IspLink&) = delete;
  IspLink& operator=(const IspLink&) = delete;

  // Finds the first present boot-loader interface and opens it; false when
  // there is none or it cannot be opened.
  bool Open();
  bool IsOpen() const { return writeHandle_ != hidplatform::kInvalidHandle; }
  // Whether an interface with this vendor and product is present now.
  bool Present(std::uint16_t vendorId, std::uint16_t productId);
  // True once the platform reported the device gone or a handle failing.
  bool Broken() const { return broken_; }

  std::uint8_t NextSequence();

  // Sends the request (sequence number and CRC filled in here) and waits for
  // the answer with the same command and sequence number, resending on a
  // timeout or a damaged answer. Empty when no answer came.
  std::optional<protocol::Frame> Exchange(protocol::Frame request);

  // One frame out, no answer awaited; false when the platform refused it.
  bool Send(const protocol::Frame& frame, std::uint8_t reportId = protocol::kReportId);

  enum class Poll { kFrame, kDamaged, kNothing, kGone };
  // Waits up to timeoutMs (0: only looks) for the next answer frame.
  Poll Receive(protocol::Frame& out, int timeoutMs);

  const LinkSettings& Settings() const { return settings_; }
  std::uint64_t ReportsSent() const { return reportsSent_; }

 private:
  bool StartRead();
  void CloseHandles();
  // The parsed data of the entry when it has this vendor and product.
  std::unique_ptr<hidplatform::PreparsedData> Identify(const hidplatform::InterfaceEntry& entry,
                                                       std::uint16_t vendorId,
                                                       std::uint16_t productId);

  hidplatform::HidBackend& backend_;
  LinkSettings settings_;
  hidplatform::Handle writeHandle_ = hidplatform::kInvalidHandle;
  hidplatform::Handle readHandle_ = hidplatform::kInvalidHandle;
  std::uint16_t inputLength_ = 0;
  std::uint16_t outputLength_ = 0;
  std::array<std::uint8_t, 256> readBuffer_{};
  bool readPending_ = false;
  bool broken_ = false;
  std::uint8_t sequence_ = 0;
  std::uint64_t reportsSent_ = 0;
};

}  // namespace isp
