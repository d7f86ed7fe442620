#include "emulator/BootLoaderModel.h"

#include <algorithm>
#include <stdexcept>

#include "emulator/SleepUntil.h"

namespace emulator {

namespace proto = isp::protocol;
using proto::Command;
using proto::Frame;
using proto::Status;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint16_t kLoaderVersion = 0x0100;
constexpr std::size_t kCodeBytes = static_cast<std::size_t>(proto::kPageSize) * proto::kPageCount;

std::span<const std::uint8_t> Body(const Frame& frame) {
  return std::span<const std::uint8_t>(frame).subspan(proto::kBodyAt);
}
std::span<std::uint8_t> Data(Frame& frame) {
  return std::span<std::uint8_t>(frame).subspan(proto::kDataAt);
}
// Sequence numbers run 1..255: a lies in the half of the circle before b.
bool OlderThan(std::uint8_t a, std::uint8_t b) {
  const int distance = ((b - 1) - (a - 1) + 255) % 255;
  return distance > 0 && distance < 128;
}

Frame Answer(const Frame& request, Status status) {
  return proto::MakeAnswer(request[proto::kCommandAt], request[proto::kSequenceAt], status);
}

// The link polls at a fixed interval, as a USB interrupt endpoint does: a
// report handed over goes in the next interval slot, one report per slot. A
// host that is a little late for a slot therefore loses nothing beyond it,
// and such delays do not add up.
Clock::time_point NextSlot(Clock::time_point handedOver, Clock::time_point previous,
                           std::chrono::microseconds interval) {
  const auto since = handedOver.time_since_epoch();
  const auto slots = (since + interval - Clock::duration(1)) / interval;
  const Clock::time_point slot(std::chrono::duration_cast<Clock::duration>(slots * interval));
  return std::max(slot, previous + interval);
}

}  // namespace

BootLoaderModel::Operation BootLoaderModel::OperationOf(std::uint8_t command) {
  switch (static_cast<Command>(command & ~proto::kAnswerFlag)) {
    case Command::kIdentify:
      return Operation::kIdentify;
    case Command::kErase:
      return Operation::kErase;
    case Command::kWriteStart:
    case Command::kData:
      return Operation::kWrite;
    case Command::kStreamStatus:
      return Operation::kStreamStatus;
    case Command::kVerify:
      return Operation::kVerify;
    case Command::kWriteOption:
      return Operation::kWriteOption;
    case Command::kWriteRecord:
      return Operation::kRecord;
    case Command::kStart:
      return Operation::kStart;
  }
  return Operation::kAny;
}

BootLoaderModel::Flash BootLoaderModel::ErasedFlash() {
  return {std::vector<std::uint8_t>(kCodeBytes, 0xFF),
          std::vector<std::uint8_t>(proto::kOptionSize, 0xFF),
          std::vector<std::uint8_t>(proto::kRecordSize, 0xFF)};
}

bool BootLoaderModel::HoldsValidImage(const Flash& flash) {
  return proto::RecordMatches(flash.record, flash.code, flash.option, proto::kPageSize);
}

BootLoaderModel::BootLoaderModel(Flash flash)
    : code_(std::move(flash.code)),
      option_(std::move(flash.option)),
      record_(std::move(flash.record)) {
  if (code_.size() != kCodeBytes || option_.size() != proto::kOptionSize ||
      record_.size() != proto::kRecordSize)
    throw std::invalid_argument("the flash does not fit the boot loader's geometry");
  identity_.vendorId = proto::kVendorId;
  identity_.productId = proto::kProductId;
  identity_.versionNumber = kLoaderVersion;
  identity_.manufacturer = u"kbupdate";
  identity_.product = u"USB Keyboard Boot Loader";
  identity_.reportDescriptor.assign(proto::kReportDescriptor.begin(),
                                    proto::kReportDescriptor.end());
}

BootLoaderModel::~BootLoaderModel() {
  {
    std::lock_guard lock(hostMutex_);
    stopping_ = true;
  }
  queueChanged_.notify_all();
  if (delivery_.joinable()) delivery_.join();
}

void BootLoaderModel::Attach(DeviceHost* host) {
  {
    std::lock_guard lock(hostMutex_);
    host_ = host;
    queue_.clear();
  }
  queueChanged_.notify_all();
  // Plugged in again: a fresh start of the boot loader, the flash kept.
  std::lock_guard lock(mutex_);
  stream_ = {};
  lastRequest_.reset();
  newestSequence_.reset();
  started_ = false;
}

void BootLoaderModel::SetTiming(const Timing& timing) {
  std::lock_guard lock(mutex_);
  timing_ = timing;
  std::lock_guard hostLock(hostMutex_);
  inLinkPerReport_ = timing.perReport;
  if (timing.perReport.count() > 0 && !delivery_.joinable())
    delivery_ = std::thread([this] { DeliveryLoop(); });
}

void BootLoaderModel::InjectFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
  faultStruck_ = false;
}

void BootLoaderModel::ClearFaults() {
  std::lock_guard lock(mutex_);
  fault_ = {};
  stalled_ = false;
}

bool BootLoaderModel::FaultStruck() const {
  std::lock_guard lock(mutex_);
  return faultStruck_;
}

void BootLoaderModel::SetStartHandler(std::function<void(std::uint16_t)> handler) {
  std::lock_guard lock(mutex_);
  startHandler_ = std::move(handler);
}

void BootLoaderModel::SetApplicationModel(std::shared_ptr<DeviceModel> application) {
  std::lock_guard lock(mutex_);
  application_ = std::move(application);
}

BootLoaderModel::Flash BootLoaderModel::FlashContents() const {
  std::lock_guard lock(mutex_);
  return {code_, option_, record_};
}

bool BootLoaderModel::HoldsValidImage() const {
  std::lock_guard lock(mutex_);
  return proto::RecordMatches(record_, code_, option_, proto::kPageSize);
}

std::vector<std::uint8_t> BootLoaderModel::CodeFlash() const {
  std::lock_guard lock(mutex_);
  return code_;
}

std::vector<std::uint8_t> BootLoaderModel::OptionArea() const {
  std::lock_guard lock(mutex_);
  return option_;
}

void BootLoaderModel::PokeCode(std::size_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < bytes.size() && offset + i < code_.size(); ++i)
    code_[offset + i] = bytes[i];
}

void BootLoaderModel::PokeOption(std::size_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < bytes.size() && offset + i < option_.size(); ++i)
    option_[offset + i] = bytes[i];
}

std::uint16_t BootLoaderModel::VersionLocked() const {
  return isp::GetU16(option_, 0);
}

std::uint16_t BootLoaderModel::FirmwareVersion() const {
  std::lock_guard lock(mutex_);
  return VersionLocked();
}

std::uint64_t BootLoaderModel::ReportsReceived() const {
  std::lock_guard lock(mutex_);
  return reportsReceived_;
}

std::uint64_t BootLoaderModel::AnswersSent() const {
  std::lock_guard lock(hostMutex_);
  return answersSent_;
}

std::uint64_t BootLoaderModel::PagesErased() const {
  std::lock_guard lock(mutex_);
  return pagesErased_;
}

bool BootLoaderModel::Strikes(Operation operation, std::optional<std::uint32_t> page,
                              FaultKind kind) {
  if (fault_.kind != kind) return false;
  if (fault_.operation != Operation::kAny && fault_.operation != operation) return false;
  if (fault_.page && page && *fault_.page != *page) return false;
  if (fault_.page && !page &&
      (operation == Operation::kErase || operation == Operation::kWrite ||
       operation == Operation::kVerify))
    return false;
  faultStruck_ = true;
  if (kind == FaultKind::kStall) stalled_ = true;
  if (--fault_.times <= 0 || (kind != FaultKind::kDropAnswer && kind != FaultKind::kCorruptAnswer))
    fault_ = {};
  return true;
}

void BootLoaderModel::OnOutputReport(std::span<const std::uint8_t> report) {
  Clock::time_point arrival{};
  {
    std::lock_guard lock(mutex_);
    ++reportsReceived_;
    if (timing_.perReport.count() > 0) {
      outLinkFree_ = NextSlot(Clock::now(), outLinkFree_, timing_.perReport);
      arrival = outLinkFree_;
    }
  }
  // The report needs its time on the link before the device sees it.
  if (arrival != Clock::time_point{}) SleepUntil(arrival);
  if (report.size() < proto::kReportSize ||
      (report[0] != proto::kReportId && report[0] != proto::kDataReportId))
    return;
  const bool isData = report[0] == proto::kDataReportId;
  Frame request{};
  std::copy_n(report.begin() + 1, proto::kFrameSize, request.begin());

  Outcome out;
  std::function<void(std::uint16_t)> startHandler;
  std::shared_ptr<DeviceModel> comeBackAs;
  std::uint16_t version = 0;
  {
    std::lock_guard lock(mutex_);
    // A device that started its firmware is no longer the boot loader.
    if (stalled_ || started_) return;
    Handle(request, isData, out);
    if (out.start) {
      started_ = true;
      startHandler = startHandler_;
      comeBackAs = application_;
      version = VersionLocked();
    }
  }
  if (out.answer) Send(*out.answer, out.start);
  if (out.disconnect || (out.start && !startHandler)) {
    // Called without our lock: a transport may detach us from within. The
    // host stays valid while it is calling OnOutputReport.
    DeviceHost* host = nullptr;
    {
      std::lock_guard lock(hostMutex_);
      host = host_;
    }
    if (host != nullptr) host->Reenumerate(out.disconnect ? nullptr : comeBackAs);
  } else if (out.start) {
    startHandler(version);
  }
}

void BootLoaderModel::Handle(const Frame& request, bool isData, Outcome& out) {
  const auto command = isData ? Command::kData : static_cast<Command>(request[proto::kCommandAt]);
  if (command != Command::kData && !proto::FrameIntact(request)) {
    out.answer = Answer(request, Status::kBadFrame);
    proto::SealFrame(*out.answer);
    return;
  }
  const std::uint8_t sequence = request[proto::kSequenceAt];
  if (command == Command::kIdentify) {
    newestSequence_ = sequence;
  } else if (command != Command::kData) {
    // A late copy of an earlier request is not carried out again.
    if (newestSequence_ && OlderThan(sequence, *newestSequence_)) return;
    newestSequence_ = sequence;
  }
  const std::span<const std::uint8_t> key(request.data(), proto::kCrcOffset);
  if (command != Command::kData && command != Command::kIdentify &&
      command != Command::kStreamStatus && lastRequest_ &&
      std::equal(key.begin(), key.end(), lastRequest_->begin())) {
    // The host did not get our answer: repeat it, do not execute again.
    out.answer = lastAnswer_;
  } else {
    // Any command but data and the status query ends a write stream that is
    // still open.
    if (command != Command::kData && command != Command::kStreamStatus) stream_.active = false;
    switch (command) {
      case Command::kIdentify: {
        lastRequest_.reset();
        if (Strikes(Operation::kIdentify, std::nullopt, FaultKind::kDisconnect)) {
          out.disconnect = true;
          return;
        }
        Frame answer = Answer(request, Status::kOk);
        auto data = Data(answer);
        isp::PutU32(data, 0, proto::kTargetId);
        isp::PutU16(data, 4, proto::kPageSize);
        isp::PutU16(data, 6, proto::kPageCount);
        isp::PutU16(data, 8, proto::kOptionSize);
        isp::PutU16(data, 10, kLoaderVersion);
        data[12] = proto::kMaxErasePages;
        data[13] = proto::kMaxVerifyPages;
        isp::PutU16(data, 14, proto::kVersionsSpoken);
        out.answer = answer;
        break;
      }
      case Command::kErase:
        HandleErase(request, out);
        break;
      case Command::kWriteStart:
        HandleWriteStart(request, out);
        break;
      case Command::kData:
        HandleData(request, out);
        break;
      case Command::kVerify:
        HandleVerify(request, out);
        break;
      case Command::kWriteOption:
        HandleWriteOption(request, out);
        break;
      case Command::kStart:
        HandleStart(request, out);
        break;
      case Command::kWriteRecord:
        HandleWriteRecord(request, out);
        break;
      case Command::kStreamStatus:
        HandleStreamStatus(request, out);
        break;
      default:
        out.answer = Answer(request, Status::kBadCommand);
        break;
    }
    if (out.answer) proto::SealFrame(*out.answer);
    if (out.cache && out.answer) {
      lastRequest_.emplace();
      std::copy(key.begin(), key.end(), lastRequest_->begin());
      lastAnswer_ = *out.answer;
    }
  }
  if (!out.answer) return;
  // Faults on the answer: which operation and page it belongs to.
  const Operation operation = OperationOf(static_cast<std::uint8_t>(command));
  std::optional<std::uint32_t> firstPage;
  std::uint32_t pages = 1;
  if (command == Command::kErase) {
    firstPage = isp::GetU16(Body(request), 0);
    pages = isp::GetU16(Body(request), 2);
  } else if (command == Command::kData) {
    // The acknowledgement belongs to the last page it completes.
    const std::uint32_t acked = isp::GetU24(Data(*out.answer), 0);
    if (acked > 0)
      firstPage = stream_.firstPage + (acked - 1) / static_cast<std::uint32_t>(proto::kPageSize);
  } else if (command == Command::kVerify) {
    firstPage = isp::GetU16(Body(request), 0);
    pages = Body(request)[2];
  }
  auto strikes = [&](FaultKind kind) {
    if (!firstPage) return Strikes(operation, std::nullopt, kind);
    for (std::uint32_t p = 0; p < pages; ++p)
      if (Strikes(operation, *firstPage + p, kind)) return true;
    return false;
  };
  if (strikes(FaultKind::kDropAnswer)) {
    out.answer.reset();
    out.start = false;
  } else if (strikes(FaultKind::kCorruptAnswer)) {
    (*out.answer)[proto::kDataAt + 5] ^= 0x5A;  // after the CRC was computed
    out.start = false;
  } else if (strikes(FaultKind::kStall)) {
    out.answer.reset();
    out.start = false;
  }
}

void BootLoaderModel::HandleErase(const Frame& request, Outcome& out) {
  const std::uint32_t first = isp::GetU16(Body(request), 0);
  const std::uint32_t count = isp::GetU16(Body(request), 2);
  out.cache = true;
  if (count == 0 || count > proto::kMaxErasePages || first + count > proto::kPageCount) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  EraseRecord();
  for (std::uint32_t page = first; page < first + count; ++page) {
    if (Strikes(Operation::kErase, page, FaultKind::kDisconnect)) {
      out.disconnect = true;
      out.cache = false;
      return;
    }
    std::fill_n(code_.begin() + static_cast<std::ptrdiff_t>(page * proto::kPageSize),
                proto::kPageSize, 0xFF);
    ++pagesErased_;
  }
  if (timing_.perErasedPage.count() > 0) std::this_thread::sleep_for(timing_.perErasedPage * count);
  Frame answer = Answer(request, Status::kOk);
  isp::PutU16(Data(answer), 0, first);
  isp::PutU16(Data(answer), 2, count);
  out.answer = answer;
}

void BootLoaderModel::HandleWriteStart(const Frame& request, Outcome& out) {
  const std::uint32_t first = isp::GetU16(Body(request), 0);
  const std::uint32_t total = isp::GetU32(Body(request), 2);
  out.cache = true;
  if (first >= proto::kPageCount || total == 0 ||
      total > (proto::kPageCount - first) * static_cast<std::uint32_t>(proto::kPageSize)) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  stream_ = {};
  stream_.active = true;
  stream_.sequence = request[proto::kSequenceAt];
  stream_.firstPage = static_cast<std::uint16_t>(first);
  stream_.total = total;
  stream_.page.reserve(proto::kPageSize);
  out.answer = Answer(request, Status::kOk);
}

BootLoaderModel::Commit BootLoaderModel::CommitPage() {
  const std::uint32_t page =
      stream_.firstPage + stream_.committed / static_cast<std::uint32_t>(proto::kPageSize);
  if (Strikes(Operation::kWrite, page, FaultKind::kDisconnect)) {
    stream_.active = false;
    return Commit::kDisconnect;
  }
  stream_.page.resize(proto::kPageSize, 0xFF);
  EraseRecord();
  auto flash = code_.begin() + static_cast<std::ptrdiff_t>(page * proto::kPageSize);
  // Programming only clears bits, as real flash does; the read-back shows a
  // page that was not erased.
  for (std::size_t i = 0; i < proto::kPageSize; ++i) flash[i] &= stream_.page[i];
  if (Strikes(Operation::kWrite, page, FaultKind::kWeakCell)) flash[0] ^= 0x01;
  if (!std::equal(stream_.page.begin(), stream_.page.end(), flash)) {
    stream_.active = false;
    return Commit::kFailed;
  }
  stream_.committed = std::min(stream_.committed + proto::kPageSize, stream_.total);
  stream_.page.clear();
  return Commit::kDone;
}

void BootLoaderModel::HandleData(const Frame& request, Outcome& out) {
  auto acknowledge = [&](Status status, std::uint32_t value) {
    Frame answer =
        proto::MakeAnswer(static_cast<std::uint8_t>(Command::kData), stream_.sequence, status);
    isp::PutU24(Data(answer), 0, value);
    out.answer = answer;
  };
  if (!stream_.active) {
    out.answer = proto::MakeAnswer(static_cast<std::uint8_t>(Command::kData), 0, Status::kNoStream);
    return;
  }
  // Damaged, or a report of another stream: the check covers the stream.
  if (!proto::DataIntact(stream_.sequence, request)) {
    acknowledge(Status::kBadFrame, stream_.committed);
    return;
  }
  const std::uint32_t offset = isp::GetU16(request, proto::kDataOffsetAt);
  if (offset >= stream_.total) {
    acknowledge(Status::kBadArgument, stream_.committed);
    return;
  }
  const std::uint32_t end =
      offset + std::min<std::uint32_t>(proto::kMaxDataBytes, stream_.total - offset);
  if (end <= stream_.expected) return;  // a repeat: nothing new, no answer
  if (offset > stream_.expected) {
    if (stream_.gapReportedAt != stream_.expected) {
      stream_.gapReportedAt = stream_.expected;
      acknowledge(Status::kOutOfSequence, stream_.expected);
    }
    return;
  }
  const std::uint32_t before = stream_.committed;
  for (std::uint32_t at = stream_.expected; at < end; ++at) {
    stream_.page.push_back(request[proto::kDataBytesAt + (at - offset)]);
    ++stream_.expected;
    const bool pageFull = stream_.page.size() == proto::kPageSize;
    const bool streamDone = stream_.expected == stream_.total;
    if (!pageFull && !streamDone) continue;
    switch (CommitPage()) {
      case Commit::kDone:
        break;
      case Commit::kDisconnect:
        out.disconnect = true;
        return;
      case Commit::kFailed:
        acknowledge(Status::kWriteFailed, stream_.committed);
        return;
    }
  }
  if (stream_.committed != before) acknowledge(Status::kOk, stream_.committed);
}

void BootLoaderModel::HandleStreamStatus(const Frame& request, Outcome& out) {
  Frame answer = Answer(request, Status::kOk);
  isp::PutU24(Data(answer), 0, stream_.active ? stream_.committed : 0);
  Data(answer)[3] = stream_.active ? 1 : 0;
  out.answer = answer;
}

void BootLoaderModel::EraseRecord() {
  std::fill(record_.begin(), record_.end(), 0xFF);
}

void BootLoaderModel::HandleVerify(const Frame& request, Outcome& out) {
  const std::uint32_t first = isp::GetU16(Body(request), 0);
  const std::uint32_t count = Body(request)[2];
  out.cache = true;
  if (count == 0 || count > proto::kMaxVerifyPages || first + count > proto::kPageCount) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  std::uint32_t bitmap = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t page = first + i;
    if (Strikes(Operation::kVerify, page, FaultKind::kDisconnect)) {
      out.disconnect = true;
      out.cache = false;
      return;
    }
    const auto bytes = std::span<const std::uint8_t>(code_).subspan(
        static_cast<std::size_t>(page) * proto::kPageSize, proto::kPageSize);
    if (isp::Crc32(bytes) != isp::GetU32(Body(request), 3 + i * 4)) bitmap |= 1U << i;
  }
  Frame answer = Answer(request, Status::kOk);
  isp::PutU16(Data(answer), 0, bitmap);
  out.answer = answer;
}

void BootLoaderModel::HandleWriteOption(const Frame& request, Outcome& out) {
  const std::uint32_t length = Body(request)[0];
  out.cache = true;
  if (length > proto::kOptionSize) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  if (Strikes(Operation::kWriteOption, std::nullopt, FaultKind::kDisconnect)) {
    out.disconnect = true;
    out.cache = false;
    return;
  }
  EraseRecord();
  std::fill(option_.begin(), option_.end(), 0xFF);
  std::copy_n(Body(request).begin() + 1, length, option_.begin());
  if (Strikes(Operation::kWriteOption, std::nullopt, FaultKind::kWeakCell)) option_[0] ^= 0x01;
  Frame answer = Answer(request, Status::kOk);
  isp::PutU32(Data(answer), 0, isp::Crc32(option_));
  out.answer = answer;
}

void BootLoaderModel::HandleStart(const Frame& request, Outcome& out) {
  // Not remembered: a repeated START (its answer was lost, so the device
  // did not start) is carried out again.
  if (Body(request)[0] != proto::kStartUserFirmware) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  if (Strikes(Operation::kStart, std::nullopt, FaultKind::kDisconnect)) {
    out.disconnect = true;
    out.cache = false;
    return;
  }
  if (!proto::RecordMatches(record_, code_, option_, proto::kPageSize)) {
    out.answer = Answer(request, Status::kNoValidImage);
    return;
  }
  out.answer = Answer(request, Status::kOk);
  out.start = true;
}

void BootLoaderModel::HandleWriteRecord(const Frame& request, Outcome& out) {
  const std::uint32_t length = isp::GetU32(Body(request), 0);
  const std::uint32_t crc = isp::GetU32(Body(request), 4);
  out.cache = true;
  if (length < proto::kPageSize || length > code_.size()) {
    out.answer = Answer(request, Status::kBadArgument);
    return;
  }
  if (proto::ImageCrc(std::span<const std::uint8_t>(code_).first(length), option_) != crc) {
    out.answer = Answer(request, Status::kImageMismatch);
    return;
  }
  EraseRecord();
  if (Strikes(Operation::kRecord, std::nullopt, FaultKind::kDisconnect)) {
    out.disconnect = true;
    out.cache = false;
    return;
  }
  const auto record = proto::MakeRecord(length, crc);
  std::copy(record.begin(), record.end(), record_.begin());
  Frame answer = Answer(request, Status::kOk);
  std::copy(record_.begin(), record_.end(), Data(answer).begin());
  out.answer = answer;
}

void BootLoaderModel::Send(const Frame& answer, bool waitDelivered) {
  std::unique_lock lock(hostMutex_);
  // The delivery thread stays once started; timing switched off again means
  // answering at once, as before.
  if (inLinkPerReport_.count() > 0) {
    const auto due = NextSlot(Clock::now(), inLinkFree_, inLinkPerReport_);
    inLinkFree_ = due;
    queue_.push_back(Pending{due, answer});
    queueChanged_.notify_all();
    if (waitDelivered)
      queueChanged_.wait(lock, [this] { return queue_.empty() || host_ == nullptr || stopping_; });
    return;
  }
  if (host_ == nullptr) return;
  host_->SendInputReport(proto::ToReport(answer));
  ++answersSent_;
}

void BootLoaderModel::DeliveryLoop() {
  std::unique_lock lock(hostMutex_);
  for (;;) {
    queueChanged_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const auto due = queue_.front().due;
    if (Clock::now() < due) {
      // Not a timed wait on the condition: under winpthreads that wakes a
      // millisecond late, a slower link than the one emulated. Due times lie
      // a slot or two ahead at most, and any change is seen after the sleep.
      lock.unlock();
      SleepUntil(due);
      lock.lock();
      continue;  // look again: the queue may have been cleared meanwhile
    }
    const auto report = proto::ToReport(queue_.front().frame);
    queue_.pop_front();
    if (host_ != nullptr) {
      host_->SendInputReport(report);
      ++answersSent_;
    }
    queueChanged_.notify_all();
  }
}

}  // namespace emulator
