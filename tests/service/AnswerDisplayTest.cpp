#include "service/AnswerDisplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/AnswerFrames.h"
#include "service/ResultDisplay.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<uint8_t> Signed16(int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  return {static_cast<uint8_t>(u & 0xFF), static_cast<uint8_t>(u >> 8)};
}

struct OkCase {
  const char* name;
  std::vector<uint8_t> frame;
  Lines lines;
};

std::vector<uint8_t> Bytes(int first, int count) {
  std::vector<uint8_t> v;
  for (int i = 0; i < count; ++i) v.push_back(static_cast<uint8_t>(first + i));
  return v;
}

TEST(ManualAnswerLines, EveryRowOfTheAnswerTable) {
  std::vector<uint8_t> ramp;
  for (int i = 0; i < 16; ++i) ramp.push_back(static_cast<uint8_t>(i * 9));  // 135 is -121
  for (int i = 0; i < 16; ++i) ramp.push_back(static_cast<uint8_t>(0xF0 + i));
  const OkCase cases[] = {
      {"test code", AnswerFrame(0x01, 0x01, {}), {"test code success"}},
      {"tms", AnswerFrame(0x21, 0x01, {}), {"testmode set"}},
      {"txpr 1", AnswerFrame(0x37, 1, {0x07, 0x00}), {"Tx level is 7"}},
      {"txpr 4", AnswerFrame(0x37, 4, {0x34, 0x12}), {"APC DAC value is 4660"}},
      {"txpr 4 unsigned", AnswerFrame(0x37, 4, {0xFF, 0xFF}), {"APC DAC value is 65535"}},
      {"txpr other", AnswerFrame(0x37, 2, {0x34, 0x12}), {}},
      {"rfpr 1", AnswerFrame(0x31, 1, {0x3E, 0x00}), {"BCH Channel is 62"}},
      {"rfpr 2", AnswerFrame(0x31, 2, {0xBC, 0x02}), {"TCH Channel is 700"}},
      {"rfpr 9 negative", AnswerFrame(0x31, 9, {0xF8, 0xFF}), {"AFC DAC :        -1.000"}},
      {"rfpr 9 fraction", AnswerFrame(0x31, 9, Signed16(8189)), {"AFC DAC :      1023.625"}},
      {"rfpr 10", AnswerFrame(0x31, 10, Signed16(-8190)), {"INIT_AFC :     -1023.750"}},
      {"rfpr other", AnswerFrame(0x31, 3, {0x01, 0x00}), {}},
      {"rftr 31",
       AnswerFrame(0x33, 31, {195, 0, 2, 0, 0x18, 0x03, 0x9C, 0xFF, 0x10, 0x00}),
       {"G_magic   Ina_att   cal_freq1    Ina_switch_thr_low     Ina_switch_thr_high",
        "   195           2           792                    65436                          16"}},
      {"rftr 47",
       AnswerFrame(0x33, 47, Bytes(1, 10)),
       {"G_magic   Ina_att   cal_freq1    Ina_switch_thr_low     Ina_switch_thr_high",
        "   513           1027           1541                    2055                          "
        "2569"}},
      {"rftr other", AnswerFrame(0x33, 30, Bytes(1, 10)), {}},
      // sr: sub-code 1, byte 5 the high byte of the kind, byte 6 the kind.
      {"sr kind 1", AnswerFrame(0x24, 1, {0x00, 0x01, 0x00, 0x7B, 0x00, 0x00}), {"RX level is 61"}},
      {"sr kind 1 high byte",
       AnswerFrame(0x24, 1, {0x00, 0x01, 0x01, 0x01, 0x00, 0x00}),
       {"RX level is 128"}},
      {"sr kind 2",
       AnswerFrame(0x24, 1, {0x00, 0x02, 0x00, 0x40, 0x06, 0x00}),
       {"PM value is      25.00"}},
      {"sr kind 2 fraction",
       AnswerFrame(0x24, 1, {0x00, 0x02, 0x00, 0x50, 0x00, 0x00}),
       {"PM value is       1.25"}},
      {"sr kind 3",
       AnswerFrame(0x24, 1, {0x00, 0x03, 0x00, 0x7B, 0x10, 0x06}),
       {"RX level is 61", "PM value is      24.25"}},
      {"sr other kind", AnswerFrame(0x24, 1, {0x00, 0x04, 0x00, 0x7B, 0x10, 0x06}), {}},
      {"sr other sub-code", AnswerFrame(0x24, 2, {0x00, 0x01, 0x00, 0x7B, 0x00, 0x00}), {}},
      {"spr 11", AnswerFrame(0x51, 11, {0x2C, 0x01}), {"Reading Rx AGC value is 300"}},
      {"spr 21", AnswerFrame(0x51, 21, {0x00, 0x02, 0x00}), {" Battery ADC value is 512"}},
      {"spr other", AnswerFrame(0x51, 31, {0x2C, 0x01, 0x00}), {"Unknown value : 300"}},
      {"se 1", AnswerFrame(0x54, 1, {}), {"Saved to EEPROM"}},
      {"se 5", AnswerFrame(0x54, 5, {}), {"Target Resetted"}},
      {"se other", AnswerFrame(0x54, 6, {}), {}},
      {"ttr",
       AnswerFrame(0x39, 1, ramp),
       {"Up Ramp Templete #1",
        "       0       9      18      27      36      45      54      63\r\n"
        "      72      81      90      99     108     117     126    -121",
        "Down Ramp Templete #1",
        "     -16     -15     -14     -13     -12     -11     -10      -9\r\n"
        "      -8      -7      -6      -5      -4      -3      -2      -1"}},
      {"rxpr 1", AnswerFrame(0x35, 1, {0x21, 0x00}), {"AGC Gain = 33"}},
      {"rxpr 2", AnswerFrame(0x35, 2, {0x03, 0x00}), {"rx timeslot = 3"}},
      {"rxpr 8", AnswerFrame(0x35, 8, {0x01, 0x00}), {"AGC algorithm Enable = 1"}},
      {"rxpr 10", AnswerFrame(0x35, 10, {0x0A, 0x01}), {"rx_frontdelay = 266"}},
      {"rxpr other", AnswerFrame(0x35, 3, {0x0A, 0x01}), {}},
      {"str 10",
       AnswerFrame(0x53, 10, {'Z', 'R', '9', '0', '7', 'X', 'C', '-', 'V', '1', '.'}),
       {"ZR907XC-V"}},
      {"str 10 stops at NUL",
       AnswerFrame(0x53, 10, {'V', '1', 0, '9', '9', '9', '9', '9', '9'}),
       {"V1"}},
      {"str 11", AnswerFrame(0x53, 11, {'A', 'B', 'C', 'D'}), {"ABC"}},
      {"str 20", AnswerFrame(0x53, 20, {'K', 'O', 'R'}), {"KOR"}},
      {"str 55 signed, no separators",
       AnswerFrame(0x53, 55, {0x01, 0xFF, 0x23, 0x80}),
       {"1-135-128"}},
      {"str 55 no data", AnswerFrame(0x53, 55, {}), {""}},
      {"str 60 low nibble first", AnswerFrame(0x53, 60, {0x53, 0x08}), {"3580"}},
      {"str 60 nibbles above nine", AnswerFrame(0x53, 60, {0xAF}), {"1510"}},
      {"str 61", AnswerFrame(0x53, 61, {0x01, 0x02, 0x03}), {"66051"}},
      {"str 61 signed bytes", AnswerFrame(0x53, 61, {0x00, 0x01, 0xFF}), {"255"}},
      {"str 61 negative", AnswerFrame(0x53, 61, {0xFF, 0x00, 0x00}), {"-65536"}},
      {"str other", AnswerFrame(0x53, 12, {0x01}), {}},
      {"unknown opcode", AnswerFrame(0x60, 1, {}), {"command error"}},
      {"scr", AnswerFrame(0x26, 1, {1, 2, 3, 4}), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ManualAnswerLines(c.frame.data(), c.frame.size()), c.lines);
  }
}

TEST(ManualAnswerLines, WritesAndMemoryWordsGiveNoLine) {
  for (uint8_t op : {0x20, 0x22, 0x23, 0x30, 0x32, 0x34, 0x36, 0x38, 0x50, 0x52, 0x40, 0x41, 0x42,
                     0x43, 0x44, 0x45, 0x25, 0x26}) {
    SCOPED_TRACE(op);
    const auto f = AnswerFrame(op, 1, {0x00, 0x00});
    EXPECT_EQ(ManualAnswerLines(f.data(), f.size()), Lines{});
  }
  for (uint8_t op : {0x00, 0x02, 0x27, 0x3A, 0x46, 0x55, 0xFF}) {
    SCOPED_TRACE(op);
    const auto f = AnswerFrame(op, 1, {0x00, 0x00});
    EXPECT_EQ(ManualAnswerLines(f.data(), f.size()), Lines{"command error"});
  }
}

TEST(ManualAnswerLines, AShortAnswerIsReportedNotReadPastItsEnd) {
  struct Case {
    const char* name;
    std::vector<uint8_t> frame;
  };
  const Case cases[] = {
      {"txpr 4 with one data byte", AnswerFrame(0x37, 4, {0x34})},
      {"spr without data", AnswerFrame(0x51, 11, {})},
      {"ttr with 31 values", AnswerFrame(0x39, 1, std::vector<uint8_t>(31, 1))},
      {"rftr with four values", AnswerFrame(0x33, 31, Bytes(1, 8))},
      {"sr kind 3 without its last byte", AnswerFrame(0x24, 1, {0x00, 0x03, 0x00, 0x7B, 0x10})},
      {"sr without kind", AnswerFrame(0x24, 1, {0x00})},
      {"str 10 with eight characters", AnswerFrame(0x53, 10, Bytes('A', 8))},
      {"str 61 with two bytes", AnswerFrame(0x53, 61, {0x01, 0x02})},
      {"se without sub-code", {0x02, 0x14, 0x54, 0x00, 0x02}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Lines lines = ManualAnswerLines(c.frame.data(), c.frame.size());
    EXPECT_EQ(lines, Lines{"Short answer: " + std::to_string(c.frame.size()) + " bytes"});
  }
  // Exactly long enough is not short.
  const auto exact = AnswerFrame(0x53, 61, {0x01, 0x02, 0x03});
  EXPECT_EQ(ManualAnswerLines(exact.data(), exact.size()), Lines{"66051"});
}

TEST(CommandErrorLine, ByOpcode) {
  struct Case {
    uint8_t opcode;
    const char* line;
  };
  const Case cases[] = {
      {0x20, "tm init command error"},
      {0x21, "test mode set command error"},
      {0x23, "RF enable command error"},
      {0x24, "stats_read command error"},
      {0x25, "stats_config_write command error"},
      {0x26, "stats_config_read command error"},
      {0x30, "rf_param_write command error"},
      {0x31, "rf_param_read command error"},
      {0x32, "rf_table_write command error"},
      {0x33, "rf_table_read command error"},
      {0x34, "rx_param_write command error"},
      {0x35, "rx_param_read command error"},
      {0x36, "txpw command error"},
      {0x37, "TXPR command error"},
      {0x38, "tx_templete_write command error"},
      {0x39, "tx_templete_read command error"},
      {0x50, "special_param_write command error"},
      {0x51, "special_param_read command error"},
      {0x54, "special enable command error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opcode);
    ASSERT_NE(CommandErrorLine(c.opcode), nullptr);
    EXPECT_STREQ(CommandErrorLine(c.opcode), c.line);
  }
  for (uint8_t op : {0x01, 0x22, 0x40, 0x52, 0x53, 0x00, 0xFF}) {
    SCOPED_TRACE(op);
    EXPECT_EQ(CommandErrorLine(op), nullptr);
  }
}

}  // namespace

namespace {

// Every opcode and sub-code with every data length up to a full template: the decoders read
// only bytes of the frame (exact-size buffers, so the sanitizer build sees any read past it).
TEST(AnswerDecoders, ReadOnlyTheBytesOfTheFrame) {
  uint32_t seed = 12345;
  auto next = [&seed] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  const uint8_t subs[] = {0, 1, 2, 4, 5, 8, 9, 10, 11, 20, 21, 31, 47, 55, 60, 61, 255};
  for (int op = 0; op < 256; ++op) {
    for (uint8_t sub : subs) {
      for (size_t data = 0; data <= 34; ++data) {
        std::vector<uint8_t> payload(data);
        for (auto& b : payload) b = next();
        if (data > 1) payload[1] = static_cast<uint8_t>(data % 4);  // the kinds of "sr"
        const auto f = AnswerFrame(static_cast<uint8_t>(op), sub, payload);
        const std::vector<uint8_t> exact(f.begin(), f.end());
        const auto lines = ManualAnswerLines(exact.data(), exact.size());
        for (const auto& line : lines) EXPECT_LT(line.size(), 200u);
        EXPECT_FALSE(ResultDisplayLines(exact.data(), exact.size()).empty());
      }
    }
  }
  // Frames cut shorter than a header.
  for (size_t n = 0; n < 5; ++n) {
    const std::vector<uint8_t> cut(n, 0x39);
    EXPECT_EQ(ManualAnswerLines(cut.data(), cut.size()).size(), 1u);
    EXPECT_EQ(ResultDisplayLines(cut.data(), cut.size()).size(), 2u);
  }
}

}  // namespace
