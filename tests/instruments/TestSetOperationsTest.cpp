// The driver calls each test-set operation makes, in order, for both test sets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingDrivers.h"
#include "instruments/InstrumentState.h"
#include "instruments/TestSet.h"
#include "sim/SimLoop.h"
#include "tester4400/wt4400.h"

using testing_instruments::CallLog;
using Calls = std::vector<std::string>;

namespace {

class TestSetOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    Instruments().loop = &loop_;
  }
  void TearDown() override { ResetInstrumentState(); }

  // An open test set of the given type, working on a DCS sub-band.
  void OpenAs(int32_t type) { testing_instruments::OpenDcsTestSet(type, log_); }
  void Gsm() {
    InstrumentState& s = Instruments();
    s.BandCode = BAND_GSM900;
    s.BchChannel = 80;
    s.TchChannel = 62;
    s.MsPowerLevel = 10;
    s.PathLoss = -1.2;
  }

  CallLog log_;
  SimLoop loop_;
};

struct OperationCase {
  const char* name;
  int32_t type;
  bool gsm;
  void (*operation)();
  Calls expected;
};

class OperationOrder : public TestSetOperations,
                       public ::testing::WithParamInterface<OperationCase> {};

TEST_P(OperationOrder, CallsTheDriverInOrder) {
  const OperationCase& c = GetParam();
  OpenAs(c.type);
  if (c.gsm) Gsm();
  c.operation();
  EXPECT_EQ(log_.calls, c.expected);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
}

const char* const BCHTCH = "CALL:FUNCTION:DOWNLINK BCHTCH";

INSTANTIATE_TEST_SUITE_P(
    Tester8960, OperationOrder,
    ::testing::Values(
        OperationCase{"PrepareTx",
                      TESTSET_8960,
                      false,
                      PrepareTxMeasurement,
                      {"OperatingMode(7,0)", std::string("SendCommand(7,") + BCHTCH + ")",
                       "SelectMeasurements(7,2,6,7)", "SendCommand(7,SETup:CONTinuous:ON)"}},
        OperationCase{
            "ConfigureTxCellDcs",
            TESTSET_8960,
            false,
            ConfigureTxCell,
            {"CellBand(7,1,3)", "TchBand(7,3)", "PathLoss(7,-1.7)", "CellPower(7,1,-60,0,0)",
             "BchChannel(7,1,512,3,1)", "TchChannel(7,698,3,1)", "MsTxLevel(7,5,3,1)"}},
        OperationCase{
            "ConfigureTxCellGsm",
            TESTSET_8960,
            true,
            ConfigureTxCell,
            {"CellBand(7,1,2)", "TchBand(7,2)", "PathLoss(7,-1.2)", "CellPower(7,1,-60,0,0)",
             "BchChannel(7,1,80,2,1)", "TchChannel(7,62,2,1)", "MsTxLevel(7,10,2,1)"}},
        OperationCase{
            "MsLevelDcsLoses100", TESTSET_8960, false, ApplyMsPowerLevel, {"MsTxLevel(7,5,3,1)"}},
        OperationCase{
            "MsLevelGsmAsStored", TESTSET_8960, true, ApplyMsPowerLevel, {"MsTxLevel(7,10,2,1)"}},
        OperationCase{"PathLoss", TESTSET_8960, false, ApplyPathLoss, {"PathLoss(7,-1.7)"}},
        OperationCase{"MeasureTx", TESTSET_8960, false, MeasureTxPower, {"ReadTxPower(7,0)"}},
        OperationCase{"ChangeTx",
                      TESTSET_8960,
                      false,
                      ChangeTxChannel,
                      {"MsTxLevel(7,5,3,1)", "TchChannel(7,698,3,1)"}},
        OperationCase{"ConfigureRx",
                      TESTSET_8960,
                      false,
                      ConfigureRxCell,
                      {"CellBand(7,1,3)", "BchChannel(7,1,512,3,1)", "CellPower(7,1,-60,0,0)"}},
        OperationCase{
            "RxLevelDcsKeeps100",
            TESTSET_8960,
            false,
            ApplyRxPowerLevel,
            {"TchBand(7,3)", "PathLoss(7,-1.7)", "CellPower(7,1,-60,0,0)", "MsTxLevel(7,105,3,1)"}},
        OperationCase{"ChangeRx", TESTSET_8960, false, ChangeRxChannel, {"TchChannel(7,698,3,1)"}},
        OperationCase{"ReadRx",
                      TESTSET_8960,
                      false,
                      ReadRxLevel,
                      {"QueryReal(7,CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?)",
                       "QueryReal(7,CALL:MS:REPorted:RXLevel:LAST?)"}},
        OperationCase{
            "StartCw",
            TESTSET_8960,
            false,
            StartCwGenerator,
            {"OperatingMode(7,0)", "SendCommand(7,CALL:FUNCTION:DOWNLINK CW)", "CellBand(7,1,3)"}},
        OperationCase{"ConfigureCwDcs",
                      TESTSET_8960,
                      false,
                      ConfigureCwGenerator,
                      {"SendCommand(7,CALL:CELL:RFGenerator:BAND DCS)",
                       "SendCommand(7,CALL:CELL:RFGENERATOR:CHANNEL:DCS 698)", "PathLoss(7,-1.7)",
                       "CellPower(7,1,-74.5,0,0)"}},
        OperationCase{"ConfigureCwGsm",
                      TESTSET_8960,
                      true,
                      ConfigureCwGenerator,
                      {"SendCommand(7,CALL:CELL:RFGenerator:BAND EGSM)",
                       "SendCommand(7,CALL:CELL:RFGENERATOR:CHANNEL:EGSM 62)", "PathLoss(7,-1.2)",
                       "CellPower(7,1,-74.5,0,0)"}},
        OperationCase{"CwFrequencyGsm",
                      TESTSET_8960,
                      true,
                      SetCwFrequency,
                      {"SendCommandReal(7,CALL:CELL:RFGENERATOR:FREQUENCY,947467000)"}},
        OperationCase{"CwFrequencyDcs",
                      TESTSET_8960,
                      false,
                      SetCwFrequency,
                      {"SendCommandReal(7,CALL:CELL:RFGENERATOR:FREQUENCY,1842467000)"}},
        OperationCase{"StartCall",
                      TESTSET_8960,
                      false,
                      [] { EXPECT_TRUE(StartCall()); },
                      {"OriginateCall(7)", "WaitCallConnected(7,5)"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Tester4400, OperationOrder,
    ::testing::Values(
        OperationCase{
            "PrepareTx", TESTSET_4400, false, PrepareTxMeasurement, {"wt4400_selectSystem(7,3)"}},
        OperationCase{
            "ConfigureTxCell",
            TESTSET_4400,
            false,
            ConfigureTxCell,
            {"wt4400_setCoupling(7,viable.cpl,1)", "wt4400_write(7,:CONF:COUP:STAT ON)",
             "wt4400_write(7,RFG:LEV -60)", "wt4400_write(7,RFAN:FREQ 1747400000.000000)"}},
        OperationCase{"MsLevelDoesNothing", TESTSET_4400, false, ApplyMsPowerLevel, {}},
        OperationCase{"PathLossDoesNothing", TESTSET_4400, false, ApplyPathLoss, {}},
        OperationCase{"MeasureTx",
                      TESTSET_4400,
                      false,
                      MeasureTxPower,
                      {"wt4400_setStatistic(7,0)", "wt4400_measureTxPower(7,1)"}},
        OperationCase{"ChangeTxGsm",
                      TESTSET_4400,
                      true,
                      ChangeTxChannel,
                      {"wt4400_write(7,RFAN:FREQ 902400000.000000)"}},
        OperationCase{"ChangeTxChannelZero",
                      TESTSET_4400,
                      false,
                      [] {
                        Instruments().TchChannel = 0;
                        ChangeTxChannel();
                      },
                      {"wt4400_write(7,RFAN:FREQ 0.000000)"}},
        OperationCase{
            "ConfigureRx",
            TESTSET_4400,
            false,
            ConfigureRxCell,
            {"wt4400_selectSystem(7,1)", "wt4400_setCoupling(7,viable.cpl,1)",
             "wt4400_write(7,:CONF:COUP:STAT ON)", "wt4400_write(7,CONF:GSM:BS:LEV -60)"}},
        OperationCase{
            "RxLevelKeeps100",
            TESTSET_4400,
            false,
            ApplyRxPowerLevel,
            {"wt4400_write(7,CONF:GSM:BS:LEV -60)", "wt4400_write(7,CONF:GSM:MSTA:PLEV 105)"}},
        OperationCase{"ChangeRx",
                      TESTSET_4400,
                      false,
                      ChangeRxChannel,
                      {"wt4400_write(7,CONF:GSM:BS:TCH:ARFC 698)"}},
        OperationCase{"ReadRx",
                      TESTSET_4400,
                      false,
                      ReadRxLevel,
                      {"wt4400_query(7,:CALL:MSINFO:RXLEVEL?,128)"}},
        OperationCase{"StartCw",
                      TESTSET_4400,
                      false,
                      StartCwGenerator,
                      {"wt4400_init(GPIB0::4,1,1)", "wt4400_selectSystem(7,1)"}},
        OperationCase{"ConfigureCwGsm",
                      TESTSET_4400,
                      true,
                      ConfigureCwGenerator,
                      {"wt4400_setCoupling(7,viable.cpl,1)", "wt4400_write(7,:CONF:COUP:STAT ON)",
                       "wt4400_configureGenerator(7,947.4,-60,2,1,4,2,2,4)",
                       "wt4400_write(7,RFG:LEV -74.500000)"}},
        OperationCase{"ConfigureCwDcs",
                      TESTSET_4400,
                      false,
                      ConfigureCwGenerator,
                      {"wt4400_setCoupling(7,viable.cpl,1)", "wt4400_write(7,:CONF:COUP:STAT ON)",
                       "wt4400_configureGenerator(7,1842.4,-60,2,1,4,2,2,4)",
                       "wt4400_write(7,RFG:LEV -74.500000)"}},
        OperationCase{"CwFrequencyDcsSecond",
                      TESTSET_4400,
                      false,
                      [] {
                        Instruments().CwOffsetSelect = 1;
                        SetCwFrequency();
                      },
                      {"wt4400_write(7,RFG:FREQ 1842333000)"}},
        OperationCase{"StartCall",
                      TESTSET_4400,
                      false,
                      [] { EXPECT_TRUE(StartCall()); },
                      {"wt4400_waitConnected(7,10)", "wt4400_waitConnected(7,5)"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without an open test set: some operations raise the fault, some do nothing, two go ahead
// with handle 0 (and fail in the driver).
struct ClosedCase {
  const char* name;
  void (*operation)();
  bool fault;
  Calls expected;
};
class ClosedTestSet : public TestSetOperations, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(ClosedTestSet, BehavesAsWithoutInstrument) {
  const ClosedCase& c = GetParam();
  OpenAs(TESTSET_8960);
  Instruments().TestSetHandle = 0;
  c.operation();
  EXPECT_EQ(log_.calls, c.expected);
  EXPECT_EQ(Instruments().InstrumentFault, c.fault ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ClosedTestSet,
    ::testing::Values(
        ClosedCase{"StartCall", [] { EXPECT_FALSE(StartCall()); }, true, {}},
        ClosedCase{"PrepareTx", PrepareTxMeasurement, true, {}},
        ClosedCase{"ConfigureTxCell", ConfigureTxCell, true, {}},
        ClosedCase{"MsLevel", ApplyMsPowerLevel, true, {}},
        ClosedCase{"MeasureTx", MeasureTxPower, true, {}},
        ClosedCase{"ChangeTx", ChangeTxChannel, true, {}},
        ClosedCase{"RxLevel", ApplyRxPowerLevel, true, {}},
        ClosedCase{"ChangeRx", ChangeRxChannel, false, {}},
        ClosedCase{"ReadRx", ReadRxLevel, false, {}},
        ClosedCase{"StartCw", StartCwGenerator, false, {}},
        ClosedCase{"ConfigureCw", ConfigureCwGenerator, false, {}},
        ClosedCase{"ConfigureRxWithHandle0",
                   ConfigureRxCell,
                   false,
                   {"CellBand(0,1,3)", "BchChannel(0,1,512,3,1)", "CellPower(0,1,-60,0,0)"}},
        ClosedCase{"CwFrequencyWithHandle0",
                   SetCwFrequency,
                   false,
                   {"SendCommandReal(0,CALL:CELL:RFGENERATOR:FREQUENCY,1842467000)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TestSetOperations, UplinkFrequencies) {
  struct Row {
    int arfcn;
    double mhz;
  };
  for (const Row& r :
       {Row{1, 890.2}, Row{62, 902.4}, Row{124, 914.8}, Row{975, 880.2}, Row{1023, 889.8},
        Row{512, 1710.2}, Row{698, 1747.4}, Row{885, 1784.8}, Row{0, 0.0}, Row{125, 0.0},
        Row{974, 0.0}, Row{511, 0.0}, Row{886, 0.0}, Row{1024, 0.0}, Row{-1, 0.0}}) {
    EXPECT_NEAR(UplinkFrequencyMHz(r.arfcn), r.mhz, 1e-9) << r.arfcn;
  }
}

TEST_F(TestSetOperations, CwFrequencyOutsideTheTableSendsNothing) {
  for (int32_t type : {TESTSET_8960, TESTSET_4400}) {
    OpenAs(type);
    for (auto [band, select] :
         {std::pair{4, 0}, std::pair{0, 0}, std::pair{2, 2}, std::pair{3, -1}}) {
      Instruments().BandCode = static_cast<int16_t>(band);
      Instruments().CwOffsetSelect = select;
      SetCwFrequency();
    }
  }
  EXPECT_TRUE(log_.calls.empty());
  EXPECT_EQ(Instruments().InstrumentFault, 0);
}

TEST_F(TestSetOperations, ReadingsLandInTheSharedVariables) {
  OpenAs(TESTSET_4400);
  log_.reply4400 = "37\r";  // a CR LF line end with its LF taken off
  ReadRxLevel();
  EXPECT_EQ(Instruments().RxLevelReading, 37.0);
  log_.real = -11.25;
  MeasureTxPower();
  EXPECT_EQ(Instruments().TxPowerReading, -11.25);

  OpenAs(TESTSET_8960);
  log_.real = 33.0;
  ReadRxLevel();
  EXPECT_EQ(Instruments().RxLevelReading, 33.0);
  log_.real = 21.5;
  MeasureTxPower();
  EXPECT_EQ(Instruments().TxPowerReading, 21.5);
}

// A handset that never answers the call: the 4400 waits 10 s and then 5 s more.
TEST_F(TestSetOperations, CallThatNeverConnectsOn4400TakesFifteenSeconds) {
  OpenAs(TESTSET_4400);
  log_.onWait = [this](const std::string&, double seconds, ViStatus) {
    loop_.Advance(static_cast<uint64_t>(seconds * 1000));
  };
  log_.Fail("wt4400_waitConnected", WT4400_STATE_TIMEOUT, 2);
  const uint64_t start = loop_.Now();
  EXPECT_FALSE(StartCall());
  EXPECT_EQ(loop_.Now() - start, 15000u);
  EXPECT_EQ(log_.calls[0], "wt4400_waitConnected(7,10)");
}

TEST_F(TestSetOperations, CallFailsWhenOnlyTheSecondWaitFails) {
  OpenAs(TESTSET_8960);
  log_.Fail("WaitCallConnected", 0x3FFC0D01);  // a warning: not connected in time
  EXPECT_FALSE(StartCall());
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);  // a warning is not an error
}

}  // namespace
