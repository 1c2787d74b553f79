#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "instruments/InstrumentState.h"

namespace {

TEST(RfConfig, AllZeroUntilConfirmed) {
  ResetInstrumentState();
  const RfConfig& c = RfConfiguration();
  EXPECT_EQ(c.GsmBchChannel, 0);
  EXPECT_EQ(c.DcsTchChannel[3], 0);
  EXPECT_EQ(c.GsmPathLoss[2], 0.0);
  EXPECT_EQ(Instruments().TestSetType, TESTSET_NONE);
  EXPECT_EQ(Instruments().SupplyType, SUPPLY_NONE);
}

TEST(RfConfig, UntouchedDialogValues) {
  ResetInstrumentState();
  ApplyRfConfig(DefaultRfConfigValues());
  const RfConfig& c = RfConfiguration();
  EXPECT_EQ(c.GsmBchChannel, 80);
  EXPECT_EQ(c.GsmTchChannel, (std::array<int32_t, 4>{0, 1, 62, 124}));
  EXPECT_EQ(c.DcsBchChannel, 512);
  EXPECT_EQ(c.DcsTchChannel, (std::array<int32_t, 4>{0, 512, 698, 885}));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_DOUBLE_EQ(c.GsmPathLoss[k], -1.2);
    EXPECT_DOUBLE_EQ(c.DcsPathLoss[k], -1.7);
  }
  EXPECT_EQ(Instruments().TestSetType, TESTSET_8960);
  EXPECT_EQ(Instruments().SupplyType, SUPPLY_E3631A);
  ResetInstrumentState();
}

TEST(RfConfig, ArrayOrderPutsMiddleLossFirst) {
  ResetInstrumentState();
  ApplyRfConfig({10, 20, 27, 101, -0.6, -0.7, -0.8, 600, 570, 632, 752, -1.1, -1.3, -1.4, 2, 6});
  const RfConfig& c = RfConfiguration();
  EXPECT_EQ(c.GsmPathLoss, (std::array<double, 4>{0, -0.7, -0.6, -0.8}));
  EXPECT_EQ(c.DcsPathLoss, (std::array<double, 4>{0, -1.3, -1.1, -1.4}));
  EXPECT_EQ(c.DcsTchChannel, (std::array<int32_t, 4>{0, 570, 632, 752}));
  EXPECT_EQ(Instruments().TestSetType, TESTSET_4400);
  EXPECT_EQ(Instruments().SupplyType, SUPPLY_E3632A);
  ResetInstrumentState();
}

TEST(RfConfig, ChannelsTruncateAndNonsenseBecomesZero) {
  ResetInstrumentState();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ApplyRfConfig({80.9, -3.7, 1e300, nan, 0, 0, 0, 512, 0, 0, 0, 0, 0, 0, 4.99, -1e12});
  const RfConfig& c = RfConfiguration();
  EXPECT_EQ(c.GsmBchChannel, 80);
  EXPECT_EQ(c.GsmTchChannel[1], -3);
  EXPECT_EQ(c.GsmTchChannel[2], 0);
  EXPECT_EQ(c.GsmTchChannel[3], 0);
  EXPECT_EQ(Instruments().TestSetType, 4);
  EXPECT_EQ(Instruments().SupplyType, 0);
  ResetInstrumentState();
}

}  // namespace
