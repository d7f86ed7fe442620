// The boot-loader model on its own: frames in, answers out, through a host
// that records what the model does.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "emulator/BootLoaderModel.h"
#include "isp/IspProtocol.h"

namespace {

namespace proto = isp::protocol;
using emulator::BootLoaderModel;
using proto::Command;
using proto::Frame;
using proto::Status;

class RecordingHost : public emulator::DeviceHost {
 public:
  void SendInputReport(std::span<const std::uint8_t> report) override {
    std::lock_guard lock(mutex_);
    reports.emplace_back(report.begin(), report.end());
  }
  void Reenumerate(std::shared_ptr<emulator::DeviceModel> next) override {
    std::lock_guard lock(mutex_);
    reenumerated = true;
    nextModel = std::move(next);
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return reports.size();
  }
  std::vector<std::vector<std::uint8_t>> reports;
  bool reenumerated = false;
  std::shared_ptr<emulator::DeviceModel> nextModel;

 private:
  std::mutex mutex_;
};

class BootLoaderModelTest : public ::testing::Test {
 protected:
  BootLoaderModelTest() { model_.Attach(&host_); }
  ~BootLoaderModelTest() override { model_.Attach(nullptr); }

  // Sends a request (sequence and CRC filled in) and returns the answers it
  // caused.
  std::vector<Frame> Send(Frame request, std::uint8_t sequence, bool seal = true) {
    request[proto::kSequenceAt] = sequence;
    if (seal) proto::SealFrame(request);
    return Deliver(proto::ToReport(request));
  }
  // A data report; it names its stream only through its check.
  std::vector<Frame> SendData(Frame data, std::uint8_t stream) {
    proto::SealData(data, stream);
    return Deliver(proto::ToReport(data, proto::kDataReportId));
  }
  std::vector<Frame> Deliver(const std::array<std::uint8_t, proto::kReportSize>& report) {
    const std::size_t before = host_.reports.size();
    model_.OnOutputReport(report);
    std::vector<Frame> answers;
    for (std::size_t i = before; i < host_.reports.size(); ++i) {
      Frame f{};
      EXPECT_EQ(host_.reports[i].size(), proto::kReportSize);
      EXPECT_EQ(host_.reports[i][0], proto::kReportId);
      std::copy_n(host_.reports[i].begin() + 1, proto::kFrameSize, f.begin());
      EXPECT_TRUE(proto::FrameIntact(f));
      answers.push_back(f);
    }
    return answers;
  }
  static Frame Erase(std::uint16_t first, std::uint16_t count) {
    Frame f = proto::MakeRequest(Command::kErase, 0);
    isp::PutU16(f, proto::kBodyAt, first);
    isp::PutU16(f, proto::kBodyAt + 2, count);
    return f;
  }
  static Frame WriteStart(std::uint16_t first, std::uint32_t total) {
    Frame f = proto::MakeRequest(Command::kWriteStart, 0);
    isp::PutU16(f, proto::kBodyAt, first);
    isp::PutU32(f, proto::kBodyAt + 2, total);
    return f;
  }
  static Frame Data(std::uint32_t offset, std::uint8_t length, std::uint8_t fill) {
    Frame f{};
    isp::PutU16(f, proto::kDataOffsetAt, offset);
    std::fill_n(f.begin() + proto::kDataBytesAt, length, fill);
    return f;
  }
  static Frame Record(std::uint32_t length, std::uint32_t crc) {
    Frame f = proto::MakeRequest(Command::kWriteRecord, 0);
    isp::PutU32(f, proto::kBodyAt, length);
    isp::PutU32(f, proto::kBodyAt + 4, crc);
    return f;
  }
  static Status StatusOf(const Frame& f) { return static_cast<Status>(f[proto::kStatusAt]); }
  static std::uint32_t Acked(const Frame& f) { return isp::GetU24(f, proto::kDataAt); }

  // Streams `total` bytes of `fill` into the flash from page `first`.
  void Stream(std::uint16_t first, std::uint32_t total, std::uint8_t fill, std::uint8_t seq) {
    ASSERT_EQ(StatusOf(Send(WriteStart(first, total), seq).at(0)), Status::kOk);
    for (std::uint32_t at = 0; at < total; at += proto::kMaxDataBytes) {
      const auto n =
          static_cast<std::uint8_t>(std::min<std::uint32_t>(proto::kMaxDataBytes, total - at));
      SendData(Data(at, n, fill), seq);
    }
  }

  RecordingHost host_;
  BootLoaderModel model_;
};

TEST_F(BootLoaderModelTest, IdentifiesItselfWithItsGeometry) {
  const auto& id = model_.Identity();
  EXPECT_EQ(id.vendorId, 0x04D9);
  EXPECT_EQ(id.productId, 0x8022);
  const auto answers = Send(proto::MakeRequest(Command::kIdentify, 0), 7);
  ASSERT_EQ(answers.size(), 1U);
  const Frame& a = answers[0];
  EXPECT_EQ(a[proto::kCommandAt], 0x81);
  EXPECT_EQ(a[proto::kSequenceAt], 7);
  EXPECT_EQ(StatusOf(a), Status::kOk);
  EXPECT_EQ(isp::GetU32(a, proto::kDataAt), proto::kTargetId);
  EXPECT_EQ(isp::GetU16(a, proto::kDataAt + 4), 256);
  EXPECT_EQ(isp::GetU16(a, proto::kDataAt + 6), 240);
  EXPECT_EQ(isp::GetU16(a, proto::kDataAt + 8), 32);
  EXPECT_EQ(isp::GetU16(a, proto::kDataAt + 14), 1U << 2);  // speaks version 2
}

TEST_F(BootLoaderModelTest, DamagedOrRepeatedRequestsAreNotExecutedTwice) {
  model_.PokeCode(0, std::vector<std::uint8_t>(512, 0x00));
  Frame damaged = Erase(0, 2);
  damaged[proto::kSequenceAt] = 3;
  proto::SealFrame(damaged);
  damaged[6] ^= 1;  // a bit flipped on the way
  auto answers = Send(damaged, 3, /*seal=*/false);
  ASSERT_EQ(answers.size(), 1U);
  EXPECT_EQ(StatusOf(answers[0]), Status::kBadFrame);
  EXPECT_EQ(model_.PagesErased(), 0U);
  EXPECT_EQ(model_.CodeFlash()[0], 0x00);

  const auto first = Send(Erase(0, 2), 4);
  const auto again = Send(Erase(0, 2), 4);  // the host missed the answer
  ASSERT_EQ(first.size(), 1U);
  ASSERT_EQ(again.size(), 1U);
  EXPECT_EQ(first[0], again[0]);
  EXPECT_EQ(model_.PagesErased(), 2U);
  EXPECT_EQ(model_.CodeFlash()[0], 0xFF);
  // A new sequence number is a new request.
  Send(Erase(0, 2), 5);
  EXPECT_EQ(model_.PagesErased(), 4U);
  // Out of range or too many pages at once.
  EXPECT_EQ(StatusOf(Send(Erase(239, 2), 6).at(0)), Status::kBadArgument);
  EXPECT_EQ(StatusOf(Send(Erase(0, 61), 7).at(0)), Status::kBadArgument);
  EXPECT_EQ(StatusOf(Send(proto::MakeRequest(static_cast<Command>(0x33), 0), 8).at(0)),
            Status::kBadCommand);
}

TEST_F(BootLoaderModelTest, StreamAcknowledgesPagesAndHandlesRepeatsAndGaps) {
  ASSERT_EQ(StatusOf(Send(WriteStart(3, 600), 9).at(0)), Status::kOk);
  // 60-byte reports: the fifth completes page 3 (bytes 0..255).
  for (std::uint32_t at = 0; at < 240; at += 60)
    EXPECT_TRUE(SendData(Data(at, 60, 0x11), 9).empty());
  auto a = SendData(Data(240, 60, 0x11), 9);
  ASSERT_EQ(a.size(), 1U);
  EXPECT_EQ(StatusOf(a[0]), Status::kOk);
  EXPECT_EQ(a[0][proto::kSequenceAt], 9);
  EXPECT_EQ(Acked(a[0]), 256U);
  // A repeat takes nothing and says nothing; the status query tells where
  // the stream stands, as often as asked, and leaves it open.
  EXPECT_TRUE(SendData(Data(0, 60, 0x11), 9).empty());
  for (std::uint8_t seq : {20, 21}) {
    a = Send(proto::MakeRequest(Command::kStreamStatus, 0), seq);
    ASSERT_EQ(a.size(), 1U);
    EXPECT_EQ(Acked(a[0]), 256U);
    EXPECT_EQ(a[0][proto::kDataAt + 3], 1);
  }
  // A gap is reported once, with where the device stands.
  a = SendData(Data(400, 60, 0x11), 9);
  ASSERT_EQ(a.size(), 1U);
  EXPECT_EQ(StatusOf(a[0]), Status::kOutOfSequence);
  EXPECT_EQ(Acked(a[0]), 300U);
  EXPECT_TRUE(SendData(Data(460, 60, 0x11), 9).empty());
  // A report of another stream fails its check and is not taken.
  a = SendData(Data(300, 60, 0x22), 10);
  ASSERT_EQ(a.size(), 1U);
  EXPECT_EQ(StatusOf(a[0]), Status::kBadFrame);
  // The rest, overlapping what was taken; the last page is padded with 0xFF.
  for (std::uint32_t at = 290; at < 600; at += 60)
    SendData(Data(at, static_cast<std::uint8_t>(std::min<std::uint32_t>(60, 600 - at)), 0x11), 9);
  const auto flash = model_.CodeFlash();
  for (std::size_t i = 0; i < 600; ++i) ASSERT_EQ(flash[3 * 256 + i], 0x11) << i;
  EXPECT_EQ(flash[3 * 256 + 600], 0xFF);
  EXPECT_EQ(flash[3 * 256 - 1], 0xFF);
}

TEST_F(BootLoaderModelTest, WritingAPageThatWasNotErasedFailsItsReadBack) {
  model_.PokeCode(0, std::vector<std::uint8_t>(256, 0x0F));
  ASSERT_EQ(StatusOf(Send(WriteStart(0, 54), 1).at(0)), Status::kOk);
  const auto a = SendData(Data(0, 54, 0xF0), 1);
  ASSERT_EQ(a.size(), 1U);
  EXPECT_EQ(StatusOf(a[0]), Status::kWriteFailed);
  EXPECT_EQ(StatusOf(SendData(Data(0, 54, 0xF0), 1).at(0)), Status::kNoStream);
}

TEST_F(BootLoaderModelTest, VerifyMarksExactlyTheDifferingPages) {
  Stream(0, 256 * 4, 0x22, 1);
  Frame verify = proto::MakeRequest(Command::kVerify, 0);
  isp::PutU16(verify, proto::kBodyAt, 0);
  verify[proto::kBodyAt + 2] = 5;
  const std::vector<std::uint8_t> good(256, 0x22);
  std::vector<std::uint8_t> other = good;
  other[17] = 0x23;
  const std::vector<std::uint8_t> erased(256, 0xFF);
  const std::uint32_t crcs[5] = {isp::Crc32(good), isp::Crc32(other), isp::Crc32(good),
                                 isp::Crc32(good), isp::Crc32(erased)};
  for (int i = 0; i < 5; ++i) isp::PutU32(verify, proto::kBodyAt + 3 + i * 4, crcs[i]);
  const auto a = Send(verify, 2);
  ASSERT_EQ(a.size(), 1U);
  EXPECT_EQ(StatusOf(a[0]), Status::kOk);
  EXPECT_EQ(isp::GetU16(a[0], proto::kDataAt), 0b00010U);
}

TEST_F(BootLoaderModelTest, StartNeedsAValidRecordWrittenLastAndHandsOverTheVersion) {
  Frame start = proto::MakeRequest(Command::kStart, 0);
  start[proto::kBodyAt] = 2;
  EXPECT_EQ(StatusOf(Send(start, 1).at(0)), Status::kNoValidImage);
  EXPECT_FALSE(host_.reenumerated);

  Stream(0, 300, 0x33, 2);
  Frame option = proto::MakeRequest(Command::kWriteOption, 0);
  option[proto::kBodyAt] = 2;
  option[proto::kBodyAt + 1] = 0x07;
  option[proto::kBodyAt + 2] = 0x03;
  EXPECT_EQ(StatusOf(Send(option, 3).at(0)), Status::kOk);
  EXPECT_EQ(model_.FirmwareVersion(), 0x0307);
  // Written and complete, but without a record it does not start.
  EXPECT_EQ(StatusOf(Send(start, 4).at(0)), Status::kNoValidImage);

  // The device checks what the record would cover before it writes it.
  const std::uint32_t crc =
      proto::ImageCrc(std::vector<std::uint8_t>(300, 0x33), model_.OptionArea());
  EXPECT_EQ(StatusOf(Send(Record(300, crc ^ 1), 5).at(0)), Status::kImageMismatch);
  EXPECT_EQ(StatusOf(Send(Record(255, crc), 6).at(0)), Status::kBadArgument);
  EXPECT_FALSE(model_.HoldsValidImage());
  const auto written = Send(Record(300, crc), 7).at(0);
  ASSERT_EQ(StatusOf(written), Status::kOk);
  const auto record = proto::MakeRecord(300, crc);
  EXPECT_TRUE(std::equal(record.begin(), record.end(), written.begin() + proto::kDataAt));
  EXPECT_TRUE(model_.HoldsValidImage());
  // The power-on rule reads the same flash the same way.
  EXPECT_TRUE(BootLoaderModel::HoldsValidImage(model_.FlashContents()));

  Frame wrongTarget = start;
  wrongTarget[proto::kBodyAt] = 1;
  EXPECT_EQ(StatusOf(Send(wrongTarget, 8).at(0)), Status::kBadArgument);

  // With a handler, the owner decides, and learns the version.
  std::uint16_t version = 0;
  model_.SetStartHandler([&version](std::uint16_t v) { version = v; });
  EXPECT_EQ(StatusOf(Send(start, 9).at(0)), Status::kOk);
  EXPECT_EQ(version, 0x0307);
  EXPECT_FALSE(host_.reenumerated);
  // Started, it is no longer the boot loader: nothing is answered.
  EXPECT_TRUE(Send(start, 10).empty());

  // Plugged again: any change to the flash erases the record first.
  model_.Attach(&host_);
  EXPECT_EQ(StatusOf(Send(Erase(200, 1), 11).at(0)), Status::kOk);
  EXPECT_FALSE(model_.HoldsValidImage());
  EXPECT_EQ(StatusOf(Send(start, 12).at(0)), Status::kNoValidImage);

  // Without a handler the model leaves the bus after answering.
  model_.SetStartHandler(nullptr);
  EXPECT_EQ(StatusOf(Send(Record(300, crc), 13).at(0)), Status::kOk);
  EXPECT_EQ(StatusOf(Send(start, 14).at(0)), Status::kOk);
  EXPECT_TRUE(host_.reenumerated);
  EXPECT_EQ(host_.nextModel, nullptr);
}

TEST_F(BootLoaderModelTest, DisconnectDuringEraseLeavesThePagesBeforeItErasedOnly) {
  model_.PokeCode(0, std::vector<std::uint8_t>(16 * 256, 0x00));
  model_.InjectFault(
      {BootLoaderModel::FaultKind::kDisconnect, BootLoaderModel::Operation::kErase, 5, 1});
  EXPECT_TRUE(Send(Erase(0, 16), 1).empty());
  EXPECT_TRUE(host_.reenumerated);
  EXPECT_TRUE(model_.FaultStruck());
  const auto flash = model_.CodeFlash();
  EXPECT_EQ(flash[4 * 256 + 255], 0xFF);
  EXPECT_EQ(flash[5 * 256], 0x00);
}

TEST_F(BootLoaderModelTest, StallSilencesTheDeviceUntilCleared) {
  model_.InjectFault({BootLoaderModel::FaultKind::kStall, BootLoaderModel::Operation::kAny, {}, 1});
  EXPECT_TRUE(Send(proto::MakeRequest(Command::kIdentify, 0), 1).empty());
  EXPECT_TRUE(Send(proto::MakeRequest(Command::kIdentify, 0), 2).empty());
  model_.ClearFaults();
  EXPECT_EQ(Send(proto::MakeRequest(Command::kIdentify, 0), 3).size(), 1U);
}

TEST_F(BootLoaderModelTest, CorruptedAnswerFailsItsCrcAndTimedAnswersStillArrive) {
  model_.InjectFault(
      {BootLoaderModel::FaultKind::kCorruptAnswer, BootLoaderModel::Operation::kIdentify, {}, 1});
  Frame request = proto::MakeRequest(Command::kIdentify, 1);
  proto::SealFrame(request);
  const auto report = proto::ToReport(request);
  model_.OnOutputReport(report);
  ASSERT_EQ(host_.reports.size(), 1U);
  EXPECT_FALSE(proto::FrameIntact(std::span(host_.reports[0]).subspan(1)));

  // With the link timing on, answers come from the model's own thread.
  model_.SetTiming({std::chrono::microseconds(200), std::chrono::microseconds(0)});
  for (int i = 0; i < 5; ++i) model_.OnOutputReport(report);
  for (int i = 0; i < 2000 && host_.Count() < 6; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(host_.Count(), 6U);
}

TEST_F(BootLoaderModelTest, TimingSwitchedOffAgainAnswersAtOnceOnTheWritersThread) {
  model_.SetTiming({std::chrono::microseconds(200), std::chrono::microseconds(0)});
  model_.SetTiming({});
  const auto answers = Send(proto::MakeRequest(Command::kIdentify, 0), 4);
  ASSERT_EQ(answers.size(), 1U);
  EXPECT_EQ(StatusOf(answers[0]), Status::kOk);
}

}  // namespace
