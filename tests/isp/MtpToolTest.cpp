// The real mtptool: packing, printing, refusing damaged files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "isp/MtpFormat.h"
#include "tests/support/TempDir.h"

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string output;
};

// Runs mtptool through the shell and collects its output and exit code.
ToolRun Tool(const std::string& arguments) {
  const std::string command = std::string(MTPTOOL_PATH) + " " + arguments + " 2>&1";
  ToolRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class MtpTool : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  testsupport::TempDir dir_{"mtptool"};
};

TEST_F(MtpTool, InfoShowsTheBuildsSample) {
  const ToolRun run = Tool(std::string("info ") + SAMPLE_MTP_PATH);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("target:        2C7A5B1D"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("program block: 60000 bytes"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("version:       2.01"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("status:        ok\n"), std::string::npos) << run.output;
}

TEST_F(MtpTool, PackMakesAFileTheLibraryAccepts) {
  ASSERT_EQ(Tool("sample-image " + Path("fw.bin") + " 4000").exitCode, 0);
  {
    std::ofstream option(dir_ / "opt.bin", std::ios::binary);
    option << "ABCDEFGH";
  }
  const ToolRun pack = Tool("pack --version 0310 --option " + Path("opt.bin") +
                            " --note 'release 3.10' " + Path("fw.bin") + " " + Path("fw.MTP"));
  ASSERT_EQ(pack.exitCode, 0) << pack.output;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(isp::ReadWholeFile((dir_ / "fw.MTP").string(), bytes));
  const auto parsed = isp::ParseMtp(bytes);
  ASSERT_EQ(parsed.error, isp::MtpError::kOk);
  EXPECT_EQ(parsed.image.program.size(), 4000U);
  EXPECT_EQ(parsed.image.option,
            (std::vector<std::uint8_t>{0x10, 0x03, 'C', 'D', 'E', 'F', 'G', 'H'}));
  ASSERT_TRUE(parsed.image.note.has_value());
  EXPECT_EQ(std::string(parsed.image.note->begin(), parsed.image.note->end()), "release 3.10");
  const ToolRun info = Tool("info " + Path("fw.MTP"));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.output.find("version:       3.10"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("note block:    12 bytes: release 3.10"), std::string::npos);
}

TEST_F(MtpTool, RefusesBadInputWithoutLeavingAFileBehind) {
  EXPECT_EQ(Tool("pack " + Path("nothing.bin") + " " + Path("out.MTP")).exitCode, 1);
  ASSERT_EQ(Tool("sample-image " + Path("big.bin") + " 65535").exitCode, 0);
  const ToolRun tooBig = Tool("pack " + Path("big.bin") + " " + Path("out.MTP"));
  EXPECT_EQ(tooBig.exitCode, 1);  // 65535 bytes do not fit 240 pages of 256
  EXPECT_NE(tooBig.output.find("must have 256 to 61440 bytes"), std::string::npos) << tooBig.output;
  // Too small to start, or without a version: not packed either.
  ASSERT_EQ(Tool("sample-image " + Path("tiny.bin") + " 1").exitCode, 0);
  EXPECT_EQ(Tool("pack --version 0102 " + Path("tiny.bin") + " " + Path("out.MTP")).exitCode, 1);
  const ToolRun noVersion =
      Tool("pack " + Path("big.bin") + " " + Path("out.MTP") + " --page-count 256");
  EXPECT_EQ(noVersion.exitCode, 1);
  EXPECT_NE(noVersion.output.find("give --version"), std::string::npos) << noVersion.output;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.MTP"));
  EXPECT_EQ(Tool("pack --version xyz " + Path("big.bin") + " " + Path("out.MTP")).exitCode, 2);
  EXPECT_EQ(Tool("pack --frobnicate " + Path("big.bin") + " " + Path("out.MTP")).exitCode, 2);
  EXPECT_EQ(Tool("").exitCode, 2);
  EXPECT_EQ(Tool("info").exitCode, 2);
  EXPECT_EQ(Tool("info " + Path("missing.MTP")).exitCode, 1);
}

TEST_F(MtpTool, InfoExitsNonZeroForADamagedFile) {
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(isp::ReadWholeFile(SAMPLE_MTP_PATH, bytes));
  bytes[1000] ^= 0x01;
  {
    std::ofstream out(dir_ / "bad.MTP", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  const ToolRun run = Tool("info " + Path("bad.MTP"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("DAMAGED: block CRC mismatch"), std::string::npos) << run.output;

  // Well formed, but for a flash larger than this keyboard's: fits no target.
  ASSERT_EQ(Tool("sample-image " + Path("big.bin") + " 65535").exitCode, 0);
  ASSERT_EQ(Tool("pack --version 0102 --page-count 256 " + Path("big.bin") + " " + Path("big.MTP"))
                .exitCode,
            0);
  const ToolRun big = Tool("info " + Path("big.MTP"));
  EXPECT_EQ(big.exitCode, 1) << big.output;
  EXPECT_NE(big.output.find("FITS NO KNOWN TARGET"), std::string::npos) << big.output;
}

}  // namespace
