// The window's texts that need no device: the burner's name and argument,
// the error texts and the command log lines.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/BurnerLauncher.h"
#include "app/DevReader.h"
#include "app/SystemErrorText.h"
#include "hid/platform/ErrorMessage.h"

namespace {

using hidplatform::TrimErrorMessage;

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
  EXPECT_EQ(TrimErrorMessage("Gone. .\r\n\t "), "Gone");
  EXPECT_EQ(TrimErrorMessage("a.b"), "a.b");
  EXPECT_EQ(TrimErrorMessage(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(TrimErrorMessage(std::string(254, 'x') + "  y"), std::string(254, 'x'));
  // 255 characters, not bytes; a cut never falls inside a character.
  std::string umlauts;
  for (int i = 0; i < 300; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(TrimErrorMessage(umlauts), umlauts.substr(0, 510));
  EXPECT_EQ(TrimErrorMessage(std::string(255, 'x') + "\xC3\xA4"), std::string(255, 'x'));
  EXPECT_EQ(TrimErrorMessage(std::string(254, 'x') + "\xC3\xA4z"),
            std::string(254, 'x') + "\xC3\xA4");
#ifdef _WIN32
  // The system's own words, whatever its language, cut to one line.
  const std::string invalidParameter = ErrorLogText(ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(invalidParameter.ends_with(" (57)")) << invalidParameter;
  EXPECT_EQ(invalidParameter.find("Unknown error"), std::string::npos) << invalidParameter;
  const std::string message = invalidParameter.substr(0, invalidParameter.size() - 5);
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(std::string(". \r\n").find(message.back()), std::string::npos) << invalidParameter;
#else
  // Linux words the codes its backend reports as Windows does.
  EXPECT_EQ(ErrorLogText(5), "Access is denied (5)");
  EXPECT_EQ(ErrorLogText(1167), "The device is not connected (48F)");
#endif
  EXPECT_EQ(ErrorLogText(0x12345), "Unknown error 74565 (12345)");
}

TEST(WindowTexts, CommandLinesShowTheBytesInUpperCaseHex) {
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(9, 0x54, 0x02, " (Fn Lock)"),
            "W --> 09 54 02  (Fn Lock)");
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(9, 0x95, 0x7E, ""), "W --> 09 95 7E ");
  EXPECT_EQ(TbootloaderFORM::CommandLogLine(0xA, 0xB, 0xFF, ""), "W --> 0A 0B FF ");
}

}  // namespace
