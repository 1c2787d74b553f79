#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CalBench.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"

// A test set or supply that goes silent or closes its connection in the middle of a step, in
// virtual time: the step fails within the instrument's I/O time-out plus 1 s with its own
// message, the stop's command still reaches the handset, nothing is resent, and the supply is
// where it should be.
namespace caltest {
namespace {

constexpr uint64_t TEST_SET_TIMEOUT_MS = 10000;  // 8960 and 4400 sessions
constexpr uint64_t SUPPLY_TIMEOUT_MS = 5000;
constexpr uint64_t MARGIN_MS = 1000;

enum class Lost { TEST_SET, SUPPLY };
enum class Fault { SILENT, CLOSED };

// Passes everything to the simulated instrument and notes when the station first talks to it
// after the fault began.
class WatchedDevice : public visa::SimDevice {
 public:
  WatchedDevice(std::shared_ptr<visa::SimDevice> inner, SimLoop& loop)
      : inner_(std::move(inner)), loop_(loop) {}
  uint32_t Write(const std::string& message) override {
    Note();
    return inner_->Write(message);
  }
  std::optional<std::string> Read() override {
    Note();
    return inner_->Read();
  }
  // The transport asks before every transfer: for a closed instrument that is the transfer.
  bool Closed() const override {
    Note();
    return inner_->Closed();
  }

  bool armed = false;
  mutable std::optional<uint64_t> firstIo;

 private:
  void Note() const {
    if (armed && !firstIo) firstIo = loop_.Now();
  }
  std::shared_ptr<visa::SimDevice> inner_;
  SimLoop& loop_;
};

struct LossCase {
  const char* name;
  int32_t testSet;
  int32_t supplyType;
  const char* supplyModel;
  Lost lost;
  Fault fault;
  int step;
  // The fault begins when this line is transmitted ("" before the step starts); the answer to
  // it leads the step to the instrument.
  const char* trigger;
  const char* message;
};

// What ctest and gtest print for a case.
void PrintTo(const LossCase& c, std::ostream* os) {
  *os << c.name;
}

const char* const GMAGIC_FAIL = "GMAGIC CAL FAIL";
const char* const RX_FAIL = "******  RXCAL FAIL  ******";
const char* const BAT_FAIL = "******  BATCAL FAIL  ******";

std::vector<LossCase> Cases() {
  std::vector<LossCase> cases;
  for (int32_t testSet : {TESTSET_8960, TESTSET_4400}) {
    const bool is8960 = testSet == TESTSET_8960;
    for (Fault fault : {Fault::SILENT, Fault::CLOSED}) {
      const bool silent = fault == Fault::SILENT;
      auto add = [&](const char* name, int step, const char* trigger, const char* message) {
        cases.push_back(
            {name, testSet, SUPPLY_E3632A, "3632A", Lost::TEST_SET, fault, step, trigger, message});
      };
      // Names: instrument, fault, step.
      add(is8960 ? (silent ? "8960_silent_gmagic" : "8960_closed_gmagic")
                 : (silent ? "4400_silent_gmagic" : "4400_closed_gmagic"),
          STEP_GMAGIC, "tms 1", GMAGIC_FAIL);
      add(is8960 ? (silent ? "8960_silent_rx" : "8960_closed_rx")
                 : (silent ? "4400_silent_rx" : "4400_closed_rx"),
          STEP_RX, "spr 11", RX_FAIL);
      add(is8960 ? (silent ? "8960_silent_gsm" : "8960_closed_gsm")
                 : (silent ? "4400_silent_gsm" : "4400_closed_gsm"),
          STEP_GSM_TX, "txpw 1 ", "GSM 1Band 5LEVEL FAIL");
      add(is8960 ? (silent ? "8960_silent_dcs" : "8960_closed_dcs")
                 : (silent ? "4400_silent_dcs" : "4400_closed_dcs"),
          STEP_DCS_TX, "txpw 1 ", "DCS 1Band 100LEVEL FAIL");
    }
  }
  for (Fault fault : {Fault::SILENT, Fault::CLOSED}) {
    const bool silent = fault == Fault::SILENT;
    // Lost while the step returns it to its nominal setting, and before the step starts (the
    // charged setting is the first thing the step does).
    cases.push_back({silent ? "3632A_silent_battery_end" : "3632A_closed_battery_end", TESTSET_8960,
                     SUPPLY_E3632A, "3632A", Lost::SUPPLY, fault, STEP_BATTERY, "se 11", BAT_FAIL});
    cases.push_back({silent ? "3632A_silent_battery_start" : "3632A_closed_battery_start",
                     TESTSET_8960, SUPPLY_E3632A, "3632A", Lost::SUPPLY, fault, STEP_BATTERY, "",
                     BAT_FAIL});
    cases.push_back({silent ? "3631A_silent_battery_end" : "3631A_closed_battery_end", TESTSET_8960,
                     SUPPLY_E3631A, "3631A", Lost::SUPPLY, fault, STEP_BATTERY, "se 11", BAT_FAIL});
    cases.push_back({silent ? "66311B_silent_battery_end" : "66311B_closed_battery_end",
                     TESTSET_8960, SUPPLY_66311B, "66311B", Lost::SUPPLY, fault, STEP_BATTERY,
                     "se 11", BAT_FAIL});
  }
  return cases;
}

class InstrumentLossTest : public CalBench, public ::testing::WithParamInterface<LossCase> {
 protected:
  void SetUp() override {
    const LossCase& c = GetParam();
    Start({c.testSet, c.supplyType, c.supplyModel});
    const char* resource = c.lost == Lost::SUPPLY      ? RESOURCE_SUPPLY
                           : c.testSet == TESTSET_8960 ? RESOURCE_8960
                                                       : RESOURCE_4400;
    watched = std::make_shared<WatchedDevice>(visa::FindSimDevice(resource), rig->loop());
    visa::RegisterSimDevice(resource, watched);
    window->OnInstrumentCheck();  // the sessions now reach the wrapper
    SetSupplyNominal();           // the handset powered, whatever the model does at its open
    rig->loop().RunFor(2000);
    ASSERT_EQ(view.fields[1374], "OK");
    ASSERT_TRUE(rig->bench().HandsetReady());
    sent.clear();
    steps.clear();
    onStepFinished = [this](int, bool) {
      if (!failedAt) failedAt = rig->loop().Now();
    };
  }

  void BeginFault() {
    const LossCase& c = GetParam();
    sim::BenchFaults& f = rig->bench().faults;
    const bool silent = c.fault == Fault::SILENT;
    if (c.lost == Lost::TEST_SET) (silent ? f.testSetSilent : f.testSetClosed) = true;
    if (c.lost == Lost::SUPPLY) (silent ? f.supplySilent : f.supplyClosed) = true;
    watched->armed = true;
    faultAt = rig->loop().Now();
  }

  void Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                   bool resend) override {
    CalBench::Transmitted(line, wire, count, resend);
    const std::string trigger = GetParam().trigger;
    if (watching && !faultAt && !trigger.empty() && line.rfind(trigger, 0) == 0) BeginFault();
  }

  void RunStep(int step) {
    switch (step) {
      case STEP_GMAGIC:
        return window->RunGmagic();
      case STEP_RX:
        return window->RunRxCal();
      case STEP_GSM_TX:
        return window->RunGsmTx();
      case STEP_DCS_TX:
        return window->RunDcsTx();
      case STEP_BATTERY:
        return window->RunBattery();
      default:
        FAIL() << "no such step " << step;
    }
  }

  std::shared_ptr<WatchedDevice> watched;
  bool watching = false;  // the step under test has begun
  std::optional<uint64_t> faultAt;
  std::optional<uint64_t> failedAt;
};

TEST_P(InstrumentLossTest, FailsTheStepWithinTheTimeOutAndStopsTheHandset) {
  const LossCase& c = GetParam();
  if (c.step == STEP_DCS_TX) {
    // DCS follows GSM, which leaves the handset in test mode.
    window->RunGsmTx();
    ASSERT_TRUE(RunUntilStepDone());
    ASSERT_EQ(steps.back(), std::make_pair(STEP_GSM_TX, true));
    sent.clear();
    steps.clear();
    failedAt.reset();
  }
  watching = true;
  if (std::string(c.trigger).empty()) BeginFault();
  RunStep(c.step);
  // A generous limit: a step that waits for ever or resends is caught by what follows. A step
  // that failed on its first call is already done.
  if (steps.empty()) {
    ASSERT_TRUE(RunUntilStepDone(15 * 60 * 1000)) << "the step never ended";
  }
  ASSERT_TRUE(faultAt.has_value()) << "the trigger line never went out";
  ASSERT_TRUE(watched->firstIo.has_value()) << "the step never went to the instrument";
  ASSERT_TRUE(failedAt.has_value());
  const uint64_t timeout = c.lost == Lost::SUPPLY ? SUPPLY_TIMEOUT_MS : TEST_SET_TIMEOUT_MS;
  const uint64_t took = *failedAt - *watched->firstIo;
  std::printf(
      "[ measured ] %s: %llu ms from the first transfer after the fault to the failure "
      "(%llu ms after the fault began)\n",
      c.name, static_cast<unsigned long long>(took),
      static_cast<unsigned long long>(*failedAt - *faultAt));

  EXPECT_EQ(steps, (std::vector<std::pair<int, bool>>{{c.step, false}}));
  EXPECT_LE(took, timeout + MARGIN_MS);
  ASSERT_FALSE(notifier.results.empty());
  EXPECT_EQ(notifier.results.front(), c.message);

  // The stop's command is the first line after the failure; nothing was resent meanwhile.
  size_t stopIndex = sent.size();
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_FALSE(sent[i].resend) << sent[i].line;
    if (sent[i].t >= *failedAt && stopIndex == sent.size()) stopIndex = i;
  }
  ASSERT_LT(stopIndex, sent.size()) << "no stop command";
  EXPECT_EQ(sent[stopIndex].line, c.step == STEP_RX ? "se 101" : "rfe 0");
  EXPECT_EQ(stopIndex + 1, sent.size()) << sent.back().line;

  // The window is back at rest, and stays there: no resend, no resumed step.
  const size_t sentBefore = sent.size();
  rig->loop().RunFor(60000);
  EXPECT_EQ(sent.size(), sentBefore) << sent.back().line;
  EXPECT_EQ(steps.size(), 1u);
  EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
  EXPECT_FALSE(rig->loop().TimerArmed(window.get(), TIMER_RESUME));
  EXPECT_EQ(Sequencer().CalStep, CAL_DONE);
  if (c.lost == Lost::SUPPLY) {
    // The stop's instrument check cannot open it again (which raises the fault flag, as any
    // supply that fails its open does).
    EXPECT_EQ(Instruments().SupplyHandle, 0);
  }

  if (c.lost == Lost::TEST_SET) {
    // The supply was not touched by the loss: the handset keeps its nominal 3.8 V.
    EXPECT_DOUBLE_EQ(rig->bench().SupplyVolts(), 3.8);
    EXPECT_TRUE(rig->bench().SupplyOutputOn());
    EXPECT_EQ(Instruments().InstrumentFault, 0);
    // The stop's instrument check finds it gone and says so.
    EXPECT_EQ(Instruments().TestSetHandle, 0);
    ASSERT_EQ(notifier.messages.size(), 1u);
    const std::string& text = notifier.messages[0];
    EXPECT_TRUE(text.find("init failed") != std::string::npos ||
                text.find("Error Status") != std::string::npos)
        << text;
  }
}

// The production loop polls the supply's current every 300 ms; a supply gone silent or closed
// would read 0 A for ever and "Ready to Test. !" would stay up. The polling stops instead and
// the instrument check shows that the supply is not there.
TEST_F(CalBench, ASupplyLostWhilePollingForAHandsetStopsThePolling) {
  for (const bool silent : {true, false}) {
    Start({TESTSET_8960, SUPPLY_E3632A, "3632A"});
    rig->bench().InsertHandset(false);  // the jig empty: the loop waits for a handset
    window->OnModeChange(MODE_RF);
    window->OnInstrumentCheck();
    rig->loop().RunFor(2000);
    ASSERT_TRUE(rig->loop().TimerArmed(window.get(), TIMER_PHONE_IN));
    ASSERT_EQ(view.status, "Ready to Test. !");
    (silent ? rig->bench().faults.supplySilent : rig->bench().faults.supplyClosed) = true;
    rig->loop().RunFor(60000);
    EXPECT_FALSE(rig->loop().TimerArmed(window.get(), TIMER_PHONE_IN)) << silent;
    EXPECT_FALSE(rig->loop().TimerArmed(window.get(), TIMER_PHONE_OUT)) << silent;
    EXPECT_EQ(view.status, "") << silent;
    EXPECT_EQ(view.fields[1374], "FAIL") << silent;
    EXPECT_EQ(Instruments().SupplyHandle, 0) << silent;
    EXPECT_EQ(window->ActiveStep(), STEP_IDLE);
    EXPECT_TRUE(sent.empty()) << sent.front().line;
  }
}

// The battery step runs on the charged 4.18 V; stopped halfway (here by a handset that stops
// answering) it puts the supply back to its nominal setting for the next handset.
TEST_F(CalBench, AStoppedBatteryStepLeavesTheSupplyAtNominal) {
  Start({TESTSET_8960, SUPPLY_E3632A, "3632A"});
  window->RunBattery();
  ASSERT_TRUE(RunUntilSent("spr 54"));
  ASSERT_DOUBLE_EQ(rig->bench().SupplyVolts(), 4.18);
  rig->bench().faults.silentHandset = true;
  ASSERT_TRUE(RunUntilStepDone());
  EXPECT_EQ(steps.back(), std::make_pair(STEP_BATTERY, false));
  EXPECT_EQ(notifier.results, std::vector<std::string>{"******  BATCAL FAIL  ******"});
  EXPECT_DOUBLE_EQ(rig->bench().SupplyVolts(), 3.8);
  EXPECT_TRUE(rig->bench().SupplyOutputOn());
}

INSTANTIATE_TEST_SUITE_P(Table, InstrumentLossTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<LossCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace caltest
