// Supply sessions and operations against recording drivers, waits in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingDrivers.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "platform/Notifier.h"
#include "sim/SimLoop.h"

using testing_instruments::CallLog;
using Calls = std::vector<std::string>;

namespace {

void IgnoreDebug(const std::string&) {}

class SupplyOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    Instruments().loop = &loop_;
    SetDebugSink(IgnoreDebug);
  }
  void TearDown() override {
    SetDebugSink(nullptr);
    ResetInstrumentState();
  }
  void Open(int32_t type) {
    Instruments().SupplyType = type;
    Instruments().SupplyHandle = log_.handle;
  }

  CallLog log_;
  SimLoop loop_;
};

struct OutputCase {
  const char* name;
  int32_t type;
  bool waits;
  Calls expected;
};
class SupplyOutput : public SupplyOperations, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(SupplyOutput, SetsVoltageAndLimitThenSwitchesOn) {
  const OutputCase& c = GetParam();
  Open(c.type);
  const uint64_t start = loop_.Now();
  SetSupplyCharged();
  EXPECT_EQ(log_.calls, c.expected);
  if (c.waits) {
    EXPECT_GT(loop_.Now() - start, 1000u);
  } else {
    EXPECT_EQ(loop_.Now(), start);
  }
  EXPECT_EQ(Instruments().InstrumentFault, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SupplyOutput,
    ::testing::Values(
        OutputCase{"HP66311B", SUPPLY_66311B, false, {"66311B.OutputVoltCurr(7,4.18,3)"}},
        OutputCase{"E3631A",
                   SUPPLY_E3631A,
                   true,
                   {"E3631A.SetVoltage(7,1,4.18)", "E3631A.SetCurrentLimit(7,1,3)",
                    "E3631A.OutputOn(7,1)"}},
        OutputCase{
            "E3632A",
            SUPPLY_E3632A,
            true,
            {"E3632A.SetVoltage(7,4.18)", "E3632A.SetCurrentLimit(7,3)", "E3632A.OutputOn(7,1)"}},
        OutputCase{"None", SUPPLY_NONE, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SupplyOperations, TheWaitLiesBetweenLimitAndOutputOn) {
  Open(SUPPLY_E3631A);
  std::vector<uint64_t> times;
  loop_.onBusyWait = [&](uint32_t ms) {
    EXPECT_EQ(ms, 1000u);
    times.push_back(log_.calls.size());
  };
  SetSupplyNominal();
  EXPECT_EQ(times, std::vector<uint64_t>{2});  // after voltage and limit, before output on
}

TEST_F(SupplyOperations, FailedSettingRaisesFaultAndCarriesOn) {
  Open(SUPPLY_E3631A);
  log_.Fail("E3631A.SetVoltage", VI_INSTR_ERROR_DETECTED);
  log_.Fail("E3631A.OutputOn", VI_ERROR_TMO);  // not examined
  SetSupplyNominal();
  EXPECT_EQ(log_.calls,
            (Calls{"E3631A.SetVoltage(7,1,3.8)", "E3631A.Clear(7)", "E3631A.ErrorQuery(7)",
                   "E3631A.SetCurrentLimit(7,1,3)", "E3631A.OutputOn(7,1)"}));
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  EXPECT_EQ(Instruments().SupplyHandle, 7u);  // supply errors never close it
}

TEST_F(SupplyOperations, HP66311BErrorsAreNotCleared) {
  Open(SUPPLY_66311B);
  log_.Fail("66311B.OutputVoltCurr", VI_ERROR_INV_RESPONSE);
  SetSupplyNominal();
  EXPECT_EQ(log_.calls,
            (Calls{"66311B.OutputVoltCurr(7,3.8,3)", "66311B.ErrorMessage(7,-1074003950)"}));
  EXPECT_EQ(Instruments().InstrumentFault, 1);
}

// A supply that no longer answers is let go at once: the setting stops there (no settling
// wait, no further calls that would wait on it again) and the fault is raised.
TEST_F(SupplyOperations, ASupplyThatIsGoneIsClosedAndTheSettingEnds) {
  for (const ViStatus status : {VI_ERROR_TMO, VI_ERROR_CONN_LOST}) {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    Instruments().loop = &loop_;
    Open(SUPPLY_E3632A);
    log_.Clear();
    log_.Fail("E3632A.SetVoltage", status);
    const uint64_t start = loop_.Now();
    SetSupplyCharged();
    EXPECT_EQ(log_.calls,
              (Calls{"E3632A.SetVoltage(7,4.18)",
                     "E3632A.ErrorMessage(7," + std::to_string(status) + ")", "E3632A.Close(7)"}));
    EXPECT_EQ(loop_.Now(), start);
    EXPECT_EQ(Instruments().SupplyHandle, 0u);
    EXPECT_EQ(Instruments().InstrumentFault, 1);
    EXPECT_TRUE(Instruments().InstrumentLost);
  }
}

TEST_F(SupplyOperations, ReadCurrentByModel) {
  struct Row {
    int32_t type;
    Calls expected;
  };
  log_.real = 0.123;
  for (const Row& r : {Row{SUPPLY_66311B, {"66311B.MeasureCurrent(7)"}},
                       Row{SUPPLY_E3631A, {"E3631A.MeasureCurrent(7,1)"}},
                       Row{SUPPLY_E3632A, {"E3632A.MeasureCurrent(7)"}}}) {
    Open(r.type);
    log_.Clear();
    EXPECT_DOUBLE_EQ(ReadSupplyCurrent(), 0.123);
    EXPECT_EQ(log_.calls, r.expected);
  }
  Instruments().SupplyType = SUPPLY_NONE;
  log_.Clear();
  EXPECT_EQ(ReadSupplyCurrent(), 0.0);
  EXPECT_TRUE(log_.calls.empty());
}

TEST_F(SupplyOperations, OpenE3632ASetsNominalOutput) {
  Instruments().SupplyType = SUPPLY_E3632A;
  const uint64_t start = loop_.Now();
  EXPECT_TRUE(OpenSupply());
  EXPECT_EQ(log_.calls, (Calls{"E3632A.Init(GPIB::5::INSTR,1,1)", "E3632A.SetVoltage(7,3.8)",
                               "E3632A.SetCurrentLimit(7,3)", "E3632A.OutputOn(7,1)"}));
  EXPECT_GT(loop_.Now() - start, 1000u);
  EXPECT_EQ(Instruments().SupplyHandle, 7u);
}

TEST_F(SupplyOperations, OpenOtherModelsLeavesTheOutputAlone) {
  for (int32_t type : {SUPPLY_E3631A, SUPPLY_66311B}) {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    log_.Clear();
    Instruments().SupplyType = type;
    EXPECT_TRUE(OpenSupply());
    ASSERT_EQ(log_.calls.size(), 1u);
    EXPECT_NE(log_.calls[0].find("Init(GPIB::5::INSTR,1,1)"), std::string::npos);
  }
}

TEST_F(SupplyOperations, WarningFromInitIsAFailedOpen) {
  Instruments().SupplyType = SUPPLY_E3631A;
  log_.Fail("E3631A.Init", 0x3FFC0101);
  EXPECT_FALSE(OpenSupply());
  EXPECT_EQ(Instruments().SupplyHandle, 7u);  // open all the same
  EXPECT_EQ(Instruments().InstrumentFault, 0);
}

TEST_F(SupplyOperations, ErrorFromInitRaisesFaultAndClosesWhatAnswered) {
  Instruments().SupplyType = SUPPLY_E3632A;
  log_.Fail("E3632A.Init", VI_ERROR_FAIL_ID_QUERY);
  EXPECT_FALSE(OpenSupply());
  EXPECT_EQ(log_.calls, (Calls{"E3632A.Init(GPIB::5::INSTR,1,1)", "E3632A.Clear(7)",
                               "E3632A.ErrorMessage(7,-1074003951)", "E3632A.Close(7)"}));
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  EXPECT_EQ(Instruments().SupplyHandle, 0u);
}

TEST_F(SupplyOperations, NoSupplySelected) {
  EXPECT_TRUE(OpenSupply());
  SetSupplyNominal();
  CloseSupply();
  EXPECT_TRUE(log_.calls.empty());
}

TEST_F(SupplyOperations, ReopenAndCloseUseTheOpeningDriver) {
  Instruments().SupplyType = SUPPLY_E3631A;
  ASSERT_TRUE(OpenSupply());
  ASSERT_TRUE(OpenSupply());
  Instruments().SupplyType = SUPPLY_66311B;
  CloseSupply();
  EXPECT_EQ(log_.calls, (Calls{"E3631A.Init(GPIB::5::INSTR,1,1)", "E3631A.Close(7)",
                               "E3631A.Init(GPIB::5::INSTR,1,1)", "E3631A.Close(7)"}));
  EXPECT_EQ(Instruments().SupplyHandle, 0u);
}

}  // namespace
