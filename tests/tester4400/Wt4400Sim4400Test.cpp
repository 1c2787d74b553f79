#include <cmath>

#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/GsmChannels.h"
#include "sim/instruments/Sim4400.h"
#include "tester4400/Wt4400Fixture.h"

// The driver against the simulated 4400 on the bench, in virtual time: the operations the
// station uses do to the bench what they would do to the RF world.
namespace {

class Sim4400Test : public Wt4400Test {
 protected:
  void SetUp() override {
    Wt4400Test::SetUp();
    bench = std::make_unique<sim::Bench>(7, [this] { return loop.Now(); });
    tester = std::make_shared<sim::Sim4400>(*bench);
    visa::RegisterSimDevice(sim::Sim4400::RESOURCE, tester);
  }
  void TearDown() override {
    Wt4400Test::TearDown();
    tester.reset();
    bench.reset();
  }
  ViSession OpenTester() {
    ViSession handle = 0;
    EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_SUCCESS);
    EXPECT_EQ(wt4400_setIoMode(handle, 1, 0, "", 0), VI_SUCCESS);
    return handle;
  }

  std::unique_ptr<sim::Bench> bench;
  std::shared_ptr<sim::Sim4400> tester;
};

TEST_F(Sim4400Test, OpensSelectsSignallingAndReportsErrors) {
  const ViSession handle = OpenTester();
  const uint64_t start = loop.Now();
  EXPECT_EQ(wt4400_selectSystem(handle, 1), VI_SUCCESS);
  const uint64_t took = loop.Now() - start;
  EXPECT_GE(took, sim::Sim4400::GSM_START_MS);
  EXPECT_LT(took, sim::Sim4400::GSM_START_MS + 500);
  EXPECT_EQ(wt4400_setCoupling(handle, "viable.cpl", 1), VI_SUCCESS);
  EXPECT_EQ(wt4400_setCoupling(handle, "other.cpl", 1), WT4400_INSTR_ERROR_BASE - 256);

  EXPECT_EQ(wt4400_writeAndCheck(handle, ":NOT:A:COMMAND"), static_cast<ViStatus>(0xBFFE7F8F));
  char text[300] = {};
  wt4400_errorText(handle, static_cast<ViStatus>(0xBFFE7F8F), text);
  EXPECT_STREQ(text, "Instrument Error Message: Undefined header");
  EXPECT_EQ(wt4400_resetAndWait(handle), VI_SUCCESS);
}

TEST_F(Sim4400Test, FaultsOfTheTester) {
  bench->faults.testSetWrongIdentity = true;
  ViSession handle = 0;
  EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_ERROR_INV_RESPONSE);
  bench->faults.testSetWrongIdentity = false;
  bench->faults.testSetSilent = true;
  EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_ERROR_FAIL_ID_QUERY);
  bench->faults.testSetSilent = false;
  bench->faults.testSetError = true;
  EXPECT_EQ(wt4400_init("GPIB0::4", 0, 0, &handle), VI_SUCCESS);
  EXPECT_EQ(wt4400_writeAndCheck(handle, "*CLS"), VI_SUCCESS);  // status commands are spared
  EXPECT_EQ(wt4400_writeAndCheck(handle, ":CONF:CSYS NONE"), WT4400_INSTR_ERROR_BASE - 200);
}

// A tester that stops answering costs one time-out per query, not a second one for the error
// queue; one whose connection closed costs none, and the query says which it was.
TEST_F(Sim4400Test, AQueryToALostTesterEndsWithinItsTimeOut) {
  const ViSession handle = OpenTester();
  char reply[64] = {};
  bench->faults.testSetSilent = true;
  uint64_t start = loop.Now();
  EXPECT_EQ(wt4400_query(handle, ":CALL:MSINFO:RXLEVEL?", reply, sizeof reply), VI_ERROR_TMO);
  const uint64_t silent = loop.Now() - start;
  EXPECT_GE(silent, 10000u);
  EXPECT_LE(silent, 10000u + 1000u);
  EXPECT_STREQ(reply, "");
  bench->faults.testSetSilent = false;
  bench->faults.testSetClosed = true;
  start = loop.Now();
  EXPECT_EQ(wt4400_query(handle, ":CALL:MSINFO:RXLEVEL?", reply, sizeof reply), VI_ERROR_CONN_LOST);
  EXPECT_LE(loop.Now() - start, 10u);
  // A query the tester refuses by not answering is still explained by its queue.
  bench->faults.testSetClosed = false;
  start = loop.Now();
  EXPECT_EQ(wt4400_query(handle, ":NOT:A:QUERY?", reply, sizeof reply),
            static_cast<ViStatus>(0xBFFE7F8F));
  EXPECT_LE(loop.Now() - start, 10000u + 1000u);
}

TEST_F(Sim4400Test, TheCwToneReachesTheHandsetAtTheLevelAsked) {
  const ViSession handle = OpenTester();
  auto& handset = bench->handset();
  handset.rxContinuous = true;
  handset.rxContChannel = 62;
  ASSERT_EQ(wt4400_selectSystem(handle, 1), VI_SUCCESS);
  ASSERT_EQ(wt4400_setCoupling(handle, "viable.cpl", 1), VI_SUCCESS);
  ASSERT_EQ(wt4400_configureGenerator(handle, 947.4, -60, 2, 1, 4, 2, 2, 4), VI_SUCCESS);
  ASSERT_EQ(wt4400_write(handle, "RFG:LEV -74.500000"), VI_SUCCESS);
  loop.Advance(1000);
  EXPECT_NEAR(bench->HandsetInputDbm(), -74.5, 1e-6);  // the table makes up for the path

  // Without the coupling table the path loss shows.
  ASSERT_EQ(wt4400_setCoupling(handle, nullptr, 0), VI_SUCCESS);
  EXPECT_NEAR(bench->HandsetInputDbm(), -74.5 - bench->PathLossDb(947.4), 1e-6);
}

TEST_F(Sim4400Test, TxPowerOfTheHandsetThroughTheCouplingTable) {
  const ViSession handle = OpenTester();
  auto& handset = bench->handset();
  handset.testMode = 1;
  handset.rfEnable = 2;
  handset.rfParams[2] = 62;
  handset.txLevel = 7;
  ASSERT_EQ(wt4400_selectSystem(handle, 3), VI_SUCCESS);
  ASSERT_EQ(wt4400_setCoupling(handle, "viable.cpl", 1), VI_SUCCESS);
  ASSERT_EQ(wt4400_write(handle, "RFAN:FREQ 902400000.000000"), VI_SUCCESS);
  loop.Advance(sim::Sim4400::GEN_START_MS);
  ASSERT_EQ(wt4400_setStatistic(handle, 0), VI_SUCCESS);
  double dbm = 0.0;
  ASSERT_EQ(wt4400_measureTxPower(handle, &dbm, 1), VI_SUCCESS);
  int arfcn = 0;
  const double truth = bench->HandsetTxDbm(&arfcn);
  ASSERT_EQ(arfcn, 62);
  EXPECT_NEAR(dbm, truth, 0.06);
  ASSERT_EQ(wt4400_measureTxPower(handle, &dbm, 20), VI_SUCCESS);
  EXPECT_NEAR(dbm, truth, 0.06);

  // The analyser on another channel sees nothing: not a number, so no reading.
  ASSERT_EQ(wt4400_write(handle, "RFAN:FREQ 0.000000"), VI_SUCCESS);
  EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 1), WT4400_PARSE_ERROR);
}

TEST_F(Sim4400Test, ACallComesUpAndTheHandsetReportsItsLevel) {
  const ViSession handle = OpenTester();
  ASSERT_EQ(wt4400_selectSystem(handle, 1), VI_SUCCESS);
  ASSERT_EQ(wt4400_setCoupling(handle, "viable.cpl", 1), VI_SUCCESS);
  ASSERT_EQ(wt4400_write(handle, "CONF:GSM:BS:LEV -60"), VI_SUCCESS);
  ASSERT_EQ(wt4400_write(handle, "CONF:GSM:BS:TCH:ARFC 62"), VI_SUCCESS);
  int32_t state = -1;
  EXPECT_EQ(wt4400_readSignallingState(handle, &state), VI_SUCCESS);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(wt4400_originateAndWait(handle, 15.0), VI_SUCCESS);
  EXPECT_EQ(wt4400_readSignallingState(handle, &state), VI_SUCCESS);
  EXPECT_EQ(state, 4);
  char reply[128] = {};
  EXPECT_EQ(wt4400_query(handle, ":CALL:MSINFO:RXLEVEL?", reply, sizeof reply), VI_SUCCESS);
  EXPECT_NEAR(std::atoi(reply), 50, 8) << reply;  // -60 dBm is about level 50
  EXPECT_EQ(wt4400_releaseAndWait(handle), VI_SUCCESS);
  EXPECT_EQ(wt4400_readSignallingState(handle, &state), VI_SUCCESS);
  EXPECT_EQ(state, 0);
}

}  // namespace
