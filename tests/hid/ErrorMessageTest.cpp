// The system's text for an error code: the system's own words on Windows,
// the Windows words of the codes the Linux backend reports on Linux.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "hid/platform/ErrorMessage.h"
#include "hid/platform/HidBackend.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using hidplatform::SystemErrorMessage;

#ifdef _WIN32
// The system's text through the fixed-buffer call and the system's own
// conversion: a second path to compare ours with.
std::string AskedDirectly(DWORD code) {
  wchar_t text[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, 1024, nullptr);
  std::string utf8(4 * length, '\0');
  utf8.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}
#endif

TEST(SystemErrorMessage, TheSystemsWordsForKnownCodesAndAFallbackForOthers) {
#ifdef _WIN32
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER,
                           ERROR_DEVICE_NOT_CONNECTED}) {
    const std::string text = SystemErrorMessage(code);
    EXPECT_FALSE(AskedDirectly(code).empty()) << code;
    EXPECT_EQ(text, AskedDirectly(code)) << code;
  }
  EXPECT_TRUE(SystemErrorMessage(ERROR_INVALID_PARAMETER).ends_with("\r\n"));
  // The run with Wine's user interface in French (hid_platform_texts_french):
  // words outside ASCII must arrive whole.
  if (std::getenv("KB_FRENCH_UI") != nullptr) {
    EXPECT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_FRENCH);
    const std::string text = SystemErrorMessage(ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(text.starts_with("Param\xC3\xA8tre")) << text;
  }
#else
  EXPECT_EQ(SystemErrorMessage(hidplatform::kErrorAccessDenied), "Access is denied.\r\n");
  EXPECT_EQ(SystemErrorMessage(hidplatform::kErrorInvalidFunction), "Incorrect function.\r\n");
  EXPECT_EQ(SystemErrorMessage(hidplatform::kErrorDeviceNotConnected),
            "The device is not connected.\r\n");
#endif
  // Codes the system has no message for.
  EXPECT_EQ(SystemErrorMessage(0x12345), "Unknown error 74565.");
  EXPECT_EQ(SystemErrorMessage(0xABCDEF), "Unknown error 11259375.");
}

}  // namespace
