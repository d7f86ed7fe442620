// The boot-loader protocol shared by ISPDLL and the emulated boot loader
// (docs/isp-protocol.md). Header-only: the emulator uses it without linking
// the library.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "isp/ByteOrder.h"
#include "isp/Crc32.h"

namespace isp::protocol {

inline constexpr std::uint16_t kVendorId = 0x04D9;
inline constexpr std::uint16_t kProductId = 0x8022;
inline constexpr std::uint8_t kReportId = 1;
// Stream bytes travel in output reports of their own id, without a command.
inline constexpr std::uint8_t kDataReportId = 2;
inline constexpr std::size_t kFrameSize = 64;
inline constexpr std::size_t kReportSize = kFrameSize + 1;  // with the report id
inline constexpr std::size_t kCrcOffset = 60;

// What this keyboard's boot loader reports.
inline constexpr std::uint32_t kTargetId = 0x2C7A5B1D;
inline constexpr std::uint16_t kPageSize = 256;
inline constexpr std::uint16_t kPageCount = 240;
inline constexpr std::uint16_t kOptionSize = 32;
inline constexpr std::uint8_t kMaxErasePages = 60;
inline constexpr std::uint8_t kMaxVerifyPages = 13;
inline constexpr std::uint8_t kStartUserFirmware = 2;
inline constexpr std::size_t kRecordSize = 16;

// The protocol version this side speaks, and IDENTIFY's bitmap of versions.
inline constexpr unsigned kProtocolVersion = 2;
inline constexpr std::uint16_t kVersionsSpoken = 1U << kProtocolVersion;

// DATA reports: a u16 offset ahead of the bytes, a 16-bit check behind them.
inline constexpr std::size_t kDataOffsetAt = 0;
inline constexpr std::size_t kDataBytesAt = 2;
inline constexpr std::size_t kDataCheckAt = 62;
inline constexpr std::size_t kMaxDataBytes = kDataCheckAt - kDataBytesAt;  // 60
// At most this many pages of stream bytes wait for an acknowledgement.
inline constexpr std::uint32_t kStreamWindowPages = 2;

inline constexpr int kAnswerTimeoutMs = 1000;
inline constexpr int kAttempts = 3;
inline constexpr int kStartSettleMs = 5000;

enum class Command : std::uint8_t {
  kIdentify = 0x01,
  kErase = 0x02,
  kWriteStart = 0x03,
  kData = 0x04,
  kVerify = 0x05,
  kWriteOption = 0x06,
  kStart = 0x07,
  kWriteRecord = 0x08,
  kStreamStatus = 0x09,
};
inline constexpr std::uint8_t kAnswerFlag = 0x80;

enum class Status : std::uint8_t {
  kOk = 0,
  kBadFrame = 1,
  kBadCommand = 2,
  kBadArgument = 3,
  kOutOfSequence = 4,
  kWriteFailed = 5,
  kNoValidImage = 6,
  kNoStream = 7,
  kImageMismatch = 8,
};

using Frame = std::array<std::uint8_t, kFrameSize>;

// Offsets of the fields inside a frame.
inline constexpr std::size_t kCommandAt = 0;
inline constexpr std::size_t kSequenceAt = 1;
inline constexpr std::size_t kBodyAt = 2;    // requests
inline constexpr std::size_t kStatusAt = 2;  // answers
inline constexpr std::size_t kDataAt = 3;    // answers

inline void SealFrame(Frame& frame) {
  PutU32(frame, kCrcOffset, Crc32(std::span<const std::uint8_t>(frame).first(kCrcOffset)));
}

inline bool FrameIntact(std::span<const std::uint8_t> frame) {
  return frame.size() == kFrameSize && GetU32(frame, kCrcOffset) == Crc32(frame.first(kCrcOffset));
}

// DATA frames: the check covers the stream number, which is not sent.
inline std::uint16_t DataCheck(std::uint8_t stream, std::span<const std::uint8_t> frame) {
  const std::uint8_t number[1] = {stream};
  return static_cast<std::uint16_t>(Crc32Update(Crc32(number), frame.first(kDataCheckAt)));
}
inline void SealData(Frame& frame, std::uint8_t stream) {
  PutU16(frame, kDataCheckAt, DataCheck(stream, frame));
}
inline bool DataIntact(std::uint8_t stream, std::span<const std::uint8_t> frame) {
  return frame.size() == kFrameSize && GetU16(frame, kDataCheckAt) == DataCheck(stream, frame);
}

// The integrity record: what it covers and how it is laid out.
inline constexpr std::array<std::uint8_t, 4> kRecordMagic = {'K', 'R', 'E', 'C'};

inline std::uint32_t ImageCrc(std::span<const std::uint8_t> program,
                              std::span<const std::uint8_t> optionArea) {
  return Crc32Update(Crc32(program), optionArea);
}

inline std::array<std::uint8_t, kRecordSize> MakeRecord(std::uint32_t length, std::uint32_t crc) {
  std::array<std::uint8_t, kRecordSize> record{};
  std::copy(kRecordMagic.begin(), kRecordMagic.end(), record.begin());
  PutU32(record, 4, length);
  PutU32(record, 8, crc);
  PutU32(record, 12, Crc32(std::span<const std::uint8_t>(record).first(12)));
  return record;
}

// Whether the record is well formed and matches the flash as it is.
inline bool RecordMatches(std::span<const std::uint8_t> record, std::span<const std::uint8_t> code,
                          std::span<const std::uint8_t> optionArea, std::uint16_t pageSize) {
  if (record.size() != kRecordSize ||
      !std::equal(kRecordMagic.begin(), kRecordMagic.end(), record.begin()) ||
      GetU32(record, 12) != Crc32(record.first(12)))
    return false;
  const std::uint32_t length = GetU32(record, 4);
  if (length < pageSize || length > code.size()) return false;
  return GetU32(record, 8) == ImageCrc(code.first(length), optionArea);
}

// A frame as a HID report: the report id ahead of the 64 bytes.
inline std::array<std::uint8_t, kReportSize> ToReport(const Frame& frame,
                                                      std::uint8_t reportId = kReportId) {
  std::array<std::uint8_t, kReportSize> report{};
  report[0] = reportId;
  std::copy(frame.begin(), frame.end(), report.begin() + 1);
  return report;
}

inline Frame MakeRequest(Command command, std::uint8_t sequence) {
  Frame frame{};
  frame[kCommandAt] = static_cast<std::uint8_t>(command);
  frame[kSequenceAt] = sequence;
  return frame;
}

inline Frame MakeAnswer(std::uint8_t command, std::uint8_t sequence, Status status) {
  Frame frame{};
  frame[kCommandAt] = static_cast<std::uint8_t>(command | kAnswerFlag);
  frame[kSequenceAt] = sequence;
  frame[kStatusAt] = static_cast<std::uint8_t>(status);
  return frame;
}

// The report descriptor of the boot loader: one vendor collection, report id 1
// with 64 bytes in and 64 bytes out, report id 2 with 64 bytes out (DATA).
inline constexpr std::array<std::uint8_t, 35> kReportDescriptor = {
    0x06, 0x00,          0xFF,  // Usage Page (vendor 0xFF00)
    0x09, 0x01,                 // Usage (1)
    0xA1, 0x01,                 // Collection (Application)
    0x85, kReportId,            //   Report ID (1)
    0x15, 0x00,                 //   Logical Minimum (0)
    0x26, 0xFF,          0x00,  //   Logical Maximum (255)
    0x75, 0x08,                 //   Report Size (8)
    0x95, 0x40,                 //   Report Count (64)
    0x09, 0x02,                 //   Usage (2)
    0x81, 0x02,                 //   Input (Data, Var, Abs)
    0x09, 0x03,                 //   Usage (3)
    0x91, 0x02,                 //   Output (Data, Var, Abs)
    0x85, kDataReportId,        //   Report ID (2)
    0x95, 0x40,                 //   Report Count (64)
    0x09, 0x04,                 //   Usage (4)
    0x91, 0x02,                 //   Output (Data, Var, Abs)
    0xC0,                       // End Collection
};

}  // namespace isp::protocol
