// The 8960 stand-in against a scripted instrument: the lines it sends, the replies it takes as
// readings, and what it does after a reply came too late.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/visa/SimDevice.h"
#include "platform/visa/visa.h"
#include "sim/SimLoop.h"
#include "support/ScriptedScpiDevice.h"

namespace {

constexpr const char* RESOURCE = "GPIB0::14::INSTR";

// A scripted 8960 that can answer one query late (busy longer than the read waits). On GPIB
// the next message then interrupts the late reply (-410 in the queue); on a socket the reply
// still arrives and waits in the input.
class LateDevice : public ScriptedScpiDevice {
 public:
  std::string lateQuery;
  uint32_t lateMs = 0;
  bool interrupts = false;

  uint32_t Write(const std::string& message) override {
    if (interrupts && !output.empty()) {
      output.clear();
      errors.push_back({-410, "Query INTERRUPTED"});
    }
    // The script answers the error queue under its short form.
    const uint32_t busy =
        ScriptedScpiDevice::Write(message == "SYSTem:ERRor?" ? ":SYST:ERR?" : message);
    return message == lateQuery ? lateMs : busy;
  }
};

class Driver8960Test : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("TESMIRA_VISA_ALIASES");
    unsetenv("TESMIRA_VISA_LIBRARY");
    visa::ResetVisaState();
    visa::ClearSimDevices();
    visa::SetSimTimeSink([this](uint32_t ms) { loop.Advance(ms); });
    device = std::make_shared<LateDevice>();
    device->answers["*IDN?"] = "Agilent Technologies,8960 Series 10 E5515B,GB1,A.10.05";
    device->answers["*OPC?"] = "1";
    visa::RegisterSimDevice(RESOURCE, device);
    driver = MakeScpi8960Driver();
    ASSERT_EQ(driver->Init(RESOURCE, VI_TRUE, VI_TRUE, &vi), VI_SUCCESS);
    device->messages.clear();
  }
  void TearDown() override {
    driver.reset();
    visa::ClearSimDevices();
    visa::ResetVisaState();
    visa::SetSimTimeSink(nullptr);
  }

  SimLoop loop;
  std::shared_ptr<LateDevice> device;
  std::shared_ptr<TestSet8960Driver> driver;
  ViSession vi = 0;
};

TEST_F(Driver8960Test, OnlyANumberIsAReading) {
  struct Case {
    const char* reply;
    ViStatus status;
    double value;  // NaN: no reading
  };
  const Case cases[] = {
      {"42", VI_SUCCESS, 42.0},
      {" -3.5E+00 ", VI_SUCCESS, -3.5},
      {"9.91E+37", VI_SUCCESS, NAN},   // the set has no value: no reading, not an error
      {"12;13;37", VI_SUCCESS, 37.0},  // of "NEW?;NEW?;NEW?" only the third is valid
      {"12;13;9.91E+37", VI_SUCCESS, NAN},
      {"+0,\"No error\"", VI_ERROR_INV_RESPONSE, NAN},  // an error-queue line out of step
      {"12,5", VI_ERROR_INV_RESPONSE, NAN},
      {"12abc", VI_ERROR_INV_RESPONSE, NAN},
      {"", VI_ERROR_INV_RESPONSE, NAN},
      {"nan", VI_ERROR_INV_RESPONSE, NAN},
      {"0x10", VI_ERROR_INV_RESPONSE, NAN},
  };
  for (const Case& c : cases) {
    device->answers["CALL:MS:REPorted:RXLevel?"] = c.reply;
    double value = 0.0;
    EXPECT_EQ(driver->QueryReal(vi, "CALL:MS:REPorted:RXLevel?", &value), c.status) << c.reply;
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(value)) << c.reply;
    } else {
      EXPECT_DOUBLE_EQ(value, c.value) << c.reply;
    }
  }
  device->answers["READ:TXPower?"] = "1,9.91E+37";
  ViInt32 integrity = 0;
  double dbm = 0.0;
  EXPECT_EQ(driver->ReadTxPower(vi, 0, &integrity, &dbm), VI_SUCCESS);
  EXPECT_EQ(integrity, 1);
  EXPECT_TRUE(std::isnan(dbm));
  device->answers["READ:TXPower?"] = "0,-20.5,3";
  EXPECT_EQ(driver->ReadTxPower(vi, 0, &integrity, &dbm), VI_ERROR_INV_RESPONSE);
  EXPECT_TRUE(std::isnan(dbm));
}

// After a time-out, neither the late reply nor the -410 it causes is taken for the next answer.
TEST_F(Driver8960Test, ALateReplyIsNeverTheNextAnswer) {
  for (bool interrupts : {false, true}) {
    SCOPED_TRACE(interrupts ? "GPIB: interrupted" : "socket: reply waits");
    device->interrupts = interrupts;
    device->lateQuery = "READ:TXPower?";
    device->lateMs = 15000;  // the read waits 10 s
    device->answers["READ:TXPower?"] = "0,-20.5";
    device->answers["CALL:MS:REPorted:RXLevel?"] = "42";
    ViInt32 integrity = 0;
    double dbm = 0.0;
    EXPECT_EQ(driver->ReadTxPower(vi, 0, &integrity, &dbm), VI_ERROR_TMO);
    EXPECT_TRUE(std::isnan(dbm));
    double level = 0.0;
    EXPECT_EQ(driver->QueryReal(vi, "CALL:MS:REPorted:RXLevel?", &level), VI_SUCCESS);
    EXPECT_DOUBLE_EQ(level, 42.0);
    ViInt32 code = -1;
    char text[256];
    EXPECT_EQ(driver->ErrorQuery(vi, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, 0) << text;  // the interruption is not blamed on anyone
    EXPECT_TRUE(device->output.empty());
  }
}

TEST_F(Driver8960Test, AnUnknownQueryStillReportsItsError) {
  device->errors = {{-113, "Undefined header"}};  // refused, so never answered
  double value = 0.0;
  EXPECT_EQ(driver->QueryReal(vi, "CALL:BOGUS?", &value), VI_INSTR_ERROR_DETECTED);
  ViInt32 code = 0;
  char text[256];
  EXPECT_EQ(driver->ErrorQuery(vi, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, -113);
}

TEST_F(Driver8960Test, ModesCallWaitAndEndOfTest) {
  struct Case {
    std::function<ViStatus()> call;
    std::vector<std::string> sent;
  };
  device->answers["CALL:CONNected:STATe?"] = "1";
  const Case cases[] = {
      // 0 is test mode, where the downlink function of the TX and CW set-ups applies.
      {[&] { return driver->OperatingMode(vi, 0); }, {"CALL:OPERating:MODE TEST"}},
      {[&] { return driver->OperatingMode(vi, 1); }, {"CALL:OPERating:MODE CALL"}},
      // The detector is armed again so the wait's own time-out holds while the call is idle.
      {[&] { return driver->WaitCallConnected(vi, 5.0); },
       {"CALL:CONNected:TIMeout 5", "CALL:CONNected:ARM", "CALL:CONNected:STATe?"}},
      // Back to active cell for the next calibration's call.
      {[&] { return driver->EndOfTest(vi); }, {"CALL:OPERating:MODE CALL", "CALL:END"}},
  };
  for (const Case& c : cases) {
    device->messages.clear();
    EXPECT_EQ(c.call(), VI_SUCCESS);
    EXPECT_EQ(device->Commands(), c.sent);
  }
  device->answers["CALL:CONNected:STATe?"] = "0";
  EXPECT_EQ(driver->WaitCallConnected(vi, 5.0), VI_WARN_NOT_CONNECTED);
}

}  // namespace
