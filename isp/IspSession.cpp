#include "isp/IspSession.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace isp {

using protocol::Command;
using protocol::Frame;
using protocol::Status;

namespace {

Status StatusOf(const Frame& answer) {
  return static_cast<Status>(answer[protocol::kStatusAt]);
}

std::span<std::uint8_t> Body(Frame& frame) {
  return std::span<std::uint8_t>(frame).subspan(protocol::kBodyAt);
}
std::span<const std::uint8_t> Data(const Frame& frame) {
  return std::span<const std::uint8_t>(frame).subspan(protocol::kDataAt);
}

}  // namespace

IspSession::IspSession(hidplatform::HidBackend& backend, LinkSettings settings,
                       std::atomic<int>& progress)
    : link_(backend, settings), progress_(progress) {}

void IspSession::SetProgress(std::uint64_t done, std::uint64_t total) {
  const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
  progress_.store(static_cast<int>(std::min<std::uint64_t>(percent, 100)));
}

std::optional<Frame> IspSession::Exchange(const Frame& request) {
  if (!connected_) return std::nullopt;
  auto answer = link_.Exchange(request);
  // A device that went away stays gone for this connection.
  if (link_.Broken()) connected_ = false;
  return answer;
}

bool IspSession::Connect() {
  connected_ = false;
  if (!link_.Open()) return false;
  connected_ = true;
  const auto answer = Exchange(protocol::MakeRequest(Command::kIdentify, 0));
  if (!answer || StatusOf(*answer) != Status::kOk) {
    connected_ = false;
    return false;
  }
  const auto data = Data(*answer);
  target_.targetId = GetU32(data, 0);
  target_.pageSize = GetU16(data, 4);
  target_.pageCount = GetU16(data, 6);
  target_.optionSize = GetU16(data, 8);
  target_.loaderVersion = GetU16(data, 10);
  target_.maxErasePages = data[12];
  target_.maxVerifyPages = data[13];
  // A boot loader that does not speak our version, or reports a geometry we
  // cannot drive, is not ours: nothing is erased.
  if ((GetU16(data, 14) & protocol::kVersionsSpoken) == 0 || target_.pageSize == 0 ||
      target_.pageCount == 0 || target_.maxErasePages == 0 || target_.maxVerifyPages == 0 ||
      target_.maxVerifyPages > (protocol::kCrcOffset - protocol::kBodyAt - 3) / 4 ||
      target_.optionSize > protocol::kCrcOffset - protocol::kBodyAt - 1) {
    connected_ = false;
    return false;
  }
  return true;
}

bool IspSession::RangeValid(std::uint32_t firstPage, std::uint32_t pageCount) const {
  return pageCount > 0 && firstPage < target_.pageCount &&
         pageCount <= static_cast<std::uint32_t>(target_.pageCount) - firstPage;
}

bool IspSession::Accepts(const MtpImage& image) const {
  return CheckMtpFitsTarget(image, target_.targetId, target_.pageSize, target_.pageCount,
                            target_.optionSize)
      .empty();
}

bool IspSession::Erase(std::uint32_t firstPage, std::uint32_t pageCount) {
  SetProgress(0, pageCount);
  if (!connected_ || !RangeValid(firstPage, pageCount)) return false;
  for (std::uint32_t done = 0; done < pageCount;) {
    const std::uint32_t run = std::min<std::uint32_t>(pageCount - done, target_.maxErasePages);
    Frame request = protocol::MakeRequest(Command::kErase, 0);
    PutU16(Body(request), 0, firstPage + done);
    PutU16(Body(request), 2, run);
    const auto answer = Exchange(request);
    if (!answer || StatusOf(*answer) != Status::kOk) return false;
    done += run;
    SetProgress(done, pageCount);
  }
  return true;
}

bool IspSession::Program(const MtpImage& image) {
  SetProgress(0, 1);
  if (!connected_ || !Accepts(image)) return false;
  if (!WriteStream(0, image.program)) return false;
  // Always: an option area left as it was would keep the old version.
  if (!WriteOption(image.option)) return false;
  SetProgress(1, 1);
  return true;
}

bool IspSession::WriteStream(std::uint16_t firstPage, std::span<const std::uint8_t> bytes) {
  using Clock = std::chrono::steady_clock;
  const std::uint32_t total = static_cast<std::uint32_t>(bytes.size());
  // The option write that follows is the last 1 per cent.
  const auto report = [this, total](std::uint32_t acked) {
    progress_.store(static_cast<int>(static_cast<std::uint64_t>(acked) * 99 / total));
  };
  Frame start = protocol::MakeRequest(Command::kWriteStart, 0);
  PutU16(Body(start), 0, firstPage);
  PutU32(Body(start), 2, total);
  const auto started = Exchange(start);
  if (!started || StatusOf(*started) != Status::kOk) return false;
  const std::uint8_t stream = (*started)[protocol::kSequenceAt];

  const std::uint32_t window = protocol::kStreamWindowPages * target_.pageSize;
  std::uint32_t acked = 0;
  std::uint32_t sent = 0;
  int roundsWithoutProgress = 0;
  bool failed = false;
  const auto lost = [this] {
    connected_ = false;
    return false;
  };
  const auto moveOn = [&](std::uint32_t committed) {
    if (committed <= acked || committed > total) return;
    acked = committed;
    sent = std::max(sent, acked);
    roundsWithoutProgress = 0;
    report(acked);
  };
  const auto setBack = [&]() {
    if (++roundsWithoutProgress >= link_.Settings().attempts) failed = true;
  };

  auto take = [&](const Frame& answer) {
    // Only acknowledgements of this stream count; anything else is stale.
    if (answer[protocol::kCommandAt] !=
            (static_cast<std::uint8_t>(Command::kData) | protocol::kAnswerFlag) ||
        answer[protocol::kSequenceAt] != stream)
      return;
    const std::uint32_t offset = GetU24(Data(answer), 0);
    switch (StatusOf(answer)) {
      case Status::kOk:
        moveOn(offset);
        break;
      case Status::kOutOfSequence:
        // A report got lost on the way: resend from where the device stands.
        setBack();
        if (offset >= acked && offset <= sent) sent = offset;
        break;
      case Status::kBadFrame:
        // A data report arrived damaged: go back.
        setBack();
        sent = acked;
        break;
      default:
        failed = true;
        break;
    }
  };

  while (acked < total && !failed) {
    while (sent < total && sent < acked + window && !failed) {
      const std::uint32_t length = std::min<std::uint32_t>(protocol::kMaxDataBytes, total - sent);
      Frame data{};
      PutU16(data, protocol::kDataOffsetAt, sent);
      std::copy_n(bytes.begin() + sent, length, data.begin() + protocol::kDataBytesAt);
      protocol::SealData(data, stream);
      if (!link_.Send(data, protocol::kDataReportId)) return lost();
      sent += length;
      // Take the acknowledgements that are already there, without waiting.
      Frame answer{};
      for (IspLink::Poll p; (p = link_.Receive(answer, 0)) != IspLink::Poll::kNothing;) {
        if (p == IspLink::Poll::kGone) return lost();
        if (p == IspLink::Poll::kFrame) take(answer);
      }
    }
    if (acked >= total || failed) break;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(link_.Settings().answerTimeoutMs);
    const std::uint32_t before = acked;
    const std::uint32_t sentBefore = sent;
    while (acked == before && sent == sentBefore && !failed) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      Frame answer{};
      const IspLink::Poll p =
          left < 0 ? IspLink::Poll::kNothing : link_.Receive(answer, static_cast<int>(left));
      if (p == IspLink::Poll::kGone) return lost();
      if (p == IspLink::Poll::kFrame) take(answer);
      if (p == IspLink::Poll::kNothing) {
        // No acknowledgement in time: ask where the stream stands, with the
        // retries of any command, and go on from there.
        setBack();
        if (failed) break;
        const auto status = Exchange(protocol::MakeRequest(Command::kStreamStatus, 0));
        if (!status || StatusOf(*status) != Status::kOk || Data(*status)[3] == 0) return false;
        moveOn(GetU24(Data(*status), 0));
        sent = acked;
        break;
      }
    }
  }
  return !failed && acked == total;
}

std::vector<std::uint8_t> IspSession::OptionAreaOf(const MtpImage& image) const {
  std::vector<std::uint8_t> area(target_.optionSize, 0xFF);
  std::copy_n(image.option.begin(), std::min(image.option.size(), area.size()), area.begin());
  return area;
}

bool IspSession::WriteOption(std::span<const std::uint8_t> bytes) {
  Frame request = protocol::MakeRequest(Command::kWriteOption, 0);
  Body(request)[0] = static_cast<std::uint8_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), Body(request).begin() + 1);
  const auto answer = Exchange(request);
  if (!answer || StatusOf(*answer) != Status::kOk) return false;
  std::vector<std::uint8_t> expected(target_.optionSize, 0xFF);
  std::copy(bytes.begin(), bytes.end(), expected.begin());
  // The area as read back: a cell that did not take the value fails here.
  return GetU32(Data(*answer), 0) == Crc32(expected);
}

VerifyOutcome IspSession::WriteRecord(const MtpImage& image) {
  const auto length = static_cast<std::uint32_t>(image.program.size());
  const std::uint32_t crc = protocol::ImageCrc(image.program, OptionAreaOf(image));
  Frame request = protocol::MakeRequest(Command::kWriteRecord, 0);
  PutU32(Body(request), 0, length);
  PutU32(Body(request), 4, crc);
  const auto answer = Exchange(request);
  if (!answer) return VerifyOutcome::kFailed;
  if (StatusOf(*answer) == Status::kImageMismatch) return VerifyOutcome::kMismatch;
  if (StatusOf(*answer) != Status::kOk) return VerifyOutcome::kFailed;
  const auto expected = protocol::MakeRecord(length, crc);
  return std::equal(expected.begin(), expected.end(), Data(*answer).begin())
             ? VerifyOutcome::kMatch
             : VerifyOutcome::kFailed;
}

VerifyOutcome IspSession::Verify(const MtpImage& image, std::uint32_t firstPage,
                                 std::uint32_t pageCount) {
  SetProgress(0, pageCount);
  if (!connected_ || !RangeValid(firstPage, pageCount) || !Accepts(image))
    return VerifyOutcome::kFailed;
  bool mismatch = false;
  std::vector<std::uint8_t> page(target_.pageSize);
  for (std::uint32_t done = 0; done < pageCount;) {
    const std::uint32_t run = std::min<std::uint32_t>(pageCount - done, target_.maxVerifyPages);
    Frame request = protocol::MakeRequest(Command::kVerify, 0);
    PutU16(Body(request), 0, firstPage + done);
    Body(request)[2] = static_cast<std::uint8_t>(run);
    for (std::uint32_t i = 0; i < run; ++i) {
      const std::size_t from = static_cast<std::size_t>(firstPage + done + i) * target_.pageSize;
      std::fill(page.begin(), page.end(), 0xFF);
      if (from < image.program.size()) {
        const std::size_t n = std::min<std::size_t>(page.size(), image.program.size() - from);
        std::copy_n(image.program.begin() + static_cast<std::ptrdiff_t>(from), n, page.begin());
      }
      PutU32(Body(request), 3 + i * 4, Crc32(page));
    }
    const auto answer = Exchange(request);
    if (!answer || StatusOf(*answer) != Status::kOk) return VerifyOutcome::kFailed;
    if (GetU16(Data(*answer), 0) != 0) mismatch = true;
    done += run;
    SetProgress(done, pageCount);
  }
  if (mismatch) return VerifyOutcome::kMismatch;
  // The record goes last, after everything it covers was read back.
  if (firstPage == 0 && pageCount == target_.pageCount) return WriteRecord(image);
  return VerifyOutcome::kMatch;
}

bool IspSession::StartUserFirmware() {
  if (!connected_) return false;
  Frame request = protocol::MakeRequest(Command::kStart, 0);
  Body(request)[0] = protocol::kStartUserFirmware;
  const auto answer = Exchange(request);
  if (answer) return StatusOf(*answer) == Status::kOk;
  // A device that starts leaves the bus right after its answer; one that is
  // still here did not start.
  if (!link_.Broken()) return false;
  return StartedWhileUnanswered();
}

bool IspSession::StartedWhileUnanswered() {
  using Clock = std::chrono::steady_clock;
  const auto vendor = static_cast<std::uint16_t>(target_.targetId >> 16);
  const auto product = static_cast<std::uint16_t>(target_.targetId & 0xFFFF);
  const auto deadline = Clock::now() + std::chrono::milliseconds(link_.Settings().startSettleMs);
  for (;;) {
    if (link_.Present(vendor, product)) return true;
    if (link_.Present(protocol::kVendorId, protocol::kProductId)) return false;
    if (Clock::now() >= deadline) return false;
    // The bus has no event for this here; look again shortly.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace isp
