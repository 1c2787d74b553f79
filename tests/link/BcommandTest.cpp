#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "sim/LinkHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

class EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEncoderState(); }

  // BuildRequest as EncodeCommand calls it: zeroed buffer, length 0.
  static int Build(const std::string& line, Bytes& payload) {
    uint8_t buffer[PAYLOAD_BUFFER_SIZE] = {};
    uint8_t length = 0;
    const int result = BuildRequest(buffer, line, &length);
    payload.assign(buffer, buffer + length);
    return result;
  }

  static Bytes TakeFrame() {
    uint8_t buffer[FRAME_BUFFER_SIZE] = {};
    int8_t length = -1;
    TakePendingFrame(buffer, &length);
    EXPECT_GE(length, 0);
    return Bytes(buffer, buffer + (length > 0 ? length : 0));
  }
};

struct EncodeCase {
  const char* line;
  const char* payload;  // hex
  uint8_t opcode;       // last opcode afterwards
};

// Every command word that builds a payload, every documented example and the token rules.
const EncodeCase ENCODE_CASES[] = {
    {"ti", "20 20", 0x20},
    {"tix", "20 20", 0x20},  // further letters are ignored
    {"tms 1", "21 01 20", 0x21},
    {"tms 0x05", "21 05 24", 0x21},  // 'x' clears the value so far
    {"vg 0xe0", "22 E0 00 C2", 0x22},
    {"vg 7 8 9", "22 E0 00 C2", 0x22},  // arguments ignored
    {"rfe 0", "23 00 00 23", 0x23},
    {"sr 1 2", "24 01 00 02 00 27", 0x24},
    {"scw 100000 -1", "25 A0 86 01 00 FF FF FF FF 02", 0x25},
    {"scw 123456789", "25 15 CD 5B 07 00 00 00 00 A1", 0x25},
    {"scr 7", "26 07 21", 0x26},
    {"rfpw 9 1.5", "30 09 00 0C 00 35", 0x30},
    {"rfpw 10 -0.5", "30 0A 00 FC FF 39", 0x30},
    {"rfpw 9 1e1", "30 09 00 50 00 69", 0x30},
    {"rfpw 9 .5x", "30 09 00 04 00 3D", 0x30},
    {"rfpw 9 4095.875", "30 09 00 FF 7F B9", 0x30},
    {"rfpw 9 e5", "30 09 00 00 00 39", 0x30},  // no digits read as 0
    {"rfpw 2 62", "30 02 00 3E 00 0C", 0x30},  // other parameters: plain 16-bit value
    {"rfpr 3", "31 03 32", 0x31},
    {"rftw 31 193,40,0,39,40", "32 1F C1 00 28 00 00 00 27 00 28 00 CB", 0x32},
    {"rftw 1 1 2 3", "32 01 01 00 02 00 03 00 33 00 00 00 00", 0x32},  // still 13 bytes
    {"rftw 1", "32 01 33 00 00 00 00 00 00 00 00 00 00", 0x32},
    {"rftr 31", "33 1F 2C", 0x33},
    {"rxpw 8 0", "34 08 00 00 00 3C", 0x34},
    {"rxpr 1", "35 01 34", 0x35},
    {"txpw 1 512", "36 01 00 00 02 35", 0x36},
    {"txpw 1 7", "36 01 00 07 00 30", 0x36},
    {"txpr 1", "37 01 36", 0x37},
    {"ttw 12 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0",
     "38 0C 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 "
     "03 02 01 00 34",
     0x38},
    {"ttw 1 1,2",
     "38 01 01 02 3A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00",
     0x38},
    {"ttr 3", "39 03 20 1A", 0x39},
    {"mw", "", 0x40},
    {"mpw 1 2", "44 01 00 02 00 47", 0x44},
    {"mpr 1", "45 01 44", 0x45},
    {"spw 23 120", "50 17 00 78 00 3F", 0x50},
    {"spr 100", "51 64 00 35", 0x51},
    {"stw 60 0x12 0x34", "52 3C 12 34 48", 0x52},
    {"stw 60 0x12,0x34", "52 3C 12 34 48", 0x52},
    {"stw 60", "52 3C 6E", 0x52},
    {"stw 60 ", "52 3C 00 6E", 0x52},   // one empty value token
    {"stw 60,0x12", "52 0C 5E", 0x52},  // the comma belongs to the first argument
    {"str 60", "53 3C 6F", 0x53},
    {"se 6", "54 06 00 52", 0x54},
    {"se", "54 00 00 54", 0x54},
    {"se 6 ", "54 06 00 52", 0x54},
    {"se  6", "54 00 00 54", 0x54},  // the first argument is the empty text between the spaces
    {"se 0x10", "54 0A 00 5E", 0x54},
    {"se -1", "54 FF FF 54", 0x54},
    {"se 65536", "54 00 00 54", 0x54},
    {"11", "01 01 01 01 01 01 01 01 01 01 00", 0x01},
};

TEST_F(EncoderTest, EveryWordAndExampleBuildsItsPayload) {
  for (const auto& c : ENCODE_CASES) {
    SCOPED_TRACE(c.line);
    ResetEncoderState();
    Bytes payload;
    EXPECT_EQ(Build(c.line, payload), ENC_OK);
    EXPECT_EQ(HexText(payload), c.payload);
    EXPECT_EQ(LastOpcode(), c.opcode);
  }
}

TEST_F(EncoderTest, WordsThatBuildNothingLeaveLengthAndOpcode) {
  for (const char* line : {"mr 1 2", "cw", "cr 5", "help", "helpme", "exit", "x", "xyz 1 2"}) {
    SCOPED_TRACE(line);
    Encoder().lastOpcode = 0x54;
    uint8_t buffer[PAYLOAD_BUFFER_SIZE] = {};
    uint8_t length = 77;
    EXPECT_EQ(BuildRequest(buffer, line, &length), ENC_OK);
    EXPECT_EQ(length, 77);
    EXPECT_EQ(LastOpcode(), 0x54);
  }
}

TEST_F(EncoderTest, UnknownAndCommentLines) {
  const struct {
    const char* line;
    int result;
  } cases[] = {{"TI", ENC_UNKNOWN},    {"t", ENC_UNKNOWN},       {"abc 1", ENC_UNKNOWN},
               {" se 6", ENC_UNKNOWN}, {"// note", ENC_COMMENT}, {"/", ENC_COMMENT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Encoder().lastOpcode = 0x36;
    Bytes payload;
    EXPECT_EQ(Build(c.line, payload), c.result);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(LastOpcode(), 0x36);
  }
  EXPECT_EQ(EncodeCommand(""), ENC_UNKNOWN);
}

TEST_F(EncoderTest, LinesOutsideTheLanguageAreRefused) {
  std::string values40, values41, ttw32 = "ttw 1 ", ttw33;
  for (int i = 0; i < 41; ++i) {
    if (i < 40) values40 += (i ? "," : "") + std::to_string(i);
    values41 += (i ? "," : "") + std::to_string(i);
  }
  for (int i = 0; i < 32; ++i) ttw32 += (i ? "," : "") + std::to_string(i);
  ttw33 = ttw32 + ",1";
  const struct {
    std::string line;
    int result;
    size_t length;
  } cases[] = {
      {"tixxxxxxx", ENC_OK, 2},           // nine-character word
      {"tixxxxxxxx", ENC_UNKNOWN, 0},     // ten
      {"se 123456789", ENC_OK, 4},        // nine-character first argument
      {"se 1234567890", ENC_UNKNOWN, 0},  // ten
      {"stw 1 0x1234567", ENC_OK, 4},     // nine-character value
      {"stw 1 0x12345678", ENC_UNKNOWN, 0},
      {"stw 1 " + values40, ENC_OK, 43},  // the longest payload
      {"stw 1 " + values41, ENC_UNKNOWN, 0},
      {"se 1 " + std::string(41, ' '), ENC_UNKNOWN, 0},  // 42 empty value tokens
      {"rftw 1 1 2 3 4 5", ENC_OK, 13},
      {"rftw 1 1 2 3 4 5 6", ENC_UNKNOWN, 0},
      {ttw32, ENC_OK, 35},
      {ttw33, ENC_UNKNOWN, 0},
      {"se " + std::string(5000, '9'), ENC_UNKNOWN, 0},
      {std::string(5000, 's'), ENC_UNKNOWN, 0},
      {"/" + std::string(5000, '-'), ENC_COMMENT, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 60));
    ResetEncoderState();
    Encoder().lastOpcode = 0x33;
    Bytes payload;
    EXPECT_EQ(Build(c.line, payload), c.result);
    EXPECT_EQ(payload.size(), c.length);
    if (c.result != ENC_OK) {
      EXPECT_EQ(LastOpcode(), 0x33);
    }
  }
}

TEST_F(EncoderTest, RefusedLineLeavesPendingFrameAndOpcode) {
  ASSERT_EQ(EncodeCommand("se 6"), ENC_OK);
  EXPECT_EQ(EncodeCommand("rftw 1 1 2 3 4 5 6"), ENC_UNKNOWN);
  EXPECT_EQ(EncodeCommand("TI"), ENC_UNKNOWN);
  EXPECT_EQ(EncodeCommand("// x"), ENC_COMMENT);
  EXPECT_EQ(LastOpcode(), 0x54);
  EXPECT_EQ(HexText(TakeFrame()), "14 54 06 00 52");
}

TEST_F(EncoderTest, SendCommandTextKeepsTheTextAndNeverOverruns) {
  // The ramp editor's template line: 32 two-digit values make it 102 characters.
  std::string ramp = "ttw 12 ";
  for (int v = 10; v < 42; ++v) ramp += std::to_string(v) + (v < 41 ? "," : "");
  ASSERT_EQ(ramp.size(), 102u);
  EXPECT_EQ(SendCommandText(ramp), ENC_OK);
  EXPECT_STREQ(Encoder().commandText, ramp.c_str());
  EXPECT_EQ(TakeFrame().size(), 1u + 35u + 1u);  // the value 16 goes out escaped

  const std::string huge = "se 6 " + std::string(10000, 'z');
  EXPECT_EQ(SendCommandText(huge), ENC_UNKNOWN);
  EXPECT_EQ(std::string(Encoder().commandText), huge.substr(0, COMMAND_TEXT_MAX));
  EXPECT_EQ(SendCommandText("/" + std::string(10000, '*')), ENC_COMMENT);
  EXPECT_EQ(SendCommandText(ramp + std::string(20, ',')), ENC_UNKNOWN);  // 52 values: refused
  // A line ends at its first NUL, as C text does.
  EXPECT_EQ(SendCommandText(std::string("se 6\0 junk", 10)), ENC_OK);
  EXPECT_EQ(HexText(TakeFrame()), "14 54 06 00 52");
}

struct NumberCase {
  const char* token;
  int32_t value;
};

TEST(NumberConversion, ParseDec8) {
  const NumberCase cases[] = {{"", 0},      {"7", 7},    {"255", 255}, {"256", 0},     {"0x05", 5},
                              {"x", 0},     {"12x3", 3}, {"1X5", 105}, {"a", 10},      {"1a", 20},
                              {"1.5", 105}, {"-1", 1},   {"193", 193}, {"100000", 160}};
  for (const auto& c : cases) EXPECT_EQ(ParseDec8(c.token), c.value) << c.token;
}

TEST(NumberConversion, ParseDec) {
  const NumberCase cases[] = {{"", 0},
                              {"0", 0},
                              {"-12", -12},
                              {"0x10", 10},
                              {"65536", 65536},
                              {"99999", 99999},
                              {"100000", 100000},
                              {"123456789", 123456789},
                              {"-", 0},
                              {"1-2", 98},
                              {"-a", -49},
                              {"-0.5", 15},
                              {"1a", 20},
                              {"-999999999", -999999999}};
  for (const auto& c : cases) EXPECT_EQ(ParseDec(c.token), c.value) << c.token;
}

TEST(NumberConversion, ParseHex8) {
  const NumberCase cases[] = {{"0x3F", 0x3F}, {"3F", 0x3F}, {"3f", 0x3F},   {"0X3F", 0x3F},
                              {"x", 0},       {"ff", 0xFF}, {"1234", 0x34}, {"g1", 1},
                              {"0x12", 0x12}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseHex8(c.token), c.value) << c.token;
}

TEST(NumberConversion, Pow16KeepsSixteenBits) {
  EXPECT_EQ(Pow16(10, 0), 1);
  EXPECT_EQ(Pow16(10, 4), 10000);
  EXPECT_EQ(Pow16(10, 5), 34464);  // 100000 mod 65536
  EXPECT_EQ(Pow16(10, 6), 16960);  // 344640 mod 65536: each step is truncated
  EXPECT_EQ(Pow16(16, 3), 4096);
  EXPECT_EQ(Pow16(16, 4), 0);
  EXPECT_EQ(Pow16(7, -1), 1);
}

}  // namespace
