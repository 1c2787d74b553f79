#include "production/IdentityCodec.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace {

using namespace identity;

std::tm Tm(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  timegm(&t);  // fills in the weekday
  return t;
}

TEST(IdentityCodecTest, ImeiFieldsAreJoinedOnlyWhenTheyHoldTheirDigitCounts) {
  struct Case {
    const char* f[4];
    const char* joined;  // nullptr: refused
  } cases[] = {
      {{"350000", "00", "123456", "5"}, "350000001234565"},
      {{"35000", "00", "123456", "5"}, nullptr},  // one digit short
      {{"350000", "0", "123456", "5"}, nullptr},
      {{"350000", "00", "1234567", "5"}, nullptr},  // one too many
      {{"350000", "00", "123456", ""}, nullptr},
      {{"35000A", "00", "123456", "5"}, nullptr},  // a letter
      {{"350000", "00", "12 456", "5"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.f[0]) + "|" + c.f[1] + "|" + c.f[2] + "|" + c.f[3]);
    const auto joined = JoinImeiFields(c.f[0], c.f[1], c.f[2], c.f[3]);
    if (c.joined == nullptr) {
      EXPECT_FALSE(joined.has_value());
    } else {
      ASSERT_TRUE(joined.has_value());
      EXPECT_EQ(*joined, c.joined);
    }
  }
}

TEST(IdentityCodecTest, ImeiIsWrittenInSwappedPairsWithTheCheckDigitAlone) {
  EXPECT_EQ(ImeiWriteLine("350000001234565"), "stw 60 0x53 0x00 0x00 0x00 0x21 0x43 0x65 0x5");
  EXPECT_EQ(ImeiWriteLine("490154203237518"), "stw 60 0x94 0x10 0x45 0x02 0x23 0x73 0x15 0x8");
}

TEST(IdentityCodecTest, ImeiAnswerDecodesLowNibbleFirstIntoFourFields) {
  const uint8_t data[8] = {0x53, 0x00, 0x00, 0x00, 0x21, 0x43, 0x65, 0x05};
  const std::string imei = DecodeImei(data);
  EXPECT_EQ(imei, "350000001234565");
  std::string fields[4];
  SplitImei(imei, fields);
  EXPECT_EQ(fields[0], "350000");
  EXPECT_EQ(fields[1], "00");
  EXPECT_EQ(fields[2], "123456");
  EXPECT_EQ(fields[3], "5");
  // Only the low nibble of the last byte is the check digit.
  const uint8_t highSet[8] = {0x53, 0x00, 0x00, 0x00, 0x21, 0x43, 0x65, 0xF5};
  EXPECT_EQ(DecodeImei(highSet), "350000001234565");
  // An erased EEPROM is no IMEI: its nibbles never decode to digits.
  const uint8_t erased[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(AllDigits(DecodeImei(erased)));
}

TEST(IdentityCodecTest, ImeiWriteAndReadRoundTrip) {
  for (const char* imei :
       {"350000001234565", "000000000000000", "999999999999999", "357891023456781"}) {
    SCOPED_TRACE(imei);
    const std::string line = ImeiWriteLine(imei);
    // What the handset stores: each "0xAB" argument as the byte 0xAB.
    uint8_t stored[8] = {};
    size_t at = 0, n = 0;
    while ((at = line.find("0x", at)) != std::string::npos && n < 8) {
      stored[n++] = static_cast<uint8_t>(std::strtoul(line.c_str() + at, nullptr, 16));
      at += 2;
    }
    ASSERT_EQ(n, 8u);
    EXPECT_EQ(DecodeImei(stored), imei);
  }
}

TEST(IdentityCodecTest, SerialNumberIsSixDigitsHighNibbleFirst) {
  ASSERT_TRUE(SerialWriteLine("123456").has_value());
  EXPECT_EQ(*SerialWriteLine("123456"), "stw 61 0x12 0x34 0x56");
  EXPECT_EQ(*SerialWriteLine("090807"), "stw 61 0x09 0x08 0x07");
  for (const char* bad : {"12345", "1234567", "12a456", ""}) {
    EXPECT_FALSE(SerialWriteLine(bad).has_value()) << bad;
  }
  const uint8_t data[3] = {0x12, 0x34, 0x56};
  EXPECT_EQ(DecodeSerial(data), "123456");
  EXPECT_EQ(DecodeSerial(data), "123456");  // a second read shows the same six digits
}

TEST(IdentityCodecTest, HardwareVersionIsThreePrintableCharactersInHex) {
  ASSERT_TRUE(HwVersionWriteLine("R02").has_value());
  EXPECT_EQ(*HwVersionWriteLine("R02"), "stw 11 0x52 0x30 0x32");
  EXPECT_EQ(*HwVersionWriteLine("a~ "), "stw 11 0x61 0x7e 0x20");
  for (const char* bad : {"R0", "R022", "",
                          "R\x01"
                          "2",
                          "R\xC3\xA9"}) {
    EXPECT_FALSE(HwVersionWriteLine(bad).has_value()) << bad;
  }
  const uint8_t text[3] = {'R', '0', '3'};
  EXPECT_EQ(DecodeText(text, 3), "R03");
  const uint8_t shortText[3] = {'R', 0, '3'};
  EXPECT_EQ(DecodeText(shortText, 3), "R");
  const uint8_t version[14] = {'Z', 'R', '9', '0', '7', 'X', 'C',
                               '-', 'V', '1', '.', '0', '6', 'A'};
  EXPECT_EQ(DecodeText(version, 14), "ZR907XC-V1.06A");
}

TEST(IdentityCodecTest, ClockLineAndTextInTheCLocale) {
  // Whatever the user's locale, the names are English.
  std::setlocale(LC_ALL, "");
  struct Case {
    std::tm t;
    const char* line;
    const char* text;
  } cases[] = {
      {Tm(2002, 8, 24, 15, 7, 9), "stw 20 0x6 0x2 0x8 0x18 0xf 0x7 0x9",
       "15:07:09, Saturday, August 24, 2002"},
      {Tm(2010, 1, 3, 0, 0, 0), "stw 20 0x0 0xa 0x1 0x3 0x0 0x0 0x0",
       "00:00:00, Sunday, January 03, 2010"},
      {Tm(2026, 12, 31, 23, 59, 59), "stw 20 0x4 0x1a 0xc 0x1f 0x17 0x3b 0x3b",
       "23:59:59, Thursday, December 31, 2026"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RtcWriteLine(c.t), c.line);
    EXPECT_EQ(FormatTime(c.t), c.text);
  }
  std::setlocale(LC_ALL, "C");
}

TEST(IdentityCodecTest, RegionComboAndDisplay) {
  EXPECT_EQ(RegionWriteLine("HK").value_or(""), "spw 100 1");
  EXPECT_EQ(RegionWriteLine("CH").value_or(""), "spw 100 2");
  EXPECT_FALSE(RegionWriteLine("").has_value());  // no selection sends nothing
  EXPECT_FALSE(RegionWriteLine("hk").has_value());
  EXPECT_EQ(RegionText(1), "HK");
  EXPECT_EQ(RegionText(2), "CH");
  EXPECT_EQ(RegionText(3), "Not Support");
  EXPECT_EQ(RegionText(0), "Not Support");
}

}  // namespace
