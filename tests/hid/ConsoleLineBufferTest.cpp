// kbctl's output to a pipe: each line when it is complete, a redrawn line on
// each flush, nothing kept back at the end.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/ConsoleOutput.h"

namespace {

std::vector<std::string> written;

void Capture(std::string_view text) {
  written.emplace_back(text);
}

TEST(ConsoleLineBuffer, HandsOnCompleteLinesAndWhateverAFlushFinds) {
  written.clear();
  {
    hidplatform::ConsoleLineBuffer buffer(Capture);
    std::ostream out(&buffer);
    out << "Restarting" << ' ' << "KB";
    EXPECT_TRUE(written.empty());
    out << "...\nconnect: ok\nerase";
    EXPECT_EQ(written, (std::vector<std::string>{"Restarting KB...\nconnect: ok\n"}));
    out << "\r[##--] 50%" << std::flush;
    out << "\r[####] 100%" << std::flush;
    EXPECT_EQ(written.back(), "\r[####] 100%");
    out << " ok\nverify";
    EXPECT_EQ(written.back(), " ok\n");
    out << 'x';
  }
  // What is left goes when the buffer ends.
  EXPECT_EQ(written.back(), "verifyx");
  std::string all;
  for (const std::string& part : written) all += part;
  EXPECT_EQ(all, "Restarting KB...\nconnect: ok\nerase\r[##--] 50%\r[####] 100% ok\nverifyx");
}

}  // namespace
