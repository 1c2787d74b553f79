#include <gtest/gtest.h>

#include <cmath>

#include "calibration/ApcSearch.h"
#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"

namespace {

class ApcSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCalState();
    ResetInstrumentState();
  }
  // Puts the search at a level with a bracket and a reading, then runs one update.
  void Update(int level, double target, double tolerance, int dac, int low, int high,
              double reading) {
    Instruments().MsPowerLevel = level;
    Cal().TargetPower = target;
    Cal().PowerTolerance = tolerance;
    Cal().ApcDac = dac;
    Cal().DacLow = low;
    Cal().DacHigh = high;
    Instruments().TxPowerReading = reading;
    UpdateApcSearch();
  }
};

TEST_F(ApcSearchTest, ToleranceBoundariesCountAsOutside) {
  struct Case {
    int level;
    double target, tolerance, reading;
    int state;
  };
  const Case cases[] = {
      {16, 11.0, 0.5, 10.5, SEARCH_GO_HIGHER},  // d == tolerance: too weak
      {16, 11.0, 0.5, 11.5, SEARCH_GO_LOWER},   // d == -tolerance: too strong
      {16, 11.0, 0.5, 10.51, SEARCH_SETTLED},  {16, 11.0, 0.5, 11.49, SEARCH_SETTLED},
      {5, 31.7, 0.1, 31.6, SEARCH_GO_HIGHER},  // decimal boundary despite binary doubles
      {5, 31.7, 0.1, 31.8, SEARCH_GO_LOWER},   {5, 31.7, 0.1, 31.61, SEARCH_SETTLED},
      {114, 2.3, 0.5, 1.8, SEARCH_GO_HIGHER},  {114, 2.3, 0.5, 2.8, SEARCH_GO_LOWER},
  };
  for (const Case& c : cases) {
    SetUp();
    Update(c.level, c.target, c.tolerance, 500, 450, 550, c.reading);
    EXPECT_EQ(Cal().SearchState, c.state) << "level " << c.level << " reading " << c.reading;
    EXPECT_EQ(Cal().SearchCount, c.state == SEARCH_SETTLED ? 0 : 1);
  }
}

TEST_F(ApcSearchTest, NoReadingFailsTheStepInsteadOfSteering) {
  for (double reading : {9.91e37, -9.91e37, std::nan(""), HUGE_VAL}) {
    SetUp();
    Update(7, 29.0, 0.3, 580, 530, 630, reading);
    EXPECT_EQ(Cal().SearchState, SEARCH_SETTLED) << reading;
    EXPECT_EQ(Cal().ApcDac, 580) << reading;  // the DAC value is left where it was
    EXPECT_EQ(Instruments().InstrumentFault, 1) << reading;
  }
  SetUp();
  Update(7, 29.0, 0.3, 580, 530, 630, 28.0);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
}

TEST_F(ApcSearchTest, BisectsTowardTheTargetAndHalvesTowardZero) {
  Update(7, 29.0, 0.3, 580, 530, 630, 28.0);  // too weak: raise
  EXPECT_EQ(Cal().DacLow, 580);
  EXPECT_EQ(Cal().ApcDac, 605);
  Update(7, 29.0, 0.3, 605, 580, 630, 30.0);  // too strong: lower
  EXPECT_EQ(Cal().DacHigh, 605);
  EXPECT_EQ(Cal().ApcDac, 592);  // 1197 / 2
  // A negative sum rounds toward zero (-15 / 2 = -7, not -8).
  Update(7, 29.0, 0.3, -5, -10, 2, 30.0);
  EXPECT_EQ(Cal().DacHigh, -5);
  EXPECT_EQ(Cal().ApcDac, -7);
}

TEST_F(ApcSearchTest, ClosedBracketWidensOnTheSideBeingSearched) {
  struct Case {
    int level;
    int dac;      // the value under test; bracket [dac - 1, dac]
    bool higher;  // reading too weak
    int expectLow, expectHigh;
  };
  // After the halving the value is (dac + (dac - 1)) / 2 = dac - 1 for too strong
  // (bracket [dac - 1, dac]) or dac for too weak.
  const Case cases[] = {
      {5, 400, false, 399 - 100, 400},   // GSM lower: 500 / 5
      {19, 400, false, 399 - 26, 400},   // 500 / 19 = 26
      {5, 150, false, 100, 150},         // floor at 100
      {100, 400, false, 399 - 50, 400},  // DCS lower: 500 / (100 - 90)
      {115, 400, false, 399 - 20, 400},  // 500 / 25
      {10, 400, true, 400, 400 + 5},     // GSM upward: only 5
      {10, 798, true, 798, 800},         // GSM ceiling 800
      {100, 700, true, 700, 750},        // DCS upward: 500 / 10
      {100, 760, true, 760, 900},        // DCS past 800 jumps to 900
      {115, 790, true, 790, 900},        // 790 + 20 = 810: also 900
  };
  for (const Case& c : cases) {
    SetUp();
    const double target = 20.0;
    const int low = c.higher ? c.dac : c.dac - 1;
    const int high = c.higher ? c.dac + 1 : c.dac;
    // Too weak at the value `low` moves DacLow to it; too strong at `high` moves DacHigh.
    Update(c.level, target, 0.3, c.higher ? low : high, low, high, c.higher ? 10.0 : 30.0);
    EXPECT_EQ(Cal().DacLow, c.expectLow) << "level " << c.level << " dac " << c.dac;
    EXPECT_EQ(Cal().DacHigh, c.expectHigh) << "level " << c.level << " dac " << c.dac;
  }
}

TEST_F(ApcSearchTest, SeventyFirstCorrectionRaisesTheFault) {
  Cal().SearchCount = 69;
  Update(8, 27.0, 0.3, 500, 400, 600, 20.0);
  EXPECT_EQ(Cal().SearchCount, 70);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(Cal().SearchState, SEARCH_GO_HIGHER);
  Update(8, 27.0, 0.3, Cal().ApcDac, Cal().DacLow, Cal().DacHigh, 20.0);
  EXPECT_EQ(Cal().SearchCount, 0);
  EXPECT_EQ(Cal().SearchState, SEARCH_SETTLED);
  EXPECT_EQ(Instruments().InstrumentFault, 1);
}

TEST_F(ApcSearchTest, LevelsOutsideTheTablesSettleAtOnce) {
  Cal().SearchCount = 5;
  Update(3, 33.0, 0.3, 500, 450, 550, 10.0);
  EXPECT_EQ(Cal().SearchState, SEARCH_SETTLED);
  EXPECT_EQ(Cal().SearchCount, 0);
  EXPECT_EQ(Cal().ApcDac, 500);
  EXPECT_EQ(Cal().DacLow, 450);
}

TEST_F(ApcSearchTest, FirstLevelCorrectionsAskForTheTopLevelFill) {
  Update(5, 31.7, 0.1, 580, 530, 630, 31.7);
  EXPECT_EQ(Cal().FillGsmTopLevels, 0);
  Update(5, 31.7, 0.1, 580, 530, 630, 30.0);
  EXPECT_EQ(Cal().FillGsmTopLevels, 1);
  Update(6, 31.0, 0.3, 580, 530, 630, 30.0);
  EXPECT_EQ(Cal().FillDcsTopLevels, 0);
  Update(100, 29.0, 0.1, 590, 540, 640, 31.0);
  EXPECT_EQ(Cal().FillDcsTopLevels, 1);
}

TEST_F(ApcSearchTest, SetLevelParametersLoadsTheRowAndTheSubBand) {
  RfConfig& rf = RfConfiguration();
  rf.GsmBchChannel = 80;
  rf.GsmTchChannel = {0, 1, 62, 124};
  rf.GsmPathLoss = {0, -1.1, -1.2, -1.3};
  rf.DcsBchChannel = 512;
  rf.DcsTchChannel = {0, 512, 698, 885};
  rf.DcsPathLoss = {0, -1.6, -1.7, -1.8};

  Sequencer().GsmSubBand = 3;
  Instruments().MsPowerLevel = 5;
  SetLevelParameters();
  EXPECT_EQ(Cal().ApcDac, 580);
  EXPECT_EQ(Cal().DacLow, 530);
  EXPECT_EQ(Cal().DacHigh, 630);
  EXPECT_DOUBLE_EQ(Cal().TargetPower, 31.7);
  EXPECT_DOUBLE_EQ(Cal().PowerTolerance, 0.1);
  EXPECT_EQ(Instruments().TchChannel, 124);
  EXPECT_DOUBLE_EQ(Instruments().PathLoss, -1.3);
  EXPECT_EQ(Instruments().BchChannel, 80);
  EXPECT_EQ(Instruments().BandCode, BAND_GSM900);
  EXPECT_EQ(Cal().LastLevel, 19);

  // A later level starts from the settled value of the level before minus its step, keeps
  // the tolerance where the table sets none, and leaves the channel alone.
  Cal().GsmApcTable[3][17] = 400;
  Cal().PowerTolerance = 0.5;
  Instruments().TchChannel = 7;
  Instruments().MsPowerLevel = 18;
  SetLevelParameters();
  EXPECT_EQ(Cal().ApcDac, 385);
  EXPECT_EQ(Cal().DacLow, 355);
  EXPECT_EQ(Cal().DacHigh, 415);
  EXPECT_DOUBLE_EQ(Cal().PowerTolerance, 0.5);
  EXPECT_DOUBLE_EQ(Cal().TargetPower, 7.0);
  EXPECT_EQ(Instruments().TchChannel, 7);

  Sequencer().GsmSubBand = 0;
  Sequencer().DcsSubBand = 2;
  Instruments().MsPowerLevel = 100;
  SetLevelParameters();
  EXPECT_EQ(Cal().ApcDac, 590);
  EXPECT_EQ(Instruments().TchChannel, 698);
  EXPECT_DOUBLE_EQ(Instruments().PathLoss, -1.7);
  EXPECT_EQ(Instruments().BchChannel, 512);
  EXPECT_EQ(Instruments().BandCode, BAND_DCS1800);
  EXPECT_EQ(Cal().LastLevel, 115);

  Cal().DcsApcTable[2][14] = 350;
  Instruments().MsPowerLevel = 115;
  SetLevelParameters();
  EXPECT_EQ(Cal().ApcDac, 342);
  EXPECT_EQ(Cal().DacLow, 327);
  EXPECT_EQ(Cal().DacHigh, 357);

  // Levels of the top-level fill have no row: nothing moves.
  Instruments().MsPowerLevel = 130;
  SetLevelParameters();
  EXPECT_EQ(Cal().ApcDac, 342);
}

TEST(ApcTables, CommandPrefixesBySubBand) {
  EXPECT_STREQ(ApcCommandPrefix(false, 1), "txpw 4 ");
  EXPECT_STREQ(ApcCommandPrefix(false, 2), "spw 21 ");
  EXPECT_STREQ(ApcCommandPrefix(false, 3), "spw 22 ");
  EXPECT_STREQ(ApcCommandPrefix(true, 1), "txpw 4 ");
  EXPECT_STREQ(ApcCommandPrefix(true, 2), "spw 31 ");
  EXPECT_STREQ(ApcCommandPrefix(true, 3), "spw 32 ");
  EXPECT_EQ(GsmLevelTable().size(), 15u);
  EXPECT_EQ(DcsLevelTable().size(), 16u);
}

}  // namespace
