#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CalBench.h"
#include "calibration/ApcSearch.h"
#include "calibration/Sequencers.h"
#include "sim/HandsetUnit.h"

namespace caltest {
namespace {

using Lines = std::vector<std::string>;
using Waits = std::vector<uint32_t>;

const std::vector<int> RX_CHANNELS{1,   20,  40,  62,  80,  100, 124,  512, 585,
                                   660, 700, 790, 835, 885, 975, 1000, 1023};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---- GMAGIC ----------------------------------------------------------------------------

TEST_F(CalBench, GmagicSendsItsCommandsInOrderAndWritesTheCorrectedValues) {
  window->RunGmagic();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_GMAGIC, true));
  const CalState& cal = Cal();
  const std::string gsm = std::to_string(cal.GmagicResultGsm);
  const std::string dcs = std::to_string(cal.GmagicResultDcs);
  const Lines expected{"ti",
                       "tms 1",
                       "rfpw 2 62",
                       "rfe 1",
                       "sr 1 2",
                       "rfe 0",
                       "rfe 1",
                       "sr 1 2",
                       "rfe 0",
                       "rftr 31",
                       "rftw 31 " + gsm + ",40,0,39,40",
                       "rfpw 2 698",
                       "rfe 1",
                       "sr 1 2",
                       "rfe 0",
                       "rfe 1",
                       "sr 1 2",
                       "rfe 0",
                       "rftr 47",
                       "rftw 47 " + dcs + ",40,0,41,42",
                       "se 1"};
  EXPECT_EQ(SentLines(), expected);
  EXPECT_EQ(WaitLengths(), Waits(4, 3000));  // before each received-level read

  // The values follow from what the handset reported: two readings, then its GMAGIC value.
  ASSERT_EQ(readings.size(), 6u);
  EXPECT_EQ(cal.GmagicResultGsm, GmagicCorrection(static_cast<int>(readings[2].second),
                                                  readings[0].second, readings[1].second));
  EXPECT_EQ(cal.GmagicResultDcs, GmagicCorrection(static_cast<int>(readings[5].second),
                                                  readings[3].second, readings[4].second));
  EXPECT_EQ(rig->bench().StoredGmagic(2), cal.GmagicResultGsm);
  EXPECT_EQ(rig->bench().StoredGmagic(3), cal.GmagicResultDcs);
  EXPECT_EQ(view.fields[1356], gsm);
  EXPECT_EQ(view.fields[1357], dcs);
  EXPECT_EQ(view.status, "GMAGIC CAL END");
  EXPECT_NE(ReadText(logPath).find("GSM  " + gsm + "\r\nDCS  " + dcs + "\r\n"), std::string::npos);
}

TEST_F(CalBench, GmagicOutsideItsLimitsIsNotWrittenAndFailsTheStep) {
  rig->bench().ForceDefect(sim::UnitDefect::GMAGIC);
  const bool dcsBad =
      rig->bench().Unit().trueGmagicDcs < 185 || rig->bench().Unit().trueGmagicDcs > 206;
  window->RunGmagic();
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_GMAGIC, false));
  EXPECT_EQ(notifier.results, Lines{"GMAGIC CAL FAIL"});
  EXPECT_EQ(CountPrefix(dcsBad ? "rftw 47" : "rftw 31"), 0u);
  EXPECT_EQ(CountPrefix("rftw 31"), dcsBad ? 1u : 0u);  // GSM was written before DCS began
  EXPECT_EQ(sent.back().line, "rfe 0");                 // the stop
  const int value = dcsBad ? Cal().GmagicResultDcs : Cal().GmagicResultGsm;
  EXPECT_TRUE(value < 185 || value > 206) << value;
  EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
}

TEST_F(CalBench, GmagicLimitsIncludeBothEnds) {
  struct Case {
    double reading;  // both readings; the value before is 195
    int result;
  };
  const Case cases[] = {{60.0, 2}, {60.5, 42}, {49.5, 2}, {49.0, 42}};  // 185, 184, 206, 207
  for (const Case& c : cases) {
    ResetCalState();
    Instruments().InstrumentFault = 0;
    Instruments().BandCode = 2;
    Sequencer().CalStep = 16;
    Cal().GmagicValue = 195;
    Cal().RssiReading1 = c.reading;
    Cal().RssiReading2 = c.reading;
    EXPECT_EQ(GmagicStep(), c.result) << c.reading;
    EXPECT_EQ(Cal().GmagicResultGsm, GmagicCorrection(195, c.reading, c.reading));
    EXPECT_EQ(Cal().LastCommandLine,
              "rftw 31 " + std::to_string(Cal().GmagicResultGsm) + ",40,0,39,40");
  }
}

// ---- RX --------------------------------------------------------------------------------

TEST_F(CalBench, RxVisitsSeventeenChannelsAndBringsTheReportTo50) {
  window->RunRxCal();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_RX, true));
  Lines expected{"se 300", "se 100"};
  Waits expectedWaits{2000, 6000};
  for (size_t i = 0; i < RX_CHANNELS.size(); ++i) {
    if (i == 0 || i == 7 || i == 14) expectedWaits.insert(expectedWaits.end(), {1000, 1000});
    expected.push_back("spw 1 " + std::to_string(RX_CHANNELS[i]));
    expected.push_back("spr 11");
    expected.push_back("spw 11 " + std::to_string(Cal().RxCalTable[i]));
    expectedWaits.insert(expectedWaits.end(), {1000, 1000});
  }
  expected.insert(expected.end(), {"se 101", "se 1"});
  expectedWaits.push_back(1000);
  EXPECT_EQ(SentLines(), expected);
  EXPECT_EQ(WaitLengths(), expectedWaits);
  // No answer is awaited for "se 300" and "se 100": the resume timer moves on after 2000 ms.
  EXPECT_EQ(sent[1].t - sent[0].t, 2000u + 6001u);
  for (const Sent& s : sent) EXPECT_FALSE(s.resend) << s.line;
  for (size_t i = 0; i < RX_CHANNELS.size(); ++i) {
    const double report = rig->bench().RxReportAt(RX_CHANNELS[i], -60.0);
    EXPECT_LE(std::abs(report - 50.0), 1.0) << "channel " << RX_CHANNELS[i];
    EXPECT_EQ(view.cells[std::make_tuple(1355, static_cast<int>(i), 1)],
              std::to_string(Cal().RxCalTable[i]));
  }
}

// The 4400 originates nothing: it waits for the call the handset dials on "se 100".
TEST_F(CalBench, RxOnThe4400RunsOnTheCallTheHandsetDials) {
  Options options;
  options.testSet = TESTSET_4400;
  Start(options);
  window->RunRxCal();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_RX, true))
      << ::testing::PrintToString(notifier.results);
  EXPECT_EQ(CountPrefix("spw 11 "), RX_CHANNELS.size());
  for (size_t i = 0; i < RX_CHANNELS.size(); ++i) {
    const double report = rig->bench().RxReportAt(RX_CHANNELS[i], -60.0);
    EXPECT_LE(std::abs(report - 50.0), 1.0) << "channel " << RX_CHANNELS[i];
  }
}

TEST_F(CalBench, RxCorrectionOutsideTwentyIsNotWrittenAndStopsWithSe101) {
  rig->bench().ForceDefect(sim::UnitDefect::RX);
  window->RunRxCal();
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_RX, false));
  EXPECT_EQ(notifier.results, Lines{"******  RXCAL FAIL  ******"});
  // The failing channel's correction was read but never written; the stop leaves signalling.
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[sent.size() - 2].line, "spr 11");
  EXPECT_EQ(sent.back().line, "se 101");
}

TEST_F(CalBench, RxLimitsIncludeTwentyBothWays) {
  struct Case {
    double level;
    int result;
  };
  const Case cases[] = {{40.0, 2}, {39.5, 2}, {39.0, 42}, {60.0, 2}, {61.0, 42}, {9.91e37, 42}};
  for (const Case& c : cases) {
    ResetCalState();
    Instruments().InstrumentFault = 0;
    Sequencer().CalStep = 33;
    Cal().RxIndex = 3;
    Cal().RxCurrentValue = 0;
    Instruments().RxLevelReading = c.level;
    EXPECT_EQ(RxCalStep(), c.result) << c.level;
    EXPECT_EQ(Instruments().InstrumentFault, c.result == 42 ? 1 : 0);
    EXPECT_EQ(Cal().RxCalTable[3], Cal().RxNewValue);
  }
}

TEST_F(CalBench, CallThatDoesNotComeUpFailsTheRunWithCallFail) {
  window->RunRxCal();
  ASSERT_TRUE(RunUntilSent("se 100"));
  rig->bench().faults.testSetSilent = true;  // the call set-up gets no answer
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_RX, false));
  EXPECT_EQ(notifier.results, Lines{"Call Fail"});
  EXPECT_EQ(sent.back().line, "se 101");
  EXPECT_FALSE(window->CallPending());
}

// ---- Battery ---------------------------------------------------------------------------

class BatteryTest : public CalBench {
 protected:
  void SetUp() override {
    Start({TESTSET_8960, SUPPLY_E3632A, "3632A"});
    setenv("TZ", "UTC", 1);
    tzset();
    window->SetWallClock([] { return static_cast<std::time_t>(1796910330); });
  }
};

TEST_F(BatteryTest, CommandOrderWaitsClockAndReference) {
  view.name = "";
  window->OnBatteryCal();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_BATTERY, true));
  std::vector<int> adc;
  for (const auto& [what, value] : readings) {
    if (what == "battery_adc") adc.push_back(static_cast<int>(value));
  }
  ASSERT_GE(adc.size(), 3u);
  // Accepted at the last reading and at no earlier one.
  int p1 = 1, p2 = 0;
  for (size_t i = 0; i < adc.size(); ++i) {
    EXPECT_EQ(BatteryAccepts(adc[i], p1, p2), i + 1 == adc.size()) << i;
    p2 = p1;
    p1 = adc[i];
  }
  const std::string r = std::to_string(adc.back());
  Lines expected{"se 6", "se 300", "ti", "tms 1", "se 54"};
  Waits expectedWaits{1000, 5000, 3000, 100, 100, 100};
  for (size_t i = 0; i < adc.size(); ++i) {
    expected.push_back("spr 54");
    expectedWaits.push_back(4000);
  }
  expected.insert(expected.end(), {"spw 54 " + r, "se 11", "stw 20 0x4 0x1a 0xc 0xa 0xd 0x2d 0x1e",
                                   "spw 51 25", "spw 52 26", "spw 53 2"});
  expectedWaits.insert(expectedWaits.end(), {1000, 1000, 1000, 300, 300, 300});
  EXPECT_EQ(SentLines(), expected);
  EXPECT_EQ(WaitLengths(), expectedWaits);
  EXPECT_EQ(Cal().BatteryReading, adc.back());
  EXPECT_EQ(view.fields[1359], r);
  EXPECT_EQ(view.fields[1470], "13:45:30, Thursday, December 10, 2026");
  EXPECT_EQ(notifier.results, Lines{"!!!  SUCCESS  !!!"});
  EXPECT_EQ(view.status, "SUB LCD V0 SAVED. Success!!.");
  EXPECT_DOUBLE_EQ(rig->bench().SupplyVolts(), 3.8);
  EXPECT_EQ(ReadText(logPath),
            "\r\n##########  Phone Model :  ZR907XC907  stage : MP  name :   ##########\r\n"
            "***** Battery Calibration *****\r\nBattery value     " +
                r + "\r\n");
}

TEST_F(CalBench, BatteryWithoutSupplyLeavesTheVoltageAlone) {
  // Without a supply the handset stays at the jig's 3.8 V, so no reading reaches the window;
  // the run goes on reading without touching any supply.
  window->OnBatteryCal();
  ASSERT_TRUE(RunUntilSent("spr 54"));
  EXPECT_EQ(SentLines(), (Lines{"se 6", "se 300", "ti", "tms 1", "se 54", "spr 54"}));
  EXPECT_EQ(WaitLengths(), (Waits{5000, 3000, 100, 100, 100, 4000}));
  EXPECT_DOUBLE_EQ(rig->bench().SupplyVolts(), 3.8);
}

TEST_F(BatteryTest, SilenceFailsAtTheFirstTimeOut) {
  rig->bench().faults.silentHandset = true;
  window->OnBatteryCal();
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_BATTERY, false));
  EXPECT_EQ(notifier.results, Lines{"******  BATCAL FAIL  ******"});
  ASSERT_EQ(SentLines(), (Lines{"se 6", "rfe 0"}));
  EXPECT_EQ(sent[1].t - sent[0].t, 4000u);
  EXPECT_FALSE(sent[1].resend);
}

TEST_F(BatteryTest, ReadingsThatNeverSettleKeepTheStepReading) {
  rig->bench().faults.batteryNeverSettles = true;
  window->OnBatteryCal();
  EXPECT_FALSE(RunUntilStepDone(10 * 60 * 1000));
  EXPECT_GT(CountPrefix("spr 54"), 100u);
  EXPECT_EQ(CountPrefix("spw 54"), 0u);
  EXPECT_TRUE(notifier.results.empty());
}

}  // namespace
}  // namespace caltest
