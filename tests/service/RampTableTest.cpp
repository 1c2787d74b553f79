#include "service/RampTable.h"

#include <gtest/gtest.h>

#include <string>

#include "service/AnswerFrames.h"

namespace {

TEST(RampTable, TemplateLineReachesItsLongestForm) {
  RampTemplate t;
  for (int i = 0; i < 16; ++i) t.up[i] = i, t.down[i] = 15 - i;
  EXPECT_EQ(TemplateWriteLine("12", t),
            "ttw 12 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0");
  for (int i = 0; i < 16; ++i) t.up[i] = 31, t.down[i] = 10 + i;
  const std::string longest = TemplateWriteLine("30", t);
  EXPECT_EQ(longest.size(), TEMPLATE_LINE_MAX);
  EXPECT_EQ(longest.rfind("ttw 30 31,31,", 0), 0u);
  EXPECT_EQ(longest.substr(longest.size() - 6), ",24,25");
  EXPECT_EQ(std::count(longest.begin(), longest.end(), ','), 31);
  EXPECT_EQ(TemplateWriteLine("0", RampTemplate{}),
            "ttw 0 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
}

TEST(RampTable, TotalsAndChartPoints) {
  RampTemplate full;
  full.up.fill(31);
  full.down.fill(31);
  EXPECT_EQ(RampTotal(full.up), 496);
  EXPECT_EQ(RampTotal(full.down), 496);
  const auto points = RampChartPoints(full);
  for (int i = 0; i < 15; ++i) EXPECT_DOUBLE_EQ(points[i], i + 1.0) << i;
  EXPECT_DOUBLE_EQ(points[14], 15.0);
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(points[15 + i], 14.0 - i, 1e-9) << i;
  EXPECT_EQ(points[30], 0.0);
  EXPECT_EQ(points[31], 0.0);

  // Steps that are no whole part of 31 still come back to exactly 0.
  RampTemplate odd;
  for (int i = 0; i < 16; ++i) odd.up[i] = odd.down[i] = (i * 7) % 29;
  const auto back = RampChartPoints(odd);
  EXPECT_EQ(back[31], 0.0);
  EXPECT_GE(*std::min_element(back.begin(), back.end()), 0.0);

  // Up value 15 and down value 15 count in the totals only.
  RampTemplate last;
  last.up[15] = 31;
  last.down[15] = 7;
  last.up[0] = 62;
  last.down[14] = 31;
  EXPECT_EQ(RampTotal(last.up), 93);
  EXPECT_EQ(RampTotal(last.down), 38);
  const auto p = RampChartPoints(last);
  EXPECT_DOUBLE_EQ(p[0], 2.0);
  EXPECT_DOUBLE_EQ(p[14], 2.0);
  EXPECT_DOUBLE_EQ(p[28], 2.0);
  EXPECT_DOUBLE_EQ(p[29], 1.0);
  EXPECT_DOUBLE_EQ(p[30], 1.0);
  EXPECT_DOUBLE_EQ(p[31], 1.0);

  RampTemplate negative;
  negative.up.fill(-1);
  EXPECT_EQ(RampTotal(negative.up), -16);
}

TEST(RampTable, LevelToIndex) {
  struct Case {
    const char* level;
    int index;
  };
  const Case cases[] = {{"5", 0},    {"12", 7},  {"19", 14}, {"100", 15}, {"103", 18},
                        {"115", 30}, {"4", -1},  {"20", -1}, {"99", -1},  {"116", -1},
                        {"", -1},    {"1x", -1}, {" 5", -1}, {"-5", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(RampIndexForLevel(c.level), c.index);
  }
  const auto levels = RampLevelTexts();
  ASSERT_EQ(levels.size(), 31u);
  EXPECT_EQ(levels.front(), "5");
  EXPECT_EQ(levels[14], "19");
  EXPECT_EQ(levels[15], "100");
  EXPECT_EQ(levels.back(), "115");
  // Every level names its own index, in combo order.
  for (size_t i = 0; i < levels.size(); ++i) EXPECT_EQ(RampIndexForLevel(levels[i]), int(i));
  EXPECT_EQ(RampIndexTexts().size(), 31u);
  EXPECT_EQ(RampIndexTexts().back(), "30");
}

TEST(RampTable, BandsAndTheirDacCommands) {
  ASSERT_EQ(RAMP_BANDS.size(), 7u);
  EXPECT_STREQ(RAMP_BANDS[0].text, "1~55");
  EXPECT_STREQ(RAMP_BANDS[0].dacWrite, "txpw 4 ");
  EXPECT_STREQ(RAMP_BANDS[3].dacRead, "txpr 4");
  EXPECT_STREQ(RAMP_BANDS[4].text, "632~751");
  EXPECT_STREQ(RAMP_BANDS[4].dacRead, "spr 31");
  EXPECT_STREQ(RAMP_BANDS[6].text, "975~1023");
  EXPECT_STREQ(RAMP_BANDS[6].dacWrite, "spw 23 ");
  EXPECT_STREQ(RAMP_BANDS[6].dacRead, "spr 23");
}

TEST(RampTable, TemplateFromAnswerTakesSignedBytes) {
  std::vector<uint8_t> data(32);
  for (int i = 0; i < 32; ++i) data[i] = static_cast<uint8_t>(i == 3 ? 0x80 : i);
  const auto frame = AnswerFrame(0x39, 4, data);
  RampTemplate t;
  ASSERT_TRUE(TemplateFromAnswer(frame.data(), frame.size(), t));
  EXPECT_EQ(t.up[3], -128);
  EXPECT_EQ(t.up[15], 15);
  EXPECT_EQ(t.down[0], 16);
  EXPECT_EQ(t.down[15], 31);
  const auto shortFrame = AnswerFrame(0x39, 4, std::vector<uint8_t>(31, 1));
  RampTemplate untouched;
  EXPECT_FALSE(TemplateFromAnswer(shortFrame.data(), shortFrame.size(), untouched));
  EXPECT_EQ(untouched, RampTemplate{});
}

TEST(RampTable, ParsesTheCommandLineTemplate) {
  RampTemplate t;
  std::string error;
  ASSERT_TRUE(ParseTemplateText(
      "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0", t, error))
      << error;
  EXPECT_EQ(t.up[15], 15);
  EXPECT_EQ(t.down[0], 15);
  struct Case {
    const char* text;
    const char* error;
  };
  const Case bad[] = {
      {"", "give the up and the down values"},
      {"1,2,3", "give the up and the down values"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15",
       "up needs exactly 16 values"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15",
       "up needs exactly 16 values"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,x",
       "down value 15 is not a number"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,32",
       "down value 15 is not a number"},
      {"0,-1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15",
       "up value 1 is not a number"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/1",
       "give the up and the down values"},
      {"0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15/0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,",
       "down needs exactly 16 values"},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.text);
    RampTemplate out;
    error.clear();
    EXPECT_FALSE(ParseTemplateText(c.text, out, error));
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

}  // namespace
