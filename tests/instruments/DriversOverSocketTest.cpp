// The stand-in drivers against the simulated instruments served on loopback TCP, as
// tesmira-bench serves them: the real socket backend of the VISA facade end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "LoopbackBench.h"
#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/visa/visa.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim8960.h"
#include "sim/instruments/SimSupply.h"

using namespace std::chrono_literals;
using testing_instruments::Deadline;
using testing_instruments::LoopbackBench;

namespace {

class DriversOverSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    tester_ = std::make_unique<sim::ScpiTcpServer>(rig_.context(),
                                                   std::make_shared<sim::Sim8960>(rig_.bench()));
    supply_ = std::make_unique<sim::ScpiTcpServer>(
        rig_.context(), std::make_shared<sim::SimSupply>(rig_.bench(), sim::SupplyModel::E3631A));
    ASSERT_TRUE(tester_->Listen());
    ASSERT_TRUE(supply_->Listen());
    rig_.bench().InsertHandset(true);
  }
  void TearDown() override {
    rig_.Stop();
    visa::ResetVisaState();
  }

  Deadline deadline_{20s};
  LoopbackBench rig_;
  std::unique_ptr<sim::ScpiTcpServer> tester_;
  std::unique_ptr<sim::ScpiTcpServer> supply_;
};

TEST_F(DriversOverSocket, IdentityMeasurementAndErrorFrom8960) {
  rig_.Start();
  auto driver = MakeScpi8960Driver();
  ViSession vi = 0;
  ASSERT_EQ(driver->Init(tester_->Resource().c_str(), VI_TRUE, VI_TRUE, &vi), VI_SUCCESS);
  EXPECT_NE(driver->Identity(vi).find("E5515B"), std::string::npos);

  // Nothing transmits: the measurement comes back with its "no result" integrity.
  ViInt32 integrity = -1;
  ViReal64 dbm = 0;
  EXPECT_EQ(driver->ReadTxPower(vi, 0, &integrity, &dbm), VI_SUCCESS);
  EXPECT_EQ(integrity, 1);
  EXPECT_TRUE(std::isnan(dbm));  // 9.91E+37 is no power

  EXPECT_EQ(driver->SendCommand(vi, "CALL:BOGUS 1"), VI_INSTR_ERROR_DETECTED);
  driver->Clear(vi);  // the station clears before it asks, the error is kept for it
  ViInt32 code = 0;
  char text[256];
  EXPECT_EQ(driver->ErrorQuery(vi, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, -113);
  EXPECT_STREQ(text, "Undefined header");
  EXPECT_EQ(driver->ErrorQuery(vi, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(driver->Close(vi), VI_SUCCESS);
}

TEST_F(DriversOverSocket, SupplyOutputAndCurrent) {
  rig_.Start();
  auto driver = MakeScpiE3631ADriver();
  ViSession vi = 0;
  ASSERT_EQ(driver->Init(supply_->Resource().c_str(), VI_TRUE, VI_TRUE, &vi), VI_SUCCESS);
  EXPECT_NE(driver->Identity(vi).find("E3631A"), std::string::npos);
  EXPECT_EQ(driver->SetVoltage(vi, 1, 3.8), VI_SUCCESS);
  EXPECT_EQ(driver->SetCurrentLimit(vi, 1, 3.0), VI_SUCCESS);
  EXPECT_EQ(driver->OutputOn(vi, VI_TRUE), VI_SUCCESS);
  ViReal64 amps = 0;
  EXPECT_EQ(driver->MeasureCurrent(vi, 1, &amps), VI_SUCCESS);
  EXPECT_GT(amps, 0.0);
  EXPECT_LT(amps, 3.0);
  // Out of the output's range: refused by the driver, nothing sent. The -25V output is
  // programmed in negative volts, as the instrument takes them.
  EXPECT_EQ(driver->SetVoltage(vi, 1, 7.0), VI_ERROR_PARAMETER3);
  EXPECT_EQ(driver->SetVoltage(vi, 3, 5.0), VI_ERROR_PARAMETER3);
  EXPECT_EQ(driver->SetVoltage(vi, 3, -5.0), VI_SUCCESS);
  ViInt32 code = 1;
  char text[256];
  EXPECT_EQ(driver->ErrorQuery(vi, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, 0) << text;
  EXPECT_EQ(driver->Close(vi), VI_SUCCESS);
}

// (No answer at all is tried in virtual time: over a socket it costs the full time-out.)
TEST_F(DriversOverSocket, WrongIdentity) {
  rig_.bench().faults.supplyWrongIdentity = true;
  rig_.Start();
  auto supply = MakeScpiE3631ADriver();
  ViSession vi = 0;
  EXPECT_EQ(supply->Init(supply_->Resource().c_str(), VI_TRUE, VI_TRUE, &vi),
            VI_ERROR_FAIL_ID_QUERY);
  ASSERT_NE(vi, 0u);  // handed back so the caller can ask why and close it
  EXPECT_NE(supply->Identity(vi).find("34401A"), std::string::npos);
  EXPECT_EQ(supply->Close(vi), VI_SUCCESS);
}

}  // namespace
