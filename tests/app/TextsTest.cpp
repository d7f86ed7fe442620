// The window's texts that need no device: the burner's name and argument,
// the error texts and the command log lines.
#include <gtest/gtest.h>

#include <string>

#include "app/BurnerLauncher.h"
#include "app/DevReader.h"
#include "app/SystemErrorText.h"

namespace {

TEST(BurnerLauncher, FirmwarePathKeepsTheDirectoryWhole) {
#ifdef _WIN32
  EXPECT_EQ(FirmwarePathIn("C:\\My Tools\\kb update\\"),
            "C:\\My Tools\\kb update\\USBKeyboard.MTP");
  EXPECT_EQ(FirmwarePathIn("C:\\kb"), "C:\\kb\\USBKeyboard.MTP");
  EXPECT_EQ(BurnerProgramName(), "mcuprog.exe");
#else
  EXPECT_EQ(FirmwarePathIn("/opt/My Tools/kb update/"), "/opt/My Tools/kb update/USBKeyboard.MTP");
  EXPECT_EQ(FirmwarePathIn("/usr/bin"), "/usr/bin/USBKeyboard.MTP");
  EXPECT_EQ(BurnerProgramName(), "mcuprog");
#endif
  const std::string longDir = "/" + std::string(300, 'd');
  EXPECT_EQ(FirmwarePathIn(longDir).size(), longDir.size() + 16);
}

TEST(SystemErrorText, MessagesAreTrimmedOfBlanksControlsAndFullStops) {
  EXPECT_EQ(TrimErrorMessage(SystemErrorMessage(5)), "Access is denied");
  EXPECT_EQ(TrimErrorMessage("Gone. .\r\n\t "), "Gone");
  EXPECT_EQ(TrimErrorMessage("a.b"), "a.b");
  EXPECT_EQ(TrimErrorMessage(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(TrimErrorMessage(std::string(254, 'x') + "  y"), std::string(254, 'x'));
  // A cut inside a multi-byte character drops the whole character.
  EXPECT_EQ(TrimErrorMessage(std::string(254, 'x') + "\xC3\xA4"), std::string(254, 'x'));
  EXPECT_NE(TrimErrorMessage(SystemErrorMessage(0x12345)).find("74565"), std::string::npos);
  EXPECT_EQ(ErrorLogText(1167), "The device is not connected (48F)");
}

TEST(WindowTexts, CommandLinesShowTheBytesInUpperCaseHex) {
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(9, 0x54, 0x02, " (Fn Lock)"),
            "W --> 09 54 02  (Fn Lock)");
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(9, 0x95, 0x7E, ""), "W --> 09 95 7E ");
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(0xA, 0xB, 0xFF, ""), "W --> 0A 0B FF ");
}

}  // namespace
