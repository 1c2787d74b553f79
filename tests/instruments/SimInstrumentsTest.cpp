// The stand-in drivers and the test-set and supply operations against the simulated
// instruments, through the VISA facade's simulated backend, in virtual time.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"
#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/Delay.h"
#include "platform/Notifier.h"
#include "platform/visa/SimDevice.h"
#include "platform/visa/visa.h"
#include "sim/Bench.h"
#include "sim/SimLoop.h"
#include "sim/instruments/Sim4400.h"
#include "sim/instruments/Sim8960.h"
#include "sim/instruments/SimScpiParser.h"
#include "sim/instruments/SimSupply.h"

namespace {

std::vector<std::string> g_debug;
void CaptureDebug(const std::string& line) {
  g_debug.push_back(line);
}

class RecordingNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

TEST(SimScpiParser, RelativePathsAndCommonCommands) {
  const auto units = sim::SplitScpiMessage("CALL:MS:REPorted:RXLevel:NEW?;NEW?;*OPC?;:SYST:ERR?");
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units[1].nodes, (std::vector<std::string>{"CALL", "MS", "REPorted", "RXLevel", "NEW"}));
  EXPECT_TRUE(units[1].query);
  EXPECT_TRUE(units[2].common);
  EXPECT_EQ(units[3].nodes, (std::vector<std::string>{"SYST", "ERR"}));
  const auto pair = sim::SplitScpiMessage("SYSTem:CORRection:SGAin -1.2;STATe ON");
  EXPECT_EQ(pair[1].nodes.front(), "SYSTem");
  EXPECT_EQ(pair[1].args, "ON");
}

TEST(SimScpiParser, HeaderForms) {
  const sim::ScpiPattern volt("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]");
  for (const char* text : {"VOLT 3.8", "voltage 3.8", "SOUR:VOLT:LEV 1", "VOLTage:AMPL 1"})
    EXPECT_TRUE(volt.Matches(sim::SplitScpiMessage(text)[0])) << text;
  for (const char* text : {"VOLTA 1", "VOL 1", "VOLT? ", "SOUR:CURR 1"})
    EXPECT_FALSE(volt.Matches(sim::SplitScpiMessage(text)[0])) << text;
  const sim::ScpiPattern rfg("CALL:CELL:RFGenerator:CHANnel:EGSM");
  EXPECT_TRUE(rfg.Matches(sim::SplitScpiMessage("CALL:CELL:RFGENERATOR:CHANNEL:EGSM 62")[0]));
  EXPECT_TRUE(rfg.Matches(sim::SplitScpiMessage("call:cell:rfg:chan:egsm 62")[0]));
}

// A header with many optional parts (found by fuzzing) is matched without trying every choice
// of them: 80 optional parts once hung the parser and shifted past the width of size_t.
TEST(SimScpiParser, ManyOptionalPartsMatchInPlace) {
  std::string pattern = "VOLTage";
  std::string longest = "VOLT";
  for (int i = 0; i < 80; ++i) {
    pattern += "[:LEVel]";
    if (i % 2 == 0) longest += ":LEV";
  }
  const sim::ScpiPattern many(pattern);
  EXPECT_TRUE(many.Matches(sim::SplitScpiMessage("VOLT 1")[0]));
  EXPECT_TRUE(many.Matches(sim::SplitScpiMessage(longest + " 1")[0]));
  EXPECT_FALSE(many.Matches(sim::SplitScpiMessage("VOLT:CURR 1")[0]));
  EXPECT_FALSE(many.Matches(sim::SplitScpiMessage("LEV:VOLT 1")[0]));
}

class SimInstruments : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstrumentState();
    Instruments().loop = &loop_;
    Instruments().notifier = &notifier_;
    visa::SetSimTimeSink([this](uint32_t ms) { loop_.Advance(ms); });
    SetDelayHandler([this](double s) { loop_.Advance(static_cast<uint64_t>(s * 1000.0)); });
    g_debug.clear();
    SetDebugSink(CaptureDebug);
  }
  void TearDown() override {
    CloseTestSet();
    CloseSupply();
    visa::ClearSimDevices();
    visa::ResetVisaState();
    visa::SetSimTimeSink(nullptr);
    SetDelayHandler(nullptr);
    SetDebugSink(nullptr);
    ResetInstrumentState();
  }
  void Add8960() {
    tester_ = std::make_shared<sim::Sim8960>(bench_);
    visa::RegisterSimDevice(RESOURCE_8960, tester_);
    Instruments().TestSetType = TESTSET_8960;
  }
  void AddSupply(sim::SupplyModel model, int32_t type) {
    supply_ = std::make_shared<sim::SimSupply>(bench_, model);
    visa::RegisterSimDevice(RESOURCE_SUPPLY, supply_);
    Instruments().SupplyType = type;
  }
  // A handset in the jig, powered, booted and camped on the cell.
  void PoweredHandset() {
    AddSupply(sim::SupplyModel::E3631A, SUPPLY_E3631A);
    bench_.InsertHandset(true);
    ASSERT_TRUE(OpenSupply());
    SetSupplyNominal();
    loop_.Advance(sim::Bench::BOOT_MS + 100);
    ASSERT_TRUE(bench_.HandsetReady());
  }
  void GsmSubBand2() {
    InstrumentState& s = Instruments();
    s.BandCode = BAND_GSM900;
    s.BchChannel = 80;
    s.TchChannel = 62;
    s.MsPowerLevel = 10;
    s.PathLoss = -1.2;
  }

  SimLoop loop_;
  sim::Bench bench_{7, [this] { return loop_.Now(); }};
  RecordingNotifier notifier_;
  std::shared_ptr<sim::SimScpiDevice> tester_;
  std::shared_ptr<sim::SimScpiDevice> supply_;
};

TEST_F(SimInstruments, Opens8960WithItsIdentity) {
  Add8960();
  ASSERT_TRUE(OpenTestSet());
  EXPECT_NE(Drivers().testSet8960->Identity(Instruments().TestSetHandle).find("E5515B"),
            std::string::npos);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
  EXPECT_TRUE(notifier_.messages.empty());
}

struct OpenFault {
  const char* name;
  bool registered;
  bool sim::BenchFaults::*fault;
  std::string message;
};
class SimOpenFault : public SimInstruments, public ::testing::WithParamInterface<OpenFault> {};

TEST_P(SimOpenFault, ShowsWhyAndStaysClosed) {
  const OpenFault& f = GetParam();
  if (f.registered) Add8960();
  Instruments().TestSetType = TESTSET_8960;
  if (f.fault) bench_.faults.*f.fault = true;
  EXPECT_FALSE(OpenTestSet());
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{f.message});
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimOpenFault,
    ::testing::Values(
        OpenFault{"NothingThere", false, nullptr, "\ninit failed with return code -1073807343.\n"},
        OpenFault{"WrongIdentity", true, &sim::BenchFaults::testSetWrongIdentity,
                  "  Error Status:  -1074003951 Error Message :Instrument identification query "
                  "failed \n"},
        OpenFault{"NoAnswer", true, &sim::BenchFaults::testSetSilent,
                  "  Error Status:  -1073807339 Error Message :Timeout expired before operation "
                  "completed \n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every operation of every calibration, for both bands: the simulator takes all of it.
TEST_F(SimInstruments, EveryOperationIsAccepted) {
  Add8960();
  ASSERT_TRUE(OpenTestSet());
  for (int16_t band : {BAND_GSM900, BAND_DCS1800}) {
    InstrumentState& s = Instruments();
    s.BandCode = band;
    s.BchChannel = band == BAND_GSM900 ? 80 : 512;
    s.TchChannel = band == BAND_GSM900 ? 124 : 885;
    s.MsPowerLevel = band == BAND_GSM900 ? 5 : 100;
    s.PathLoss = band == BAND_GSM900 ? -1.2 : -1.7;
    ResetTestSet();
    PrepareTxMeasurement();
    ConfigureTxCell();
    ApplyMsPowerLevel();
    ApplyPathLoss();
    MeasureTxPower();
    ChangeTxChannel();
    ConfigureRxCell();
    ChangeRxChannel();
    ReadRxLevel();
    StartCwGenerator();
    ConfigureCwGenerator();
    SetCwFrequency();
    IdleTestSet();
  }
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(tester_->ErrorCount(), 0u);
  for (const std::string& line : g_debug) EXPECT_EQ(line.find("Error"), std::string::npos) << line;
}

TEST_F(SimInstruments, CallAndMeasurementsThroughThePath) {
  PoweredHandset();
  bench_.SetSignalling(true);
  Add8960();
  ASSERT_TRUE(OpenTestSet());
  GsmSubBand2();
  // The TX set-up leaves the set in test mode, where it makes no call; the end of the test
  // brings it back to active cell.
  PrepareTxMeasurement();
  EXPECT_FALSE(StartCall());
  EXPECT_EQ(Instruments().TestSetErrorCount, 1);
  IdleTestSet();
  Instruments().TestSetErrorCount = 0;
  ConfigureTxCell();
  const uint64_t start = loop_.Now();
  ASSERT_TRUE(StartCall());
  EXPECT_GT(loop_.Now() - start, 1000u);  // the set-up takes its time
  EXPECT_LT(loop_.Now() - start, 5000u);

  MeasureTxPower();
  int arfcn = 0;
  const double atAntenna = bench_.HandsetTxDbm(&arfcn);
  ASSERT_EQ(arfcn, 62);
  // The 1.2 dB the operator entered are made up for; the path's real loss is not.
  const double expected = atAntenna - bench_.PathLossDb(UplinkFrequencyMHz(62)) + 1.2;
  EXPECT_NEAR(Instruments().TxPowerReading, expected, 0.1);

  ApplyRxPowerLevel();
  ReadRxLevel();
  const double reported = bench_.MsReportedRxLevel();
  ASSERT_FALSE(std::isnan(reported));
  EXPECT_NEAR(Instruments().RxLevelReading, reported, 1.0);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
}

// The simulated instruments refuse what the manuals say the real ones refuse, with an error in
// the queue; what they take is what the stand-ins send.
struct Refusal {
  const char* line;
  int code;
};

TEST_F(SimInstruments, The8960RefusesWhatItsManualRefuses) {
  Add8960();
  const Refusal cases[] = {
      {"CALL:OPERating:MODE OFF", -224},  // the E1960A has CALL | CELL | TEST
      {"CALL:TCHannel:ARFCn:DCS 886", -222},
      {"CALL:TCHannel:ARFCn:EGSM 125", -222},
      {"CALL:BCHannel:ARFCn:EGSM 974", -222},
      {"CALL:MS:TXLevel:EGSM 32", -222},
      {"CALL:OPERating:MODE TEST;:CALL:ORIGinate", -221},  // no calls in test mode
      {"CALL:FUNCtion:DOWNlink TCH", -224},
      {"CALL:CONNected:ARM 5", -108},
      {"CALL:BOGus", -113},
  };
  for (const Refusal& c : cases) {
    ASSERT_EQ(tester_->ErrorCount(), 0u);
    tester_->Write(c.line);
    ASSERT_EQ(tester_->ErrorCount(), 1u) << c.line;
    tester_->Write("SYSTem:ERRor?");
    EXPECT_EQ(tester_->Read().value_or("").substr(0, 4), std::to_string(c.code)) << c.line;
    tester_->Write("*RST");
  }
}

TEST_F(SimInstruments, SuppliesRefuseWhatTheirManualsRefuse) {
  struct Case {
    sim::SupplyModel model;
    Refusal refusal;
  };
  const Case cases[] = {
      {sim::SupplyModel::E3631A, {"INSTrument:SELect P6V;:CURRent 5.2", -222}},
      {sim::SupplyModel::E3631A, {"MEASure:CURRent? P7V", -224}},
      {sim::SupplyModel::E3631A, {"INSTrument:NSELect 3;:VOLTage 5", -222}},  // 0 to -25.75 V
      {sim::SupplyModel::E3632A, {"MEASure:CURRent? P6V", -108}},
      {sim::SupplyModel::E3632A, {"VOLTage 31", -222}},
      {sim::SupplyModel::E3633A, {"INSTrument:NSELect 1", -113}},
      {sim::SupplyModel::HP66311B, {"APPLy 3.8,3.0", -113}},
      {sim::SupplyModel::HP66311B, {"CURR 3.1", -222}},
  };
  for (const Case& c : cases) {
    sim::SimSupply supply(bench_, c.model);
    supply.Write(c.refusal.line);
    ASSERT_EQ(supply.ErrorCount(), 1u) << c.refusal.line;
    supply.Write("SYSTem:ERRor?");
    EXPECT_EQ(supply.Read().value_or("").substr(0, 4), std::to_string(c.refusal.code))
        << c.refusal.line;
  }
}

TEST_F(SimInstruments, CallThatNeverConnectsOn8960) {
  PoweredHandset();
  bench_.SetSignalling(false);  // in test mode: never answers the paging
  Add8960();
  ASSERT_TRUE(OpenTestSet());
  GsmSubBand2();
  ConfigureTxCell();
  const uint64_t start = loop_.Now();
  EXPECT_FALSE(StartCall());
  EXPECT_GE(loop_.Now() - start, 5000u);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);  // "not connected" is no driver error
}

TEST_F(SimInstruments, CallThatNeverConnectsOn4400TakesFifteenSeconds) {
  PoweredHandset();
  bench_.SetSignalling(false);
  auto tester = std::make_shared<sim::Sim4400>(bench_);
  visa::RegisterSimDevice("GPIB0::4", tester);
  Instruments().TestSetType = TESTSET_4400;
  ASSERT_TRUE(OpenTestSet());
  const uint64_t start = loop_.Now();
  EXPECT_FALSE(StartCall());
  const uint64_t took = loop_.Now() - start;
  EXPECT_GE(took, 15000u);
  EXPECT_LT(took, 17000u);  // the waits, plus the bus time of polling and the resets after each
}

TEST_F(SimInstruments, InstrumentErrorsAreCountedAndDropTheTestSet) {
  Add8960();
  ASSERT_TRUE(OpenTestSet());
  bench_.faults.testSetError = true;
  GsmSubBand2();
  ConfigureRxCell();
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  ASSERT_FALSE(g_debug.empty());
  EXPECT_EQ(g_debug.front(), "Instrument Error : -200, Execution error\n");
}

struct SupplyCase {
  const char* name;
  sim::SupplyModel model;
  int32_t type;
};
class SimSupplies : public SimInstruments, public ::testing::WithParamInterface<SupplyCase> {};

TEST_P(SimSupplies, NominalOutputAndTheHandsetsCurrent) {
  const SupplyCase& c = GetParam();
  AddSupply(c.model, c.type);
  bench_.InsertHandset(true);
  ASSERT_TRUE(OpenSupply());
  SetSupplyCharged();
  SetSupplyNominal();
  EXPECT_DOUBLE_EQ(bench_.SupplyVolts(), 3.8);
  EXPECT_TRUE(bench_.SupplyOutputOn());
  loop_.Advance(sim::Bench::BOOT_MS + 100);
  const double amps = ReadSupplyCurrent();
  EXPECT_GT(amps, 0.075);
  EXPECT_LT(amps, 3.0);
  bench_.InsertHandset(false);
  EXPECT_LT(ReadSupplyCurrent(), 0.025);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(supply_->ErrorCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimSupplies,
    ::testing::Values(SupplyCase{"E3631A", sim::SupplyModel::E3631A, SUPPLY_E3631A},
                      SupplyCase{"E3632A", sim::SupplyModel::E3632A, SUPPLY_E3632A},
                      SupplyCase{"E3633A", sim::SupplyModel::E3633A, SUPPLY_E3632A},
                      SupplyCase{"HP66311B", sim::SupplyModel::HP66311B, SUPPLY_66311B}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimInstruments, WrongSupplyModelIsRefused) {
  AddSupply(sim::SupplyModel::E3631A, SUPPLY_66311B);
  EXPECT_FALSE(OpenSupply());
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  EXPECT_EQ(Instruments().SupplyHandle, 0u);
  EXPECT_FALSE(bench_.SupplyOutputOn());
}

}  // namespace
