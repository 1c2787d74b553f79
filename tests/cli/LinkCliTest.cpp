#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/RunCli.h"
#include "link/Bcommand.h"
#include "sim/LinkHarness.h"

namespace {

using Lines = std::vector<std::string>;

Lines EncodeLines(const Lines& lines) {
  ResetEncoderState();
  LinkHarness link;
  Lines out;
  for (const auto& line : lines) out.push_back(FormatEncodeReport(link.Encode(line)));
  return out;
}

Lines FrameLines(const std::string& hex, uint8_t lastOpcode) {
  ResetEncoderState();
  std::vector<uint8_t> stream;
  std::string error;
  EXPECT_TRUE(ParseHexBytes({hex}, stream, error)) << error;
  LinkHarness link;
  Lines out;
  for (const auto& frame : link.Receive(stream, lastOpcode))
    out.push_back(FormatFrameReport(frame));
  return out;
}

TEST(LinkCli, EncodeShowsEveryDocumentedExampleByteForByte) {
  const Lines lines = {"txpw 1 7",   "ti",         "tms 1",      "se 6",    "rfe 0",
                       "vg 0xe0",    "txpw 1 512", "spw 23 120", "spr 100", "stw 60 0x12 0x34",
                       "rfpw 9 1.5", "11"};
  const Lines expected = {
      "ENC_OK payload=36 01 00 07 00 30 wire=02 14 36 01 00 07 00 30 02",
      "ENC_OK payload=20 20 wire=02 14 20 20 02",
      "ENC_OK payload=21 01 20 wire=02 14 21 01 20 02",
      "ENC_OK payload=54 06 00 52 wire=02 14 54 06 00 52 02",
      "ENC_OK payload=23 00 00 23 wire=02 14 23 00 00 23 02",
      "ENC_OK payload=22 E0 00 C2 wire=02 14 22 E0 00 C2 02",
      "ENC_OK payload=36 01 00 00 02 35 wire=02 14 36 01 00 00 10 02 35 02",
      "ENC_OK payload=50 17 00 78 00 3F wire=02 14 50 17 00 78 00 3F 02",
      "ENC_OK payload=51 64 00 35 wire=02 14 51 64 00 35 02",
      "ENC_OK payload=52 3C 12 34 48 wire=02 14 52 3C 12 34 48 02",
      "ENC_OK payload=30 09 00 0C 00 35 wire=02 14 30 09 00 0C 00 35 02",
      "ENC_OK payload=01 01 01 01 01 01 01 01 01 01 00 wire=02 14 01 01 01 01 01 01 01 01 01 01 00 "
      "02",
  };
  EXPECT_EQ(EncodeLines(lines), expected);
}

TEST(LinkCli, EncodeShowsTheFramingEdgeCases) {
  const Lines lines = {"se 2", "se 16", "tms 35", "tms 49", "mw", "TI", "// note", "", "se"};
  const Lines expected = {
      "ENC_OK payload=54 02 00 56 wire=02 14 54 10 02 00 56 02",  // payload byte 0x02
      "ENC_OK payload=54 10 00 44 wire=02 14 54 10 10 00 44 02",  // payload byte 0x10
      "ENC_OK payload=21 23 02 wire=02 14 21 23 10 02 02",        // check byte 0x02
      "ENC_OK payload=21 31 10 wire=02 14 21 31 10 10 02",        // check byte 0x10
      "ENC_OK payload= wire=02 14 02",                            // empty payload
      "ENC_UNKNOWN wire=02 02",                                   // nothing pending
      "ENC_COMMENT wire=02 02",
      "ENC_UNKNOWN wire=02 02",
      "ENC_OK payload=54 00 00 54 wire=02 14 54 00 00 54 02",
  };
  EXPECT_EQ(EncodeLines(lines), expected);
}

TEST(LinkCli, FramesShowTheReceiveExamples) {
  EXPECT_EQ(FrameLines("02 14 21 00 10 02 05 02", 0x21),
            Lines{"frame=02 14 21 00 10 02 05 02 unescaped=02 14 21 00 02 05 02 removed=1 "
                  "class=ANSWER_OK"});
  EXPECT_EQ(FrameLines("02 14 21 00 10 10 02 02 14 54 01 06 53 02", 0x54),
            (Lines{"frame=02 14 21 00 10 10 02 unescaped=02 14 21 00 10 02 removed=1 "
                   "class=ANSWER_OTHER",
                   "frame=02 14 54 01 06 53 02 unescaped=02 14 54 01 06 53 02 removed=0 "
                   "class=ANSWER_STATUS_ERROR"}));
  EXPECT_EQ(FrameLines("AA 02 02 14 54 00 06 52 02", 0x54),
            Lines{"frame=02 02 unescaped=02 02 removed=0 class=ANSWER_NONE"});
  EXPECT_TRUE(FrameLines("02 14 54 00", 0x54).empty());
}

TEST(LinkCli, HexArgumentsSeparateJoinedOrMixed) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ParseHexBytes({"02", "14 5a", "0010Ff"}, bytes, error));
  EXPECT_EQ(HexText(bytes), "02 14 5A 00 10 FF");
  EXPECT_FALSE(ParseHexBytes({"021"}, bytes, error));
  EXPECT_EQ(error, "odd number of hex digits: '021'");
  EXPECT_FALSE(ParseHexBytes({"02", "0g"}, bytes, error));
  EXPECT_EQ(error, "not a hex byte: '0g'");
}

clitest::CliRun RunCli(const std::string& args) {
  return clitest::RunCli(args, clitest::Stderr::Fold);
}

TEST(LinkCli, ProgramSendsLinesInOrderAndRejectsBadArguments) {
  clitest::CliRun r = RunCli("encode 'txpw 1 7' 'TI' '// x' 'mw'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "ENC_OK payload=36 01 00 07 00 30 wire=02 14 36 01 00 07 00 30 02\n"
            "ENC_UNKNOWN wire=02 02\nENC_COMMENT wire=02 02\nENC_OK payload= wire=02 14 02\n");

  r = RunCli("frames --last-opcode 0x21 02 14 21 00 1002 0502");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "frame=02 14 21 00 10 02 05 02 unescaped=02 14 21 00 02 05 02 removed=1 "
            "class=ANSWER_OK\n");
  r = RunCli("frames 0214210010020502");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("class=ANSWER_OTHER"), std::string::npos);

  for (const char* bad : {"frames 021", "frames 02 zz", "frames --last-opcode 0x100 02 02",
                          "frames --last-opcode", "frames", "encode"}) {
    SCOPED_TRACE(bad);
    r = RunCli(bad);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_EQ(r.out.rfind("tesmira-cli ", 0), 0u);
  }
}

}  // namespace
