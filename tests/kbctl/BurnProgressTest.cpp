// The progress of a burn stage as a terminal and as a script see it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "kbctl/BurnProgress.h"

namespace {

TEST(BurnProgressTest, TheBarFillsWithThePercentAndTheNamesLineUp) {
  EXPECT_EQ(kbctl::ProgressBar("program", 50), "program [##########----------]  50%");
  EXPECT_EQ(kbctl::ProgressBar("erase", 0), "erase   [--------------------]   0%");
  EXPECT_EQ(kbctl::ProgressBar("verify", 100), "verify  [####################] 100%");
  // A mark is drawn only once its 5% are complete.
  EXPECT_EQ(kbctl::ProgressBar("erase", 9), "erase   [#-------------------]   9%");
  EXPECT_EQ(kbctl::ProgressBar("erase", 99), "erase   [###################-]  99%");
  // Out-of-range readings cannot break the line's width.
  EXPECT_EQ(kbctl::ProgressBar("erase", 150), kbctl::ProgressBar("erase", 100));
  EXPECT_EQ(kbctl::ProgressBar("erase", -1), kbctl::ProgressBar("erase", 0));
}

TEST(BurnProgressTest, PlainLinesNameTheStageAndThePercent) {
  EXPECT_EQ(kbctl::PlainProgressLine("erase", 100), "erase: 100%\n");
  EXPECT_EQ(kbctl::PlainProgressLine("verify", 25), "verify: 25%\n");
}

TEST(BurnProgressTest, TheBarIsRedrawnWhileTheStageRunsAndEndsWithTheResult) {
  std::ostringstream out;
  std::atomic<int> progress{100};  // the last operation's value, until the next one starts
  std::atomic<int> reads{0};
  {
    kbctl::LiveProgress live(out, [&] {
      ++reads;
      return progress.load();
    });
    live.Begin("program");
    progress = 0;
    progress = 40;
    // A read draws under the same lock End takes: once one happened, its bar is out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reads == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(reads, 0);
    live.End(true, "ok");
    live.Begin("verify");
    live.End(false, "failed");
  }
  EXPECT_EQ(out.str(),
            "\rprogram [--------------------]   0%"
            "\rprogram [########------------]  40%"
            "\rprogram [####################] 100% ok\n"
            "\rverify  [--------------------]   0%"
            "\rverify  [--------------------]   0% failed\n");
}

}  // namespace
