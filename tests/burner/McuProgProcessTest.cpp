// mcuprog as a process: the final wait, the real ISPDLL without a boot
// loader, and how the program finds its library.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "BurnerProcess.h"

namespace {

using burnertest::BurnerProcess;
using namespace std::chrono_literals;

TEST(McuProgProcess, AfterAFailureItWaitsForOneCharacter) {
  BurnerProcess burner({"fw.MTP"}, "LoadFile -1\n");
  // Input open, nothing typed: still waiting.
  EXPECT_FALSE(burner.Wait(300ms).has_value());
  EXPECT_NE(burner.Output().find("hit Enter key to end \n"), std::string::npos);
  // One character is enough; the input stays open.
  burner.WriteInput("x");
  const auto code = burner.Wait(60s);
  ASSERT_TRUE(code.has_value()) << "the wait did not end on the first character";
  EXPECT_EQ(*code, 1);
}

TEST(McuProgProcess, TheWaitEndsAtTheEndOfInput) {
  BurnerProcess burner({}, "ConnectToBootloader -1\n");
  burner.CloseInput();
  const auto code = burner.Wait(60s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1);
}

TEST(McuProgProcess, ACompleteBurnDoesNotWait) {
  BurnerProcess burner({"fw.MTP"}, "LoadFile 0 100 2\n");
  // Input open and empty: a wait would hang here.
  const auto code = burner.Wait(60s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0);
}

TEST(McuProgProcess, RealLibraryWithoutBootLoaderReportsTheConnectFailure) {
  // No boot loader is attached to a test machine; mcuprog uses the real
  // ISPDLL through its RUNPATH and the platform's HID devices.
  BurnerProcess burner({}, std::nullopt);
  burner.CloseInput();
  const auto code = burner.Wait(60s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1);
  EXPECT_EQ(burner.Output(),
            "You have filename: burn.MTP\n"
            "fail connect to keyboard, please plugin to USB port\n"
            "\nhit Enter key to end \n");
}

TEST(McuProgProcess, LibrarySearchPathGivesWayToLdLibraryPath) {
  // RUNPATH (unlike RPATH) is searched after LD_LIBRARY_PATH.
  const std::string command = std::string("readelf -d '") + MCUPROG_PATH + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string dynamic;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    dynamic.append(buffer.data(), n);
  ASSERT_EQ(pclose(pipe), 0) << "readelf failed";
  EXPECT_NE(dynamic.find("(NEEDED)             Shared library: [libISPDLL.so.1]"),
            std::string::npos)
      << dynamic;
  EXPECT_NE(dynamic.find("(RUNPATH)"), std::string::npos) << dynamic;
  EXPECT_EQ(dynamic.find("(RPATH)"), std::string::npos) << dynamic;
}

}  // namespace
