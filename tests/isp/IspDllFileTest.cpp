// LoadFile refuses every kind of damaged or foreign file, and a refused file
// can never lead to anything being written.
#include <sys/stat.h>

#include <functional>
#include <string>

#include "IspTestSupport.h"
#include "base/TextEncoding.h"
#include "isp/ByteOrder.h"
#include "isp/Crc32.h"
#include "isp/IspDll.h"

namespace {

using isptest::LoadFileAt;
using isptest::MakeImage;
using isptest::Reseal;

class IspDllFile : public isptest::BootLoaderFixture {
 protected:
  void ExpectRefused(const std::filesystem::path& file, const std::string& what) {
    SCOPED_TRACE(what);
    const auto flash = model_->CodeFlash();
    const auto options = model_->OptionArea();
    const auto reports = model_->ReportsReceived();
    const auto loaded = LoadFileAt(file);
    EXPECT_EQ(loaded.result, -1);
    EXPECT_EQ(loaded.program, nullptr);
    EXPECT_EQ(loaded.option, nullptr);
    EXPECT_EQ(loaded.third, nullptr);
    EXPECT_EQ(loaded.programSize, 0U);
    EXPECT_EQ(loaded.optionSize, 0U);
    EXPECT_EQ(loaded.thirdSize, 0U);
    EXPECT_EQ(GetTransProgress(), 100);
    // Nothing loaded: program and verify have nothing to work with.
    EXPECT_EQ(Program(0), -1);
    EXPECT_EQ(VerifyByPage(0, 240, 0), -1);
    EXPECT_EQ(model_->ReportsReceived(), reports) << "the device was spoken to";
    EXPECT_EQ(model_->CodeFlash(), flash);
    EXPECT_EQ(model_->OptionArea(), options);
  }
};

TEST_F(IspDllFile, RefusesMissingDamagedAndForeignFiles) {
  // Old firmware in the flash that must survive every refusal.
  const isp::MtpImage old = MakeImage(4000, 20, 0x0100);
  ASSERT_EQ(BurnUpToVerify(Save(old, "old.MTP")), 0);

  const auto good = isp::SerializeMtp(MakeImage(50000, 21, 0x0200));
  auto variant = [this, &good](const std::string& name,
                               const std::function<void(std::vector<std::uint8_t>&)>& change) {
    auto bytes = good;
    change(bytes);
    const auto path = dir_ / name;
    isptest::WriteBytes(path, bytes);
    return path;
  };

  ExpectRefused(dir_ / "missing.MTP", "missing");
  std::filesystem::create_directory(dir_ / "folder.MTP");
  ExpectRefused(dir_ / "folder.MTP", "a directory");
  // Neither may block or read without end (the test's timeout catches both).
#if defined(_WIN32)
  ExpectRefused("NUL", "the null device");
#else
  ASSERT_EQ(::mkfifo((dir_ / "fifo.MTP").c_str(), 0600), 0);
  ExpectRefused(dir_ / "fifo.MTP", "a FIFO without a writer");
  std::filesystem::create_symlink("/dev/zero", dir_ / "zero.MTP");
  ExpectRefused(dir_ / "zero.MTP", "a link to /dev/zero");
#endif
  ExpectRefused(variant("empty.MTP", [](auto& f) { f.clear(); }), "empty");
  ExpectRefused(variant("short.MTP", [](auto& f) { f.resize(f.size() / 2); }), "truncated");
  ExpectRefused(variant("header.MTP", [](auto& f) { f.resize(40); }), "truncated header");
  ExpectRefused(variant("magic.MTP", [](auto& f) { f[1] = 'X'; }), "wrong magic");
  ExpectRefused(variant("version.MTP",
                        [](auto& f) {
                          f[4] = 9;
                          Reseal(f);
                        }),
                "wrong version");
  ExpectRefused(variant("hcrc.MTP", [](auto& f) { f[61] ^= 1; }), "bad header CRC");
  ExpectRefused(variant("bcrc.MTP", [](auto& f) { f[30000] ^= 0x80; }), "bad program CRC");
  ExpectRefused(variant("ocrc.MTP", [](auto& f) { f.back() ^= 1; }), "bad option CRC");
  ExpectRefused(variant("tail.MTP", [](auto& f) { f.push_back(0); }), "trailing byte");
  ExpectRefused(variant("large.MTP",
                        [](auto& f) {
                          // A program block of 70000 bytes.
                          const std::vector<std::uint8_t> option(f.begin() + 64 + 50000, f.end());
                          f.resize(64);
                          f.insert(f.end(), 70000, 0x11);
                          isp::PutU32(f, 20, 70000);
                          isp::PutU32(f, 24, isp::Crc32(std::span(f).subspan(64)));
                          isp::PutU32(f, 28, 64 + 70000);
                          f.insert(f.end(), option.begin(), option.end());
                          Reseal(f);
                        }),
                "block too large");

  isp::MtpImage foreign = MakeImage(50000, 22, 0x0200);
  foreign.targetId = 0x12345678;
  ExpectRefused(Save(foreign, "target.MTP"), "another target");
  foreign = MakeImage(50000, 22, 0x0200);
  foreign.pageCount = 480;
  ExpectRefused(Save(foreign, "pages.MTP"), "another page count");
  foreign = MakeImage(50000, 22, 0x0200);
  foreign.pageSize = 512;
  foreign.pageCount = 120;
  ExpectRefused(Save(foreign, "pagesize.MTP"), "another page size");
  foreign = MakeImage(256 * 240 + 1, 22, 0x0200);
  ExpectRefused(Save(foreign, "toolong.MTP"), "program larger than the code pages");
  foreign = MakeImage(1000, 22, 0x0200);
  foreign.option.resize(33, 0);
  ExpectRefused(Save(foreign, "option.MTP"), "option block larger than the option area");

  // Files that could never start, or would keep the old version.
  isp::MtpImage unfit = MakeImage(1, 23, 0x0200);
  ExpectRefused(Save(unfit, "one-byte.MTP"), "a 1-byte program");
  unfit = MakeImage(1000, 23, 0x0200);
  std::fill_n(unfit.program.begin(), 4, 0xFF);
  ExpectRefused(Save(unfit, "entry.MTP"), "an erased entry");
  unfit = MakeImage(1000, 23, 0x0200);
  unfit.option.clear();
  ExpectRefused(Save(unfit, "no-option.MTP"), "no option block");

  // The old firmware is still there, whole.
  ASSERT_EQ(LoadFileAt(dir_ / "old.MTP").result, 0);
  EXPECT_EQ(VerifyByPage(0, 240, 0), 0);
}

TEST_F(IspDllFile, AFailedLoadDropsTheImageLoadedBefore) {
  ASSERT_EQ(ConnectToBootloader(), 0);
  ASSERT_EQ(LoadFileAt(Save(MakeImage(1000, 23, 0x0100))).result, 0);
  ExpectRefused(dir_ / "missing.MTP", "missing after a good one");
}

TEST_F(IspDllFile, FileNamesAreUtf16AndMayHoldAnyCharacterOrByte) {
  ASSERT_EQ(ConnectToBootloader(), 0);
  const isp::MtpImage image = MakeImage(1000, 24, 0x0100);
  const auto path = Save(image, "Fw \xC3\xA4 \xF0\x9F\x98\x80 v2.MTP");
  EXPECT_EQ(LoadFileAt(path).result, 0);

#if !defined(_WIN32)
  // Names that are not UTF-8 (Latin-1 "ete", a valid and an invalid e-acute,
  // an encoded surrogate, every byte from 0x80 on), converted as mcuprog
  // converts its argument.
  std::string everyHighByte;
  for (int byte = 0x80; byte <= 0xFF; ++byte) everyHighByte += static_cast<char>(byte);
  for (const std::string& name :
       {std::string("Fw \xE9t\xE9.MTP"), std::string("\xC3\xA9\xE9\xED\xA0\x80.MTP"),
        everyHighByte + ".MTP"}) {
    const std::string saved = Save(image, name).string();
    const std::u16string wide = hidplatform::FileNameToUtf16(saved);
    const std::uint8_t* p = nullptr;
    std::uint32_t n = 0;
    EXPECT_EQ(LoadFile(wide.c_str(), &p, &n, &p, &n, &p, &n), 0) << saved;
  }
#endif  // names are bytes only there; Windows names are UTF-16 already

  // An unpaired surrogate that stands for no byte names no file.
  for (const char16_t unit : {char16_t{0xD800}, char16_t{0xDC7F}, char16_t{0xDD00}}) {
    const char16_t broken[] = {u'a', unit, u'b', 0};
    const std::uint8_t* p = nullptr;
    std::uint32_t n = 0;
    EXPECT_EQ(LoadFile(reinterpret_cast<const ISPDLL_CHAR*>(broken), &p, &n, &p, &n, &p, &n), -1)
        << static_cast<int>(unit);
  }
  const std::uint8_t* p = nullptr;
  std::uint32_t n = 0;
  EXPECT_EQ(LoadFile(nullptr, &p, &n, &p, &n, &p, &n), -1);
}

}  // namespace
