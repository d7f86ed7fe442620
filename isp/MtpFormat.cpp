#include "isp/MtpFormat.h"

#include <algorithm>
#include <array>

#include "base/RegularFile.h"
#include "isp/ByteOrder.h"
#include "isp/Crc32.h"

namespace isp {
namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'M', 'T', 'P'};
constexpr std::size_t kBlockTableAt = 16;
constexpr std::size_t kBlockEntrySize = 12;
constexpr std::size_t kReservedAt = 52;
constexpr std::size_t kHeaderCrcAt = 60;

struct BlockEntry {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::uint32_t crc = 0;
};

BlockEntry ReadEntry(std::span<const std::uint8_t> header, int index) {
  const std::size_t at = kBlockTableAt + static_cast<std::size_t>(index) * kBlockEntrySize;
  return {GetU32(header, at), GetU32(header, at + 4), GetU32(header, at + 8)};
}

}  // namespace

const char* MtpErrorText(MtpError error) {
  switch (error) {
    case MtpError::kOk:
      return "ok";
    case MtpError::kTooShort:
      return "file too short for a header";
    case MtpError::kBadMagic:
      return "not an MTP file (wrong magic)";
    case MtpError::kBadVersion:
      return "unsupported format version";
    case MtpError::kBadHeader:
      return "malformed header";
    case MtpError::kHeaderCrc:
      return "header CRC mismatch";
    case MtpError::kBadBlockBounds:
      return "block outside the file, overlapping or trailing bytes";
    case MtpError::kBlockTooLarge:
      return "block larger than 65535 bytes";
    case MtpError::kEmptyProgram:
      return "empty program block";
    case MtpError::kBlockCrc:
      return "block CRC mismatch";
    case MtpError::kProgramTooSmall:
      return "program block shorter than one page or without an entry";
    case MtpError::kProgramTooLarge:
      return "program block larger than the target's flash";
    case MtpError::kNoVersion:
      return "option block without a firmware version";
  }
  return "unknown error";
}

MtpParseResult ParseMtp(std::span<const std::uint8_t> file) {
  MtpParseResult result;
  auto fail = [&result](MtpError error) {
    result.error = error;
    result.image = {};
    return result;
  };
  if (file.size() < kMtpHeaderSize) return fail(MtpError::kTooShort);
  const auto header = file.first(kMtpHeaderSize);
  if (!std::equal(kMagic.begin(), kMagic.end(), header.begin())) return fail(MtpError::kBadMagic);
  if (GetU16(header, 4) != kMtpFormatVersion) return fail(MtpError::kBadVersion);
  if (GetU32(header, kHeaderCrcAt) != Crc32(header.first(kHeaderCrcAt)))
    return fail(MtpError::kHeaderCrc);
  if (GetU16(header, 6) != kMtpHeaderSize) return fail(MtpError::kBadHeader);
  if (std::any_of(header.begin() + kReservedAt, header.begin() + kHeaderCrcAt,
                  [](std::uint8_t b) { return b != 0; }))
    return fail(MtpError::kBadHeader);

  MtpImage& image = result.image;
  image.targetId = GetU32(header, 8);
  image.pageSize = GetU16(header, 12);
  image.pageCount = GetU16(header, 14);
  if (image.pageSize == 0 || image.pageCount == 0) return fail(MtpError::kBadHeader);

  std::array<BlockEntry, 3> entries{};
  for (int i = 0; i < 3; ++i) entries[static_cast<std::size_t>(i)] = ReadEntry(header, i);
  const bool hasNote = entries[2].offset != 0;
  if (!hasNote && (entries[2].size != 0 || entries[2].crc != 0))
    return fail(MtpError::kBadBlockBounds);

  // Blocks lie after the header, in file order, without overlap or gaps at
  // the end: the last block ends the file.
  // Stable: an empty block shares its offset with the block after it, and
  // must keep coming first for the file to read back as it was written.
  std::uint64_t end = kMtpHeaderSize;
  std::vector<const BlockEntry*> ordered{&entries[0], &entries[1]};
  if (hasNote) ordered.push_back(&entries[2]);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const BlockEntry* a, const BlockEntry* b) { return a->offset < b->offset; });
  for (const BlockEntry* e : ordered) {
    if (e->size > kMtpMaxBlockSize) return fail(MtpError::kBlockTooLarge);
    if (e->offset < end) return fail(MtpError::kBadBlockBounds);
    end = static_cast<std::uint64_t>(e->offset) + e->size;
    if (end > file.size()) return fail(MtpError::kBadBlockBounds);
  }
  if (end != file.size()) return fail(MtpError::kBadBlockBounds);
  if (entries[0].size == 0) return fail(MtpError::kEmptyProgram);

  auto take = [&file](const BlockEntry& e, std::vector<std::uint8_t>& out) {
    const auto bytes = file.subspan(e.offset, e.size);
    if (Crc32(bytes) != e.crc) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
  };
  if (!take(entries[0], image.program) || !take(entries[1], image.option))
    return fail(MtpError::kBlockCrc);
  if (hasNote) {
    image.note.emplace();
    if (!take(entries[2], *image.note)) return fail(MtpError::kBlockCrc);
  }
  // What the firmware needs to start at all, and what keeps a burn from
  // carrying the old version over.
  if (image.program.size() > static_cast<std::size_t>(image.pageSize) * image.pageCount)
    return fail(MtpError::kProgramTooLarge);
  if (image.program.size() < std::max<std::size_t>(image.pageSize, kMtpEntrySize) ||
      std::all_of(image.program.begin(), image.program.begin() + kMtpEntrySize,
                  [](std::uint8_t b) { return b == 0xFF; }))
    return fail(MtpError::kProgramTooSmall);
  if (image.option.size() < 2 || GetU16(image.option, 0) == 0xFFFF)
    return fail(MtpError::kNoVersion);
  return result;
}

std::vector<std::uint8_t> SerializeMtp(const MtpImage& image) {
  std::vector<std::uint8_t> file(kMtpHeaderSize, 0);
  std::span<std::uint8_t> header(file.data(), kMtpHeaderSize);
  std::copy(kMagic.begin(), kMagic.end(), header.begin());
  PutU16(header, 4, kMtpFormatVersion);
  PutU16(header, 6, kMtpHeaderSize);
  PutU32(header, 8, image.targetId);
  PutU16(header, 12, image.pageSize);
  PutU16(header, 14, image.pageCount);

  std::vector<std::uint8_t> body;
  auto place = [&](int index, const std::vector<std::uint8_t>& bytes) {
    const std::size_t at = kBlockTableAt + static_cast<std::size_t>(index) * kBlockEntrySize;
    PutU32(header, at, static_cast<std::uint32_t>(kMtpHeaderSize + body.size()));
    PutU32(header, at + 4, static_cast<std::uint32_t>(bytes.size()));
    PutU32(header, at + 8, Crc32(bytes));
    body.insert(body.end(), bytes.begin(), bytes.end());
  };
  place(0, image.program);
  place(1, image.option);
  if (image.note) place(2, *image.note);
  PutU32(header, kHeaderCrcAt, Crc32(std::span<const std::uint8_t>(file).first(kHeaderCrcAt)));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::string CheckMtpFitsTarget(const MtpImage& image, std::uint32_t targetId,
                               std::uint16_t pageSize, std::uint16_t pageCount,
                               std::uint16_t optionSize) {
  if (image.targetId != targetId) return "the file is made for another target";
  if (image.pageSize != pageSize || image.pageCount != pageCount)
    return "the file is made for another page geometry";
  if (image.program.size() > static_cast<std::size_t>(pageSize) * pageCount)
    return "the program block does not fit the code pages";
  if (image.option.size() > optionSize) return "the option block does not fit the option area";
  return {};
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  // Only a regular file: a FIFO or a device given as the file name would
  // block the open or never end.
  hidplatform::RegularFileReader file(path);
  if (!file.IsOpen()) return false;
  // Firmware files are small; refuse anything absurdly large instead of
  // reading it all into memory.
  constexpr std::size_t kLimit = 1U << 20;
  if (file.Size() > kLimit) return false;
  out.clear();
  std::array<std::uint8_t, 8192> chunk{};
  for (;;) {
    const std::size_t n = file.Read(chunk);
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    if (out.size() > kLimit) return false;  // grew after it was opened
    if (n < chunk.size()) return !file.Failed();
  }
}

}  // namespace isp
