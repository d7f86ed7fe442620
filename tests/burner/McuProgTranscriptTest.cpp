// Every console text of mcuprog, to the byte, for each path through the burn
// sequence, with the library results the scripted ISPDLL hands it.
#include <gtest/gtest.h>

#include "BurnerProcess.h"

namespace {

using burnertest::RunBurner;

const std::string kEnd = "\nhit Enter key to end \n";
const std::string kEraseHead = " erase page0~239  total 240 pages Code\n  processing...";
const std::string kProgramHead = " program page0~239  total 240 pages Code\n  processing...";
const std::string kVerifyHead = " veryfy from page0~239  total 240 pages Code\n  processing...";
const std::string kStartHead = " MCU start at the user firmware\n";
const std::string kUsage =
    "\ncommand usage: mcuprog  (load 'burn.mtp' as default file)\n"
    "\ncommand usage: mcuprog filename.mtp   (load 'filename.mtp' to burnin)\n";

std::string Loaded(const std::string& name, int programSize = 60000, int optionSize = 2) {
  return "You have filename: " + name +
         "\nconnect to USB keyboard ok\nloadfile ok\nProgramSize=" + std::to_string(programSize) +
         "   OptionSize=" + std::to_string(optionSize) + "\n";
}

const std::vector<std::string> kAllCalls = {
    "ConnectToBootloader",  "LoadFile fw.MTP",      "EraseByPage 0 240 0", "Program 0",
    "VerifyByPage 0 240 0", "ExecuteProgramFrom 2", "SwitchToUserProgram"};

std::vector<std::string> FirstCalls(std::size_t n) {
  return std::vector<std::string>(kAllCalls.begin(), kAllCalls.begin() + static_cast<long>(n));
}

TEST(McuProgTranscript, SuccessfulBurn) {
  const auto run = RunBurner({"fw.MTP"},
                             "LoadFile 0 60000 2\n"
                             "EraseByPage 0 progress 0 12 57 100\n"
                             "Program 1 progress 30 100\n"
                             "VerifyByPage 0 progress 100\n"
                             "ExecuteProgramFrom 5\n");
  EXPECT_EQ(run.output, Loaded("fw.MTP") + kEraseHead + "0% 12% 57% 100% \n --->ok\n" +
                            kProgramHead + "30% 100% \n --->ok\n" + kVerifyHead +
                            "100% \n--->ok\n" + kStartHead +
                            "--->ok\n Burnin OK, please re-plugin USB KB.\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.calls, kAllCalls);
}

TEST(McuProgTranscript, FileNameRule) {
  // No argument: the default name, relative to the working directory.
  auto run = RunBurner({}, "");
  EXPECT_EQ(run.output.rfind("You have filename: burn.MTP\n", 0), 0U) << run.output;
  ASSERT_GE(run.calls.size(), 2U);
  EXPECT_EQ(run.calls[1], "LoadFile burn.MTP");
  EXPECT_EQ(run.exitCode, 0);

  // Only the first of several arguments counts; a name with blanks is whole.
  run = RunBurner({"my fw.MTP", "other.MTP", "--force"}, "");
  EXPECT_EQ(run.output.rfind("You have filename: my fw.MTP\n", 0), 0U) << run.output;
  ASSERT_GE(run.calls.size(), 2U);
  EXPECT_EQ(run.calls[1], "LoadFile my fw.MTP");
  EXPECT_EQ(run.exitCode, 0);

  // A name outside any ANSI code page is shown as UTF-8 and reaches LoadFile
  // as the same UTF-16 (the log writes each unit past ASCII as a \u escape).
  run = RunBurner({"固件-υλικό.MTP"}, "");
  EXPECT_EQ(run.output.rfind("You have filename: 固件-υλικό.MTP\n", 0), 0U) << run.output;
  ASSERT_GE(run.calls.size(), 2U);
  EXPECT_EQ(run.calls[1], "LoadFile \\u56FA\\u4EF6-\\u03C5\\u03BB\\u03B9\\u03BA\\u03CC.MTP");
  EXPECT_EQ(run.exitCode, 0);
}

TEST(McuProgTranscript, ConnectFailureNeverTouchesTheFile) {
  const auto run = RunBurner({}, "ConnectToBootloader -1\n");
  EXPECT_EQ(run.output,
            "You have filename: burn.MTP\n"
            "fail connect to keyboard, please plugin to USB port\n" +
                kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, std::vector<std::string>{"ConnectToBootloader"});
}

TEST(McuProgTranscript, OnlyMinusOneFailsConnectAndLoad) {
  const auto run = RunBurner({"fw.MTP"}, "ConnectToBootloader -2\nLoadFile 1 10 20\n");
  EXPECT_EQ(run.output.rfind(Loaded("fw.MTP", 10, 20), 0), 0U) << run.output;
  EXPECT_EQ(run.exitCode, 0);
}

TEST(McuProgTranscript, LoadFailureShowsTheUsage) {
  const auto run = RunBurner({"fw.MTP"}, "LoadFile -1 60000 2\n");
  EXPECT_EQ(run.output,
            "You have filename: fw.MTP\nconnect to USB keyboard ok\n"
            "fail loadfile fw.MTP\n" +
                kUsage + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(2));
}

TEST(McuProgTranscript, EraseAndProgramFailuresShowTheirWholeProgressLine) {
  auto run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nEraseByPage -1 progress 0 40 100\n");
  EXPECT_EQ(run.output, Loaded("fw.MTP") + kEraseHead + "0% 40% 100% \n ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(3));

  run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nProgram -1 progress 5 99 100\n");
  EXPECT_EQ(run.output, Loaded("fw.MTP") + kEraseHead + "100% \n --->ok\n" + kProgramHead +
                            "5% 99% 100% \n ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(4));
}

TEST(McuProgTranscript, VerifyMismatchAndVerifyFailure) {
  const std::string before =
      Loaded("fw.MTP") + kEraseHead + "100% \n --->ok\n" + kProgramHead + "100% \n --->ok\n";
  auto run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nVerifyByPage 1 progress 50 100\n");
  EXPECT_EQ(run.output, before + kVerifyHead + "50% 100% \n ----->unmatch ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(5));

  run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nVerifyByPage -1\n");
  EXPECT_EQ(run.output, before + kVerifyHead + "100% \n ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);

  run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nVerifyByPage 2\n");
  EXPECT_EQ(run.output, before + kVerifyHead + "100% \n ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(5));
}

TEST(McuProgTranscript, StartFailureEndsWithoutSwitching) {
  const auto run = RunBurner({"fw.MTP"}, "LoadFile 0 60000 2\nExecuteProgramFrom -1\n");
  EXPECT_EQ(run.output, Loaded("fw.MTP") + kEraseHead + "100% \n --->ok\n" + kProgramHead +
                            "100% \n --->ok\n" + kVerifyHead + "100% \n--->ok\n" + kStartHead +
                            " ---->NG\n" + kEnd);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.calls, FirstCalls(6));
}

TEST(McuProgTranscript, ProgressPollPrintsEveryValueUntilOneHundredOrMore) {
  const auto run = RunBurner({"fw.MTP"},
                             "LoadFile 0 60000 2\n"
                             "EraseByPage 0 progress 100\n"
                             "Program 0 progress 0 150\n"
                             "VerifyByPage 0 progress -5 -1 0 0 12 12 57 100\n");
  EXPECT_EQ(run.output, Loaded("fw.MTP") + kEraseHead + "100% \n --->ok\n" + kProgramHead +
                            "0% 150% \n --->ok\n" + kVerifyHead +
                            "-5% -1% 0% 0% 12% 12% 57% 100% \n--->ok\n" + kStartHead +
                            "--->ok\n Burnin OK, please re-plugin USB KB.\n");
  EXPECT_EQ(run.exitCode, 0);
}

TEST(McuProgTranscript, SizesAreSixteenBitAndEmptyBlocksDoNotStopTheBurn) {
  auto run = RunBurner({"fw.MTP"}, "LoadFile 0 0 0\n");
  EXPECT_EQ(run.output.rfind(Loaded("fw.MTP", 0, 0), 0), 0U) << run.output;
  EXPECT_EQ(run.exitCode, 0);
  // Only the low 16 bits of each 32-bit slot count.
  run = RunBurner({"fw.MTP"}, "LoadFile 0 74565 65535\n");
  EXPECT_EQ(run.output.rfind(Loaded("fw.MTP", 9029, 65535), 0), 0U) << run.output;
}

TEST(McuProgTranscript, TheResultOfSwitchingDoesNotMatter) {
  const auto run = RunBurner({"fw.MTP"}, "LoadFile 0 1 1\nSwitchToUserProgram -1\n");
  EXPECT_NE(run.output.find(" Burnin OK, please re-plugin USB KB.\n"), std::string::npos);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.calls, kAllCalls);
}

}  // namespace
