#include <gtest/gtest.h>

#include <string>

#include "IspTestSupport.h"
#include "isp/ByteOrder.h"
#include "isp/Crc32.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"

namespace {

isp::MtpImage Sample() {
  isp::MtpImage image;
  image.targetId = isp::protocol::kTargetId;
  image.pageSize = 256;
  image.pageCount = 240;
  for (int i = 0; i < 1000; ++i) image.program.push_back(static_cast<std::uint8_t>(i * 7));
  image.option = {0x01, 0x02};
  return image;
}

using isptest::Reseal;

TEST(Crc32, MatchesTheStandardCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(isp::Crc32(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
            0xCBF43926U);
  EXPECT_EQ(isp::Crc32({}), 0U);
}

TEST(MtpFormat, RoundTripKeepsEveryBlockAndTellsAMissingNoteFromAnEmptyOne) {
  isp::MtpImage image = Sample();
  auto parsed = isp::ParseMtp(isp::SerializeMtp(image));
  ASSERT_EQ(parsed.error, isp::MtpError::kOk);
  EXPECT_EQ(parsed.image.program, image.program);
  EXPECT_EQ(parsed.image.option, image.option);
  EXPECT_EQ(parsed.image.targetId, image.targetId);
  EXPECT_FALSE(parsed.image.note.has_value());

  image.note.emplace();
  parsed = isp::ParseMtp(isp::SerializeMtp(image));
  ASSERT_EQ(parsed.error, isp::MtpError::kOk);
  ASSERT_TRUE(parsed.image.note.has_value());
  EXPECT_TRUE(parsed.image.note->empty());

  image.note = std::vector<std::uint8_t>{'h', 'i'};
  image.pageCount = 256;
  image.program.assign(65535, 0xAB);  // the largest block the format carries
  parsed = isp::ParseMtp(isp::SerializeMtp(image));
  ASSERT_EQ(parsed.error, isp::MtpError::kOk);
  EXPECT_EQ(*parsed.image.note, image.note);
  EXPECT_EQ(parsed.image.program.size(), 65535U);
}

TEST(MtpFormat, RefusesEveryKindOfDamage) {
  const auto good = isp::SerializeMtp(Sample());
  auto damaged = [&good](auto change) {
    auto file = good;
    change(file);
    return isp::ParseMtp(file).error;
  };
  using E = isp::MtpError;
  EXPECT_EQ(isp::ParseMtp({}).error, E::kTooShort);
  EXPECT_EQ(damaged([](auto& f) { f.resize(63); }), E::kTooShort);
  EXPECT_EQ(damaged([](auto& f) { f[0] = 'X'; }), E::kBadMagic);
  EXPECT_EQ(damaged([](auto& f) { f[4] = 1; }), E::kBadVersion);  // the old format
  EXPECT_EQ(damaged([](auto& f) { f[9] ^= 1; }), E::kHeaderCrc);
  EXPECT_EQ(damaged([](auto& f) {
              f[6] = 65;
              Reseal(f);
            }),
            E::kBadHeader);
  EXPECT_EQ(damaged([](auto& f) {
              f[55] = 1;
              Reseal(f);
            }),
            E::kBadHeader);
  EXPECT_EQ(damaged([](auto& f) {
              isp::PutU16(f, 12, 0);
              Reseal(f);
            }),
            E::kBadHeader);
  EXPECT_EQ(damaged([](auto& f) { f.back() ^= 0xFF; }), E::kBlockCrc);
  EXPECT_EQ(damaged([](auto& f) { f[100] ^= 0xFF; }), E::kBlockCrc);
  EXPECT_EQ(damaged([](auto& f) { f.pop_back(); }), E::kBadBlockBounds);    // truncated
  EXPECT_EQ(damaged([](auto& f) { f.push_back(0); }), E::kBadBlockBounds);  // trailing byte
  // The option block claims the program's bytes (overlap).
  EXPECT_EQ(damaged([](auto& f) {
              isp::PutU32(f, 28, 64);
              Reseal(f);
            }),
            E::kBadBlockBounds);
  // A block beyond the end of the file, with an offset that would overflow.
  EXPECT_EQ(damaged([](auto& f) {
              isp::PutU32(f, 28, 0xFFFFFFF0U);
              Reseal(f);
            }),
            E::kBadBlockBounds);
  EXPECT_EQ(damaged([](auto& f) {
              isp::PutU32(f, 44, 5);
              Reseal(f);
            }),
            E::kBadBlockBounds);
  EXPECT_EQ(damaged([](auto& f) {
              isp::PutU32(f, 20, 70000);
              Reseal(f);
            }),
            E::kBlockTooLarge);

  // What the firmware needs to start, and its version.
  auto refused = [](auto change) {
    isp::MtpImage image = Sample();
    change(image);
    return isp::ParseMtp(isp::SerializeMtp(image)).error;
  };
  EXPECT_EQ(refused([](auto& i) { i.program.clear(); }), E::kEmptyProgram);
  EXPECT_EQ(refused([](auto& i) { i.program.resize(1); }), E::kProgramTooSmall);
  EXPECT_EQ(refused([](auto& i) { i.program.resize(255); }), E::kProgramTooSmall);
  EXPECT_EQ(refused([](auto& i) { i.program.resize(256); }), E::kOk);
  EXPECT_EQ(refused([](auto& i) { std::fill_n(i.program.begin(), 4, 0xFF); }), E::kProgramTooSmall);
  EXPECT_EQ(refused([](auto& i) { i.program[3] = 0xFF; }), E::kOk);
  EXPECT_EQ(refused([](auto& i) { i.program.resize(256 * 240 + 1); }), E::kProgramTooLarge);
  EXPECT_EQ(refused([](auto& i) { i.option.clear(); }), E::kNoVersion);
  EXPECT_EQ(refused([](auto& i) { i.option.resize(1); }), E::kNoVersion);
  EXPECT_EQ(refused([](auto& i) { i.option = {0xFF, 0xFF, 0x00}; }), E::kNoVersion);
}

TEST(MtpFormat, FitCheckNamesEveryMismatchWithTheTarget) {
  const isp::MtpImage image = Sample();
  EXPECT_EQ(isp::CheckMtpFitsTarget(image, isp::protocol::kTargetId, 256, 240, 32), "");
  EXPECT_NE(isp::CheckMtpFitsTarget(image, 0x12345678, 256, 240, 32), "");
  EXPECT_NE(isp::CheckMtpFitsTarget(image, isp::protocol::kTargetId, 128, 240, 32), "");
  EXPECT_NE(isp::CheckMtpFitsTarget(image, isp::protocol::kTargetId, 256, 200, 32), "");
  EXPECT_NE(isp::CheckMtpFitsTarget(image, isp::protocol::kTargetId, 256, 240, 1), "");
  isp::MtpImage big = image;
  big.program.assign(256 * 240 + 1, 0);
  EXPECT_NE(isp::CheckMtpFitsTarget(big, isp::protocol::kTargetId, 256, 240, 32), "");
  big.program.resize(256 * 240);
  EXPECT_EQ(isp::CheckMtpFitsTarget(big, isp::protocol::kTargetId, 256, 240, 32), "");
}

}  // namespace
