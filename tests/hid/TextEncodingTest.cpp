// Text on its way between UTF-8 (command line, sysfs) and UTF-16 (device
// strings, ISPDLL file names), and into fixed-size string buffers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "base/TextEncoding.h"

namespace {

using hidplatform::CopyWideString;
using hidplatform::Utf16ToShownUtf8;
using hidplatform::Utf16ToUtf8;
using hidplatform::Utf8ToUtf16;

TEST(TextEncoding, Utf8ToUtf16AndBackKeepsEveryCharacter) {
  for (const std::string name : {"burn.MTP", "/tmp/my fw/USBKeyboard.MTP",
                                 "Gr\xC3\xBC\xC3\x9F"
                                 "e.MTP",
                                 "\xE6\x9B\xB4\xE6\x96\xB0.MTP", "\xF0\x9F\x98\x80.MTP", ""}) {
    const std::u16string wide = Utf8ToUtf16(name);
    const auto back = Utf16ToUtf8(wide);
    ASSERT_TRUE(back.has_value()) << name;
    EXPECT_EQ(*back, name);
  }
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
  EXPECT_EQ(*Utf16ToUtf8(u"\u00e9\u20ac\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(TextEncoding, WhatIsNotTextBecomesReplacementCharactersOrNothing) {
  EXPECT_EQ(Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");                      // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC3z"), u"\uFFFDz");                    // no continuation byte
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
  const char16_t lone[] = {u'x', 0xDC00, 0};
  EXPECT_FALSE(Utf16ToUtf8(lone).has_value());
  const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
  EXPECT_FALSE(Utf16ToUtf8(highAtEnd).has_value());
  // Shown text keeps the rest and marks each unpaired surrogate.
  EXPECT_EQ(Utf16ToShownUtf8(lone), "x\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToShownUtf8(highAtEnd), "x\xEF\xBF\xBD");
  const char16_t highThenLetter[] = {0xD83D, u'y', 0xD83D, 0xDE00, 0};
  EXPECT_EQ(Utf16ToShownUtf8(highThenLetter), "\xEF\xBF\xBDy\xF0\x9F\x98\x80");
}

TEST(TextEncoding, CopiesIntoABufferTerminatedOnlyWhenShorter) {
  std::array<std::uint8_t, 8> buffer;
  buffer.fill(0xEE);
  CopyWideString(u"AB", buffer.data(), buffer.size());
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 8>{'A', 0, 'B', 0, 0, 0, 0xEE, 0xEE}));

  buffer.fill(0xEE);
  CopyWideString(u"ABCDE", buffer.data(), buffer.size());  // four units fit, no terminator
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 8>{'A', 0, 'B', 0, 'C', 0, 'D', 0}));

  buffer.fill(0xEE);
  CopyWideString(u"\u20ac", buffer.data(), 3);  // an odd size keeps its last byte untouched
  EXPECT_EQ(buffer[0], 0xAC);
  EXPECT_EQ(buffer[1], 0x20);
  EXPECT_EQ(buffer[2], 0xEE);
}

}  // namespace
