#include "hid/platform/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

#include "emulator/SimpleDeviceModel.h"

namespace hidplatform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A boot keyboard: 8-byte input, 1-byte LED output, no report ids.
const Bytes kBootKeyboard{
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,  // modifiers
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,  // 8 x 1 bit input
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // 5 LEDs
    0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03,  //
    0x91, 0x01,                                      // 3 bits padding output
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // 6 key codes
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //
    0xC0,
};

TEST(ReportDescriptor, LengthsWithoutReportIdsCountTheIdByte) {
  auto parsed = ParseReportDescriptor(kBootKeyboard);
  ASSERT_TRUE(parsed);
  EXPECT_FALSE(parsed->usesReportIds);
  ASSERT_EQ(parsed->collections.size(), 1u);
  const auto& c = parsed->collections[0];
  EXPECT_EQ(c.usagePage, 0x01);
  EXPECT_EQ(c.usage, 0x06);
  EXPECT_EQ(c.inputReportByteLength, 9);   // 8 bytes + id byte
  EXPECT_EQ(c.outputReportByteLength, 2);  // 5 + 3 bits -> 1 byte + id byte
  EXPECT_EQ(c.featureReportByteLength, 0);
  EXPECT_EQ(CollectionOfReport(*parsed, 0), 0u);
}

TEST(ReportDescriptor, SeveralCollectionsWithIdsTakeTheLargestReportOfEach) {
  Bytes d;
  // Collection 1: consumer control, report 1 (2 bytes in) and report 2 (5 bytes in).
  d.insert(d.end(), {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95,
                     0x02, 0x81, 0x00, 0x85, 0x02, 0x95, 0x05, 0x81, 0x00, 0xC0});
  // Collection 2: vendor, report 9: 64 bytes out, 3 bytes feature, nested collection input.
  d.insert(d.end(),
           {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x09, 0x75, 0x08, 0x95, 0x40, 0x91,
            0x02, 0x95, 0x03, 0xB1, 0x02, 0xA1, 0x02, 0x95, 0x07, 0x81, 0x02, 0xC0, 0xC0});
  auto parsed = ParseReportDescriptor(d);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->usesReportIds);
  ASSERT_EQ(parsed->collections.size(), 2u);
  EXPECT_EQ(parsed->collections[0].usagePage, 0x0C);
  EXPECT_EQ(parsed->collections[0].inputReportByteLength, 6);
  EXPECT_EQ(parsed->collections[0].outputReportByteLength, 0);
  EXPECT_EQ(parsed->collections[1].usagePage, 0xFF00);
  EXPECT_EQ(parsed->collections[1].inputReportByteLength, 8);
  EXPECT_EQ(parsed->collections[1].outputReportByteLength, 65);
  EXPECT_EQ(parsed->collections[1].featureReportByteLength, 4);
  EXPECT_EQ(CollectionOfReport(*parsed, 2), 0u);
  EXPECT_EQ(CollectionOfReport(*parsed, 9), 1u);
  EXPECT_FALSE(CollectionOfReport(*parsed, 3));
}

TEST(ReportDescriptor, PushPopAndFourByteUsagesAreHonoured) {
  const Bytes d{0x0B, 0x02, 0x00, 0x0D, 0x00,              // Usage (4 bytes: page 0x0D, usage 2)
                0xA1, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4,  // size 8, count 4, Push
                0x95, 0x10, 0xB1, 0x02,                    // 16 bytes feature
                0xB4, 0x81, 0x02,                          // Pop, 4 bytes input
                0xC0};
  auto parsed = ParseReportDescriptor(d);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->collections.size(), 1u);
  EXPECT_EQ(parsed->collections[0].usagePage, 0x0D);
  EXPECT_EQ(parsed->collections[0].usage, 0x02);
  EXPECT_EQ(parsed->collections[0].inputReportByteLength, 5);
  EXPECT_EQ(parsed->collections[0].featureReportByteLength, 17);
}

TEST(ReportDescriptor, DamagedDescriptorsAreRejected) {
  const Bytes truncatedItem{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75};
  const Bytes unclosed{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
  const Bytes extraEnd{0xA1, 0x01, 0xC0, 0xC0};
  const Bytes reportOutside{0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
  const Bytes reportIdZero{0xA1, 0x01, 0x85, 0x00, 0xC0};
  const Bytes popEmpty{0xA1, 0x01, 0xB4, 0xC0};
  const Bytes hugeReport{0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97,
                         0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0xC0};
  const Bytes longItemCut{0xFE, 0x10, 0x00, 0x01};
  const Bytes garbage{0xFF, 0x13, 0x37, 0xDE, 0xAD, 0xBE, 0xEF};
  for (const Bytes* d : {&truncatedItem, &unclosed, &extraEnd, &reportOutside, &reportIdZero,
                         &popEmpty, &hugeReport, &longItemCut, &garbage}) {
    EXPECT_FALSE(ParseReportDescriptor(*d)) << "descriptor of " << d->size() << " bytes";
  }
  std::vector<std::uint8_t> deep(200, 0xA1);  // nesting far beyond any real device
  EXPECT_FALSE(ParseReportDescriptor(deep));
  EXPECT_TRUE(ParseReportDescriptor(Bytes{}));  // nothing declared: no collections
  EXPECT_TRUE(ParseReportDescriptor(Bytes{})->collections.empty());
}

TEST(ReportDescriptor, TestDescriptorHelperMatchesItsArguments) {
  auto withId = ParseReportDescriptor(emulator::SimpleDeviceModel::VendorDescriptor(9, 64, 64));
  ASSERT_TRUE(withId);
  EXPECT_EQ(withId->collections.at(0).inputReportByteLength, 65);
  EXPECT_EQ(withId->collections.at(0).outputReportByteLength, 65);
  auto withoutId = ParseReportDescriptor(emulator::SimpleDeviceModel::VendorDescriptor(0, 0, 300));
  ASSERT_TRUE(withoutId);
  EXPECT_FALSE(withoutId->usesReportIds);
  EXPECT_EQ(withoutId->collections.at(0).inputReportByteLength, 0);
  EXPECT_EQ(withoutId->collections.at(0).outputReportByteLength, 301);
}

}  // namespace
}  // namespace hidplatform
