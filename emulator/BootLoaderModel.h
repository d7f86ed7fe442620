// The keyboard's boot loader (04D9/8022) as a device model: a flash of 240
// code pages, an option area and the integrity record, the protocol of
// docs/isp-protocol.md with its power-on rule, an optional timing model and
// fault injection for tests.
//
// Threads: OnOutputReport runs on the transport's writing thread and answers
// from there while the timing is off. With link timing on, answers go out
// from the model's own delivery thread, so the host's SendInputReport must
// accept calls from it. The test accessors may be called from any thread.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "emulator/DeviceModel.h"
#include "isp/IspProtocol.h"

namespace emulator {

class BootLoaderModel : public DeviceModel {
 public:
  // Link and flash timing. All zero (the default): answers go out at once on
  // the writer's thread, as unit tests want.
  struct Timing {
    // Time one 64-byte report needs on the link, each way independently.
    std::chrono::microseconds perReport{0};
    // Time the flash needs to erase one page.
    std::chrono::microseconds perErasedPage{0};
  };

  // kStreamStatus: the host asking where a write stream stands.
  enum class Operation {
    kAny,
    kIdentify,
    kErase,
    kWrite,
    kVerify,
    kWriteOption,
    kRecord,
    kStart,
    kStreamStatus
  };
  // The operation a request or answer with this command byte belongs to.
  static Operation OperationOf(std::uint8_t command);

  enum class FaultKind {
    kNone,
    kDisconnect,     // the device leaves the bus, without answering
    kDropAnswer,     // one answer is not sent
    kCorruptAnswer,  // one answer is sent with a damaged byte
    kStall,          // the device stops handling reports until ClearFaults
    kWeakCell,       // one programmed bit reads back wrong (a page, the option area)
  };

  // Everything the flash holds; what a flash file keeps between power-ons.
  struct Flash {
    std::vector<std::uint8_t> code;
    std::vector<std::uint8_t> option;
    std::vector<std::uint8_t> record;
  };
  static Flash ErasedFlash();
  // The power-on rule: the user firmware runs only on a valid record.
  static bool HoldsValidImage(const Flash& flash);

  struct Fault {
    FaultKind kind = FaultKind::kNone;
    Operation operation = Operation::kAny;
    // The page at which the fault strikes (erase, write, verify); any page
    // when empty.
    std::optional<std::uint16_t> page;
    // How many answers a dropped or corrupted answer fault strikes in a row
    // (a retry meets it again while it lasts).
    int times = 1;
  };

  // Powered on with this flash (erased when none is given). Sizes that do
  // not fit the geometry throw std::invalid_argument.
  explicit BootLoaderModel(Flash flash = ErasedFlash());
  ~BootLoaderModel() override;
  BootLoaderModel(const BootLoaderModel&) = delete;
  BootLoaderModel& operator=(const BootLoaderModel&) = delete;

  const DeviceIdentity& Identity() const override { return identity_; }
  void Attach(DeviceHost* host) override;
  void OnOutputReport(std::span<const std::uint8_t> report) override;

  void SetTiming(const Timing& timing);
  // Arms one fault; it strikes once (a stall lasts until ClearFaults).
  void InjectFault(const Fault& fault);
  void ClearFaults();
  bool FaultStruck() const;

  // Called after the answer to START went out, with the firmware version in
  // option bytes 0..1. Without a handler the model leaves the bus and comes
  // back as the application model, when one is set.
  void SetStartHandler(std::function<void(std::uint16_t version)> handler);
  void SetApplicationModel(std::shared_ptr<DeviceModel> application);

  // The flash as it is now.
  Flash FlashContents() const;
  bool HoldsValidImage() const;
  std::vector<std::uint8_t> CodeFlash() const;
  std::vector<std::uint8_t> OptionArea() const;
  // Overwrites code bytes from offset on (a test sets up a flash state).
  void PokeCode(std::size_t offset, std::span<const std::uint8_t> bytes);
  // Overwrites option bytes from offset on (a flash restored from a file).
  void PokeOption(std::size_t offset, std::span<const std::uint8_t> bytes);
  std::uint16_t FirmwareVersion() const;

  std::uint64_t ReportsReceived() const;
  std::uint64_t AnswersSent() const;
  std::uint64_t PagesErased() const;

 private:
  struct Stream {
    bool active = false;
    std::uint8_t sequence = 0;
    std::uint16_t firstPage = 0;
    std::uint32_t total = 0;
    std::uint32_t committed = 0;  // bytes programmed into the flash
    std::uint32_t expected = 0;   // bytes taken (committed + buffered)
    std::vector<std::uint8_t> page;
    std::optional<std::uint32_t> gapReportedAt;
  };

  // What handling one request produced. Caller holds mutex_.
  struct Outcome {
    std::optional<isp::protocol::Frame> answer;
    bool disconnect = false;
    bool start = false;
    bool cache = false;  // remember the answer for a repeated request
  };

  void Handle(const isp::protocol::Frame& request, bool isData, Outcome& out);
  void HandleErase(const isp::protocol::Frame& request, Outcome& out);
  void HandleWriteStart(const isp::protocol::Frame& request, Outcome& out);
  void HandleData(const isp::protocol::Frame& request, Outcome& out);
  void HandleVerify(const isp::protocol::Frame& request, Outcome& out);
  void HandleWriteOption(const isp::protocol::Frame& request, Outcome& out);
  void HandleStart(const isp::protocol::Frame& request, Outcome& out);
  void HandleWriteRecord(const isp::protocol::Frame& request, Outcome& out);
  void HandleStreamStatus(const isp::protocol::Frame& request, Outcome& out);
  // Before any change to the code pages or the option area.
  void EraseRecord();
  // True when the armed fault strikes at this operation (and page); consumes
  // one-shot faults.
  bool Strikes(Operation operation, std::optional<std::uint32_t> page, FaultKind kind);
  enum class Commit { kDone, kDisconnect, kFailed };
  Commit CommitPage();

  void Send(const isp::protocol::Frame& answer, bool waitDelivered);
  void DeliveryLoop();
  std::uint16_t VersionLocked() const;

  DeviceIdentity identity_;

  mutable std::mutex mutex_;  // flash, stream, faults, counters
  std::vector<std::uint8_t> code_;
  std::vector<std::uint8_t> option_;
  std::vector<std::uint8_t> record_;
  Stream stream_;
  // START was carried out: the device has left until it is attached again.
  bool started_ = false;
  Fault fault_;
  bool faultStruck_ = false;
  bool stalled_ = false;
  std::optional<std::array<std::uint8_t, isp::protocol::kCrcOffset>> lastRequest_;
  // The newest sequence number seen since IDENTIFY: older ones are late copies.
  std::optional<std::uint8_t> newestSequence_;
  isp::protocol::Frame lastAnswer_{};
  Timing timing_;
  std::chrono::steady_clock::time_point outLinkFree_{};
  std::function<void(std::uint16_t)> startHandler_;
  std::shared_ptr<DeviceModel> application_;
  std::uint64_t reportsReceived_ = 0;
  std::uint64_t pagesErased_ = 0;

  // Answer delivery: the host pointer and the timed queue.
  struct Pending {
    std::chrono::steady_clock::time_point due;
    isp::protocol::Frame frame;
  };
  mutable std::mutex hostMutex_;
  std::condition_variable queueChanged_;
  DeviceHost* host_ = nullptr;
  std::deque<Pending> queue_;
  std::chrono::steady_clock::time_point inLinkFree_{};
  std::chrono::microseconds inLinkPerReport_{0};
  std::uint64_t answersSent_ = 0;
  bool stopping_ = false;
  std::thread delivery_;
};

}  // namespace emulator
