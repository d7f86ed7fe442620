// Faults on the link between ISPDLL and the device, in both directions: every
// kind, once and persistently, in every operation. A single fault is always
// recovered from; a persistent one is too or fails the burn promptly, never
// with a false result: the keyboard runs the new image exactly when the burn
// said so, and a rerun completes.
#include <chrono>
#include <string>

#include "IspTestSupport.h"
#include "isp/ByteOrder.h"
#include "isp/IspDll.h"
#include "isp/IspDllInternals.h"
#include "isp/IspProtocol.h"

namespace {

using Link = emulator::FaultyLink;
using Op = emulator::BootLoaderModel::Operation;
using isptest::LoadFileAt;
using isptest::MakeImage;

struct LinkCase {
  Link::Direction direction;
  Link::Kind kind;
  Op operation;
  bool persistent;
};

std::string CaseName(const ::testing::TestParamInfo<LinkCase>& info) {
  static const char* const kKinds[] = {"Drop", "Damage", "Duplicate", "Delay", "Reorder"};
  static const char* const kOps[] = {"Any",    "Identify",    "Erase",  "Write",
                                     "Verify", "WriteOption", "Record", "Start"};
  const LinkCase& c = info.param;
  return std::string(kKinds[static_cast<int>(c.kind)]) +
         (c.direction == Link::Direction::kToDevice ? "Request" : "Answer") + "In" +
         kOps[static_cast<int>(c.operation)] + (c.persistent ? "Persistent" : "Once");
}

class LinkFixture : public isptest::BootLoaderFixture {
 protected:
  LinkFixture() { isp::SetLinkSettingsForTesting(isp::LinkSettings{30, 3, 300}); }

  // mcuprog's sequence; true when it reported a complete burn.
  bool Burn(const std::filesystem::path& file) {
    return ConnectToBootloader() != -1 && LoadFileAt(file).result != -1 &&
           EraseByPage(0, 240, 0) != -1 && Program(0) != -1 && VerifyByPage(0, 240, 0) == 0 &&
           ExecuteProgramFrom(2) != -1;
  }
  void ExpectRunsTheImage(const isp::MtpImage& image) {
    EXPECT_TRUE(ApplicationPresent());
    EXPECT_TRUE(model_->HoldsValidImage());
    EXPECT_EQ(model_->CodeFlash(), isptest::ExpectedFlash(image));
    EXPECT_EQ(model_->FirmwareVersion(), isp::GetU16(image.option, 0));
  }

  // Three pages: a stream of several reports and acknowledgements.
  const isp::MtpImage image_ = MakeImage(700, 31, 0x0207);
};

class IspDllLinkFault : public LinkFixture, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(IspDllLinkFault, RecoversOrFailsTruthfullyAndARerunCompletes) {
  const LinkCase& c = GetParam();
  const auto file = Save(image_);
  // In a stream, the first report after WRITE_START and its answer.
  link_->Inject(
      {c.direction, c.kind, c.operation, c.operation == Op::kWrite ? 1 : 0, c.persistent, 2});

  const auto begin = std::chrono::steady_clock::now();
  const bool burned = Burn(file);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
  EXPECT_GT(link_->Struck(), 0);
  EXPECT_EQ(GetTransProgress(), 100);
  if (!c.persistent || c.kind == Link::Kind::kDuplicate) {
    EXPECT_TRUE(burned);
  }
  // No false OK, no false NG.
  EXPECT_EQ(ApplicationPresent(), burned);
  if (burned) {
    ExpectRunsTheImage(image_);
    return;
  }
  // A complete image may have been recorded (a lost answer to the record or
  // START), never anything else.
  if (model_->HoldsValidImage()) {
    EXPECT_EQ(model_->CodeFlash(), isptest::ExpectedFlash(image_));
  }

  // Plugged in again, the keyboard is its boot loader; the rerun completes.
  SwitchToUserProgram();
  link_->Clear();
  Replug();
  EXPECT_TRUE(Burn(file));
  ExpectRunsTheImage(image_);
}

std::vector<LinkCase> EveryCase() {
  std::vector<LinkCase> cases;
  for (auto direction : {Link::Direction::kToDevice, Link::Direction::kToHost})
    for (auto kind : {Link::Kind::kDrop, Link::Kind::kDamage, Link::Kind::kDuplicate,
                      Link::Kind::kDelay, Link::Kind::kReorder})
      for (auto operation : {Op::kIdentify, Op::kErase, Op::kWrite, Op::kVerify, Op::kWriteOption,
                             Op::kRecord, Op::kStart})
        for (bool persistent : {false, true})
          cases.push_back({direction, kind, operation, persistent});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(BothDirections, IspDllLinkFault, ::testing::ValuesIn(EveryCase()),
                         CaseName);

using IspDllLink = LinkFixture;

TEST_F(IspDllLink, AStaleAnswerIsNeverTakenForTheAwaitedOne) {
  // Every answer arrives twice: the copy is waiting when the next request
  // goes out. Page 20 differs; a partial verify writes no record, so only
  // its own answers tell the mismatch.
  ASSERT_TRUE(Burn(Save(image_)));
  SwitchToUserProgram();
  Replug();
  model_->PokeCode(20 * 256, std::vector<std::uint8_t>{0x00});
  link_->Inject({Link::Direction::kToHost, Link::Kind::kDuplicate, Op::kAny, 0, true, 0});
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(dir_ / "fw.MTP").result, 0);
  EXPECT_EQ(VerifyByPage(0, 26, 0), 1);
}

TEST_F(IspDllLink, AnAcknowledgementOfAnEarlierStreamDoesNotEndTheNextOne) {
  const auto file = Save(image_);
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(file).result, 0);
  // A copy of the first stream's last acknowledgement (after WRITE_START's
  // answer and two page acknowledgements) arrives late, in the second
  // stream, just after its WRITE_START answer (option, 4 erases, start).
  link_->Inject({Link::Direction::kToHost, Link::Kind::kDuplicate, Op::kWrite, 3, false, 6});
  // And the second stream's first data report is lost on the way.
  link_->Inject({Link::Direction::kToDevice, Link::Kind::kDrop, Op::kWrite, 14, false, 0});
  ASSERT_EQ(EraseByPage(0, 240, 0), 0);
  ASSERT_EQ(Program(0), 0);
  ASSERT_EQ(EraseByPage(0, 240, 0), 0);
  ASSERT_EQ(Program(0), 0);
  EXPECT_EQ(link_->Struck(), 2);
  EXPECT_EQ(VerifyByPage(0, 240, 0), 0);
}

TEST_F(IspDllLink, AtMostTwoPagesAreInFlightWhileAcknowledgementsAreLost) {
  // Every acknowledgement lost: the host learns progress only by asking.
  const isp::MtpImage image = MakeImage(256 * 12, 32, 0x0208);
  link_->Inject({Link::Direction::kToHost, Link::Kind::kDrop, Op::kWrite, 1, true, 0});
  ASSERT_TRUE(Burn(Save(image)));
  ExpectRunsTheImage(image);
  EXPECT_GT(link_->MostStreamBytesInFlight(), 256U);
  EXPECT_LE(link_->MostStreamBytesInFlight(), 2U * 256 + isp::protocol::kMaxDataBytes);
}

TEST_F(IspDllLink, AHostileOrForeignBootLoaderIsRefusedBeforeAnythingIsErased) {
  const auto file = Save(image_);
  ASSERT_TRUE(Burn(file));
  SwitchToUserProgram();
  Replug();
  const auto flash = model_->FlashContents();
  // More verify pages than one request can carry: a verify would write past
  // the frame. A boot loader of protocol 1, which reports no versions.
  const std::vector<std::pair<const char*, std::function<void(std::uint8_t*)>>> lies = {
      {"verify pages", [](std::uint8_t* f) { f[isp::protocol::kDataAt + 13] = 14; }},
      {"version 1",
       [](std::uint8_t* f) {
         isp::PutU16({f, 64}, isp::protocol::kDataAt + 14, 0);
       }},
      {"version 3 only",
       [](std::uint8_t* f) {
         isp::PutU16({f, 64}, isp::protocol::kDataAt + 14, 1U << 3);
       }},
  };
  for (const auto& [what, lie] : lies) {
    SCOPED_TRACE(what);
    link_->SetAnswerRewriter(Op::kIdentify, lie);
    EXPECT_EQ(ConnectToBootloader(), -1);
    EXPECT_EQ(EraseByPage(0, 240, 0), -1);
  }
  EXPECT_EQ(model_->FlashContents().code, flash.code);
  EXPECT_TRUE(model_->HoldsValidImage());
  link_->Clear();
  EXPECT_EQ(ConnectToBootloader(), 0);
}

TEST_F(IspDllLink, AnOptionAreaThatReadsBackWrongFailsTheProgramStep) {
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(Save(image_)).result, 0);
  ASSERT_EQ(EraseByPage(0, 240, 0), 0);
  model_->InjectFault({emulator::BootLoaderModel::FaultKind::kWeakCell, Op::kWriteOption, {}, 1});
  EXPECT_EQ(Program(0), -1);
  EXPECT_TRUE(model_->FaultStruck());
  EXPECT_FALSE(model_->HoldsValidImage());
}

}  // namespace
