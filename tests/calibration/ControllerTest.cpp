#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CalBench.h"
#include "sim/HandsetUnit.h"
#include "sim/instruments/SimScpiDevice.h"

namespace caltest {
namespace {

using Lines = std::vector<std::string>;

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == line) return i;
  }
  return lines.size();
}

TEST_F(CalBench, AutoCalStartChainsGmagicRxGsmAndDcs) {
  // The 8960 stand-in's end-of-test ends the call but leaves the CW downlink of GMAGIC on, so
  // no call could come up for RX; the bench's front panel is put back to BCH meanwhile.
  onStepFinished = [this](int step, bool ok) {
    if (step == STEP_GMAGIC && ok) {
      visa::FindSimDevice("GPIB0::14::INSTR")->Write("CALL:FUNC:DOWN BCH");
    }
  };
  window->OnAutoCalStart();
  EXPECT_TRUE(window->FullSequence());
  EXPECT_EQ(view.listResets, 2);  // at dialog start and again at the start of the run
  ASSERT_TRUE(rig->loop().RunUntil([&] { return steps.size() == 4; }, 3600000))
      << ::testing::PrintToString(steps) << ::testing::PrintToString(notifier.results);
  EXPECT_EQ(steps,
            (std::vector<std::pair<int, bool>>{
                {STEP_GMAGIC, true}, {STEP_RX, true}, {STEP_GSM_TX, true}, {STEP_DCS_TX, true}}));
  EXPECT_FALSE(window->FullSequence());
  EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
  EXPECT_EQ(view.status, "Calibration Success.... ");
  EXPECT_EQ(view.look_, StatusLook::Success);
  size_t at = 0;
  for (const char* text :
       {"GMAGIC CAL END", "RX CAL END", "PGSM TX CAL END", "Calibration Success.... "}) {
    at = IndexOf(view.statuses, text, at);
    EXPECT_LT(at, view.statuses.size()) << text << " missing or out of order";
  }
  // Each step starts right after the last command of the one before.
  const Lines lines = SentLines();
  const size_t rxStart = IndexOf(lines, "se 300");
  ASSERT_LT(rxStart, lines.size());
  EXPECT_EQ(lines[rxStart - 1], "se 1");
  const size_t gsmStart = IndexOf(lines, "ti", rxStart);
  ASSERT_LT(gsmStart, lines.size());
  EXPECT_EQ(lines[gsmStart - 1], "se 1");
  const size_t dcsStart = IndexOf(lines, "rfpw 1 512", gsmStart);
  ASSERT_LT(dcsStart, lines.size());
  EXPECT_EQ(lines[dcsStart - 1], "rfe 0");
  EXPECT_EQ(lines.back(), "se 1");

  const uint32_t seconds = window->ElapsedMs() / 1000;
  char elapsed[16];
  std::snprintf(elapsed, sizeof elapsed, "%02u:%02u", seconds / 60 % 60, seconds % 60);
  EXPECT_EQ(view.fields[1471], elapsed);
  EXPECT_GT(seconds, 200u);

  std::ifstream in(logPath, std::ios::binary);
  std::stringstream log;
  log << in.rdbuf();
  const std::string text = log.str();
  const size_t g = text.find("***** Gmagic Calibration ***** \r\n");
  const size_t r = text.find("***** RX CHANNEL Calibration ***** \r\n");
  const size_t t = text.find("***** APC GSM TX Calibration *****\r\n");
  const size_t d = text.find("***** APC DCS TX Calibration *****\r\n");
  ASSERT_NE(d, std::string::npos);
  EXPECT_TRUE(g < r && r < t && t < d);
  EXPECT_EQ(
      text.find("\r\n##########  Phone Model :  ZR907XC907  stage : MP  name :   ##########\r\n"),
      0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '#'), 20);  // one header: GMAGIC only
}

TEST_F(CalBench, SilenceResendsTheSameFrameEvery4000Ms) {
  rig->bench().faults.silentHandset = true;
  window->RunGmagic();
  rig->loop().RunFor(12'500);
  ASSERT_EQ(SentLines(), (Lines{"ti", "ti", "ti", "ti"}));
  for (size_t i = 1; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].t - sent[i - 1].t, 4000u);
    EXPECT_TRUE(sent[i].resend);
  }
  EXPECT_FALSE(sent[0].resend);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(window->ActiveStep(), STEP_GMAGIC);
}

TEST_F(CalBench, ABrokenAnswerIsReportedAndTheRequestSentAgainAfterTheTimeOut) {
  rig->bench().faults.badStatusOpcode = 0x20;  // "ti"
  window->RunGmagic();
  rig->loop().RunFor(4'100);
  EXPECT_TRUE(Contains(view.statuses, "received data is broken"));
  ASSERT_EQ(SentLines(), (Lines{"ti", "ti"}));
  EXPECT_TRUE(sent[1].resend);
  rig->bench().faults.badStatusOpcode = -1;
  ASSERT_TRUE(RunUntilSent("tms 1", 4'000));  // the good answer moves the step on
  EXPECT_EQ(CountPrefix("ti"), 3u);
}

TEST_F(CalBench, AFailureStopsTheWholeSequenceAndResetsTheWindow) {
  rig->bench().ForceDefect(sim::UnitDefect::GMAGIC);
  window->OnAutoCalStart();
  EXPECT_TRUE(window->FullSequence());
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_GMAGIC, false));
  rig->loop().RunFor(30'000);
  EXPECT_EQ(steps.size(), 1u) << "no step may follow a failure";
  EXPECT_FALSE(window->FullSequence());
  EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
  EXPECT_EQ(window->ProgressPos(), 0);
  EXPECT_EQ(view.status, "");
  EXPECT_EQ(view.look_, StatusLook::Cleared);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(view.fields[1374], "OK");  // the stop ran the instrument check again
  EXPECT_EQ(Sequencer().CalStep, 41);  // the test set went back to idle
  EXPECT_EQ(CountPrefix("se 300"), 0u);
}

TEST_F(CalBench, ALogThatCannotBeWrittenIsReportedAndTheDisplayStillUpdated) {
  window->SetResultLogPath(logPath + ".missing-dir/calresult.txt");
  window->RunGmagic();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_NE(notifier.messages[0].find("could not be written"), std::string::npos);
  EXPECT_NE(notifier.messages[0].find(".missing-dir"), std::string::npos);
  EXPECT_EQ(view.fields[1356], std::to_string(Cal().GmagicResultGsm));
}

TEST_F(CalBench, TargetCheckAndEepromResetOnAnOpenLink) {
  EXPECT_FALSE(window->SwallowsEnter());
  window->OnTargetCheck();
  EXPECT_EQ(view.fields[1375], "FAIL");
  rig->loop().RunFor(200);
  EXPECT_EQ(SentLines(), Lines{"vg 0xe0"});
  EXPECT_EQ(view.fields[1375], "OK");
  EXPECT_TRUE(window->SwallowsEnter());
  window->OnEepFullReset();
  rig->loop().RunFor(2000);
  EXPECT_EQ(sent.back().line, "se 6");
  EXPECT_EQ(view.status, "EEPROM FULL RESET");
  EXPECT_TRUE(steps.empty());
}

TEST_F(CalBench, AClosedLinkSendsNothing) {
  Start({TESTSET_8960, SUPPLY_NONE, "", 11, false});
  window->OnEepFullReset();
  window->OnTargetCheck();
  rig->loop().RunFor(5000);
  EXPECT_EQ(notifier.messages, Lines{"Communication Error"});
  EXPECT_EQ(view.fields[1375], "FAIL");
  EXPECT_TRUE(sent.empty());
}

class ProductionLoopTest : public CalBench {
 protected:
  void SetUp() override {
    Start({TESTSET_8960, SUPPLY_E3632A, "3632A"});
    supply = std::make_shared<ForcedCurrentSupply>(visa::FindSimDevice("GPIB::5::INSTR"));
    visa::RegisterSimDevice("GPIB::5::INSTR", supply);
    window->OnInstrumentCheck();  // the supply's session now reaches the wrapper
    window->OnModeChange(MODE_RF);
    rig->loop().RunFor(2000);
    waits.clear();
  }
  bool Armed(int id) { return rig->loop().TimerArmed(window.get(), id); }
  std::shared_ptr<ForcedCurrentSupply> supply;
};

TEST_F(ProductionLoopTest, InstrumentCheckStartsPollingOnlyInRfMode) {
  window->OnModeChange(MODE_BOARD);
  window->OnInstrumentCheck();
  EXPECT_FALSE(Armed(TIMER_PHONE_IN));
  window->OnModeChange(MODE_RF);
  window->OnInstrumentCheck();
  EXPECT_TRUE(Armed(TIMER_PHONE_IN));
}

TEST_F(ProductionLoopTest, AHandsetCountsAsInsertedAbove0075A) {
  supply->amps = 0.075;
  window->OnTimer(TIMER_PHONE_IN);
  EXPECT_EQ(view.status, "Ready to Test. !");
  EXPECT_TRUE(Armed(TIMER_PHONE_IN));
  EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
  EXPECT_TRUE(sent.empty());

  supply->amps = 0.0751;
  window->OnTimer(TIMER_PHONE_IN);
  EXPECT_TRUE(Contains(view.statuses, "Checking the PHONE. Wait a moment !"));
  ASSERT_FALSE(waits.empty());
  EXPECT_EQ(waits.front().second, 3500u);
  EXPECT_FALSE(Armed(TIMER_PHONE_IN));
  EXPECT_TRUE(window->FullSequence());
  EXPECT_EQ(window->ActiveStep(), STEP_GMAGIC);
  EXPECT_EQ(SentLines(), Lines{"ti"});
}

TEST_F(ProductionLoopTest, AHandsetCountsAsRemovedBelow0025A) {
  supply->amps = 0.025;
  window->OnTimer(TIMER_PHONE_OUT);
  EXPECT_EQ(view.status, "Remove the PHONE. !");
  EXPECT_TRUE(Armed(TIMER_PHONE_OUT));
  EXPECT_FALSE(Armed(TIMER_PHONE_IN));

  supply->amps = 0.0249;
  window->OnTimer(TIMER_PHONE_OUT);
  EXPECT_FALSE(Armed(TIMER_PHONE_OUT));
  EXPECT_TRUE(Armed(TIMER_PHONE_IN));
}

TEST_F(ProductionLoopTest, AfterAFailureTheLoopWaitsForRemovalButNotAfterABatteryFailure) {
  supply->amps = 0.2;
  rig->bench().ForceDefect(sim::UnitDefect::GMAGIC);
  window->OnAutoCalStart();
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_TRUE(Armed(TIMER_PHONE_OUT));
  EXPECT_FALSE(Armed(TIMER_PHONE_IN));

  rig->bench().faults.silentHandset = true;
  window->OnBatteryCal();
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_BATTERY, false));
  EXPECT_TRUE(Armed(TIMER_PHONE_IN));  // started again by the stop's instrument check
}

}  // namespace
}  // namespace caltest
