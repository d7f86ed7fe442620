// The boot-loader operations ISPDLL offers, on one connection: identify,
// erase, program (stream), verify, start. Each reports its progress in per
// cent while it runs and leaves it at 100 when it ends, failed or not.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "hid/platform/HidBackend.h"
#include "isp/IspLink.h"
#include "isp/MtpFormat.h"

namespace isp {

struct TargetInfo {
  std::uint32_t targetId = 0;
  std::uint16_t pageSize = 0;
  std::uint16_t pageCount = 0;
  std::uint16_t optionSize = 0;
  std::uint16_t loaderVersion = 0;
  std::uint8_t maxErasePages = 0;
  std::uint8_t maxVerifyPages = 0;
};

enum class VerifyOutcome { kMatch, kMismatch, kFailed };

class IspSession {
 public:
  IspSession(hidplatform::HidBackend& backend, LinkSettings settings, std::atomic<int>& progress);

  // Opens the boot loader and identifies it.
  bool Connect();
  bool Connected() const { return connected_; }
  const TargetInfo& Target() const { return target_; }

  // True when the image is made for the connected boot loader and fits it.
  bool Accepts(const MtpImage& image) const;

  bool Erase(std::uint32_t firstPage, std::uint32_t pageCount);
  // Writes the program block from page 0 on, then the option area.
  bool Program(const MtpImage& image);
  // Compares the pages; when they match and the range is the whole code
  // area, writes the integrity record, which the device checks once more.
  VerifyOutcome Verify(const MtpImage& image, std::uint32_t firstPage, std::uint32_t pageCount);
  // True only when the device started the user firmware, also when its
  // answer was lost; false only when it did not.
  bool StartUserFirmware();

  // Counters for the benchmark.
  std::uint64_t ReportsSent() const { return link_.ReportsSent(); }

 private:
  bool WriteStream(std::uint16_t firstPage, std::span<const std::uint8_t> bytes);
  bool WriteOption(std::span<const std::uint8_t> bytes);
  VerifyOutcome WriteRecord(const MtpImage& image);
  // The option area as a burn of the image leaves it.
  std::vector<std::uint8_t> OptionAreaOf(const MtpImage& image) const;
  // After a START that got no answer: what the device turned into.
  bool StartedWhileUnanswered();
  std::optional<protocol::Frame> Exchange(const protocol::Frame& request);
  void SetProgress(std::uint64_t done, std::uint64_t total);
  bool RangeValid(std::uint32_t firstPage, std::uint32_t pageCount) const;

  IspLink link_;
  std::atomic<int>& progress_;
  TargetInfo target_;
  bool connected_ = false;
};

}  // namespace isp
