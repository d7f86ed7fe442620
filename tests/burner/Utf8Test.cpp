// The file name's way from the command line (UTF-8) to ISPDLL (UTF-16) and
// back to a path.
#include <gtest/gtest.h>

#include "burner/Utf8.h"
#include "isp/Utf16.h"

namespace {

TEST(FileNameText, Utf8ToUtf16AndBackKeepsEveryCharacter) {
  for (const std::string name : {"burn.MTP", "/tmp/my fw/USBKeyboard.MTP",
                                 "Gr\xC3\xBC\xC3\x9F"
                                 "e.MTP",
                                 "\xE6\x9B\xB4\xE6\x96\xB0.MTP", "\xF0\x9F\x98\x80.MTP", ""}) {
    const std::u16string wide = burner::Utf8ToUtf16(name);
    const auto back = isp::Utf16ToUtf8(wide.c_str());
    ASSERT_TRUE(back.has_value()) << name;
    EXPECT_EQ(*back, name);
  }
  EXPECT_EQ(burner::Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
}

TEST(FileNameText, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  EXPECT_EQ(burner::Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");
  EXPECT_EQ(burner::Utf8ToUtf16("\xC3"), u"\uFFFD");                      // cut short
  EXPECT_EQ(burner::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(burner::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
  const char16_t lone[] = {u'x', 0xDC00, 0};
  EXPECT_FALSE(isp::Utf16ToUtf8(lone).has_value());
}

}  // namespace
