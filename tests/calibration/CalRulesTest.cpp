#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "instruments/InstrumentState.h"

namespace {

class CalRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCalState();
    ResetInstrumentState();
  }
};

TEST_F(CalRulesTest, RxCorrectionTruncatesTowardZeroIn16Bits) {
  struct Case {
    int16_t current;
    double level;
    int16_t expected;
  };
  const Case cases[] = {
      {0, 50.0, 0},  {0, 49.7, 0},   {0, 50.6, 0},          {0, 47.2, 4},          {-3, 55.0, -13},
      {6, 40.0, 26}, {0, 60.9, -20}, {32767, 49.0, -32767}, {-32768, 51.0, 32766},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RxCorrection(c.current, c.level), c.expected) << c.current << " at level " << c.level;
  }
}

TEST_F(CalRulesTest, RxReadingsThatAreNoLevelAreRefused) {
  EXPECT_TRUE(RxLevelUsable(50.0));
  EXPECT_TRUE(RxLevelUsable(0.0));
  EXPECT_FALSE(RxLevelUsable(9.91e37));  // the test set's "no report"
  EXPECT_FALSE(RxLevelUsable(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(RxCorrection(7, 9.91e37), 7);
}

TEST_F(CalRulesTest, RxChannelTableSetsUpEachGroupAtItsFirstRow) {
  RfConfig& rf = RfConfiguration();
  rf.GsmBchChannel = 80;
  rf.GsmPathLoss = {0, -1.1, -1.2, -1.3};
  rf.DcsPathLoss = {0, -1.6, -1.7, -1.8};
  struct Row {
    int index, channel, band, groupEnd, level;
    double loss;
  };
  const Row rows[] = {{0, 1, 2, 6, 10, -1.2}, {7, 512, 3, 13, 5, -1.7}, {14, 975, 2, 16, 10, -1.2}};
  for (const Row& r : rows) {
    Instruments().BchChannel = 0;
    Cal().RxIndex = r.index;
    SetRxChannel();
    EXPECT_EQ(Instruments().TchChannel, r.channel);
    EXPECT_EQ(Instruments().BandCode, r.band);
    EXPECT_EQ(Cal().RxGroupEnd, r.groupEnd);
    EXPECT_EQ(Instruments().MsPowerLevel, r.level);
    EXPECT_DOUBLE_EQ(Instruments().PathLoss, r.loss);
    EXPECT_EQ(Instruments().BchChannel, r.index == 0 ? 80 : 0) << "BCH only at index 0";
  }
  // Other rows change the channel only.
  Instruments().MsPowerLevel = 77;
  Cal().RxIndex = 12;
  SetRxChannel();
  EXPECT_EQ(Instruments().TchChannel, 835);
  EXPECT_EQ(Instruments().MsPowerLevel, 77);
  const std::vector<int> expected{1,   20,  40,  62,  80,  100, 124,  512, 585,
                                  660, 700, 790, 835, 885, 975, 1000, 1023};
  for (int i = 0; i < 17; ++i) EXPECT_EQ(RxChannelOfIndex(i), expected[static_cast<size_t>(i)]);
  EXPECT_EQ(RxChannelOfIndex(17), 0);
  EXPECT_EQ(RxChannelOfIndex(-1), 0);
  Cal().RxIndex = 17;  // out of the table: no change, no out-of-bounds read
  SetRxChannel();
  EXPECT_EQ(Instruments().TchChannel, 835);
}

TEST_F(CalRulesTest, GmagicCorrectionMovesByTwiceTheErrorTowardZero) {
  EXPECT_EQ(GmagicCorrection(195, 55.0, 55.0), 195);
  EXPECT_EQ(GmagicCorrection(195, 54.4, 54.4), 196);  // trunc(1.2)
  EXPECT_EQ(GmagicCorrection(195, 54.0, 55.0), 196);  // mean 54.5
  EXPECT_EQ(GmagicCorrection(195, 56.3, 56.3), 192);  // 195 - 2.6
  EXPECT_EQ(GmagicCorrection(0, 56.3, 56.3), -2);     // -2.6 toward zero, not -3
}

TEST_F(CalRulesTest, RssiReadingsFillTwoSlotsThenMarkDone) {
  StoreRssiReading(54.25);
  EXPECT_DOUBLE_EQ(Cal().RssiReading1, 54.25);
  EXPECT_EQ(Instruments().CwOffsetSelect, 1);
  EXPECT_EQ(Cal().ReadingsDone, 0);
  StoreRssiReading(55.5);
  EXPECT_DOUBLE_EQ(Cal().RssiReading2, 55.5);
  EXPECT_EQ(Instruments().CwOffsetSelect, 0);
  EXPECT_EQ(Cal().ReadingsDone, 1);
}

// Feeds readings through the acceptance rule with the step's start values; returns the
// 1-based number of the accepted reading, 0 when none is.
int AcceptedAt(const std::vector<int>& readings) {
  int prev1 = 1, prev2 = 0;
  for (size_t i = 0; i < readings.size(); ++i) {
    if (BatteryAccepts(readings[i], prev1, prev2)) return static_cast<int>(i) + 1;
    prev2 = prev1;
    prev1 = readings[i];
  }
  return 0;
}

TEST_F(CalRulesTest, BatteryNeedsThreeReadingsThatDoNotRiseInsideTheWindow) {
  EXPECT_EQ(AcceptedAt({620, 620, 620}), 3);
  EXPECT_EQ(AcceptedAt({620, 621, 620}), 0);
  EXPECT_EQ(AcceptedAt({620, 621, 620, 620}), 4);
  EXPECT_EQ(AcceptedAt({625, 622, 619}), 3);
  EXPECT_EQ(AcceptedAt({613, 613, 613}), 3);
  EXPECT_EQ(AcceptedAt({628, 628, 628}), 3);
  EXPECT_EQ(AcceptedAt(std::vector<int>(20, 612)), 0);
  EXPECT_EQ(AcceptedAt(std::vector<int>(20, 629)), 0);
  EXPECT_EQ(AcceptedAt({630, 629, 628}), 3);  // only the last must lie in the window
}

}  // namespace
