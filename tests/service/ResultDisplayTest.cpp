#include "service/ResultDisplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/AnswerFrames.h"

namespace {

using Lines = std::vector<std::string>;
const std::string RULE(68, '-');

TEST(ResultDisplayLines, EveryRowAfterTheRule) {
  std::vector<uint8_t> ramp;
  for (int i = 0; i < 16; ++i) ramp.push_back(static_cast<uint8_t>(i));
  for (int i = 0; i < 16; ++i) ramp.push_back(static_cast<uint8_t>(i == 15 ? 0x80 : 31 - i));
  struct Case {
    const char* name;
    std::vector<uint8_t> frame;
    Lines after;
  };
  const Case cases[] = {
      {"ti", AnswerFrame(0x20, 0, {}), {"ti command success"}},
      {"tms", AnswerFrame(0x21, 1, {}), {"tms command success"}},
      {"rfe", AnswerFrame(0x23, 1, {0}), {"rfe command success"}},
      {"rfpw", AnswerFrame(0x30, 9, {}), {"rfpw command success"}},
      {"rfpr", AnswerFrame(0x31, 2, {0xBC, 0x02}), {"index = 2 , value = 700"}},
      {"txpr", AnswerFrame(0x37, 4, {0xFF, 0xFF}), {"index = 4 , value = 65535"}},
      {"spr signed index", AnswerFrame(0x51, 0xF6, {0x2C, 0x01}), {"index = -10 , value = 300"}},
      {"txpw", AnswerFrame(0x36, 1, {}), {"index = 1 "}},
      {"spw", AnswerFrame(0x50, 31, {}), {"index = 31 "}},
      {"se", AnswerFrame(0x54, 0x80, {}), {"index = -128 "}},
      {"ttr",
       AnswerFrame(0x39, 12, ramp),
       {"Up Ramp Templete #12",
        "    0    1    2    3    4    5    6    7    8    9   10   11   12   13   14   15",
        "Down Ramp Templete #12",
        "   31   30   29   28   27   26   25   24   23   22   21   20   19   18   17 -128"}},
      {"other opcode", AnswerFrame(0x53, 10, {'A'}), {}},
      {"bad status", AnswerFrame(0x31, 2, {0xBC, 0x02}, 1), {"command error"}},
      {"short rfpr", AnswerFrame(0x31, 2, {0xBC}), {"Short answer: 8 bytes"}},
      {"short ttr", AnswerFrame(0x39, 1, std::vector<uint8_t>(20, 1)), {"Short answer: 27 bytes"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lines expected = {RULE};
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(ResultDisplayLines(c.frame.data(), c.frame.size()), expected);
  }
}

}  // namespace
