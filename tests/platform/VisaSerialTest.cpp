#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/rigs/ScriptDevice.h"
#include "platform/rigs/ServedBench.h"
#include "platform/rigs/TransportChecks.h"
#include "sim/bench/servers/SerialInstrument.h"
#include "support/Deadline.h"

// The serial (ASRL) backend on a pseudo-terminal with the bench's RS-232 instrument behind it:
// the line settings an alias target gives, the supply's remote mode set up by "init", the
// ways a device may be named, exclusive open, and the write termination.
namespace {

using namespace std::chrono_literals;

class VisaSerial : public ::testing::Test {
 protected:
  void SetUp() override {
    visa::ResetVisaState();
    port_ = std::make_unique<sim::SerialInstrument>(served_.context(), device_);
    std::string why;
    if (!port_->Open(&why)) GTEST_SKIP() << why;
    served_.Start();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
  }
  void TearDown() override {
    visa::ResetVisaState();
    served_.Stop();
    port_.reset();
    unsetenv("TESMIRA_VISA_ALIASES");
    unsetenv("TESMIRA_COM7");
  }
  void Alias(const std::string& target) {
    setenv("TESMIRA_VISA_ALIASES", ("GPIB::5::INSTR=" + target).c_str(), 1);
  }
  ViSession Open(const std::string& name, ViStatus expect = VI_SUCCESS) {
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(rm_, name.c_str(), VI_NULL, VI_NULL, &vi), expect) << name;
    if (vi != VI_NULL) viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1000);
    return vi;
  }
  std::string Ask(ViSession vi, const std::string& query) {
    std::string reply;
    if (Write(vi, query) < VI_SUCCESS || Read(vi, &reply) < VI_SUCCESS) return "(no answer)";
    return reply;
  }
  termios Line() {
    termios t{};
    EXPECT_TRUE(served_.OnBench([&] { return port_->LineSettings(&t); }));
    return t;
  }

  testsupport::Deadline deadline_{20s};
  ServedBench served_;
  std::shared_ptr<ScriptDevice> device_ = std::make_shared<ScriptDevice>("E3631A");
  std::unique_ptr<sim::SerialInstrument> port_;
  ViSession rm_ = VI_NULL;
};

TEST_F(VisaSerial, AliasSettingsReachTheLineAndTheAttributes) {
  Alias("ASRL::" + port_->Path() +
        "::INSTR{baud=9600,data_bits=8,parity=none,stop_bits=2,flow_control=dtr_dsr,"
        "init=SYST:REM}");
  const ViSession vi = Open("GPIB::5::INSTR");
  ASSERT_NE(vi, VI_NULL);
  EXPECT_EQ(visa::SessionBackend(vi), "serial");
  ViUInt32 baud = 0;
  ViUInt16 bits = 0, parity = 9, stop = 0, flow = 0, endIn = 9, endOut = 9;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_DATA_BITS, &bits), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_PARITY, &parity), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_STOP_BITS, &stop), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_FLOW_CNTRL, &flow), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_END_IN, &endIn), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_END_OUT, &endOut), VI_SUCCESS);
  EXPECT_EQ(baud, 9600u);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(parity, VI_ASRL_PAR_NONE);
  EXPECT_EQ(stop, VI_ASRL_STOP_TWO);
  EXPECT_EQ(flow, VI_ASRL_FLOW_DTR_DSR);
  EXPECT_EQ(endIn, VI_ASRL_END_TERMCHAR);
  EXPECT_EQ(endOut, VI_ASRL_END_TERMCHAR);
  termios line = Line();
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  EXPECT_FALSE(line.c_cflag & PARENB);
  // A pty has no modem lines: DSR is unknown, and the DTR/DSR hold-off does not stop writes.
  ViInt16 dsr = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_DSR_STATE, &dsr), VI_SUCCESS);
  EXPECT_EQ(dsr, VI_STATE_UNKNOWN);
  EXPECT_EQ(Ask(vi, "*IDN?\n"), "SIM,E3631A,0,1.0\n");

  // Changed while open: the line follows. What the device cannot take is refused and the old
  // setting kept: a rate no UART has, and 7 bits with parity, which a pty does not do.
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 19200), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 12345), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_ASRL_STOP_BITS, 17), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_PARITY, &parity), VI_SUCCESS);
  EXPECT_EQ(parity, VI_ASRL_PAR_NONE);
  line = Line();
  EXPECT_EQ(cfgetospeed(&line), B19200);
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  EXPECT_EQ(Ask(vi, "*OPC?\n"), "1\n");
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
  EXPECT_EQ(baud, 19200u);
}

TEST_F(VisaSerial, TheSupplyAnswersOnlyInRemote) {
  // Without SYST:REM the supply ignores the interface, as a real E3631A expects.
  Alias("ASRL::" + port_->Path() + "::INSTR");
  ViSession vi = Open("GPIB::5::INSTR");
  ASSERT_NE(vi, VI_NULL);
  EXPECT_EQ(Ask(vi, "*IDN?\n"), "(no answer)");
  EXPECT_TRUE(served_.OnBench([&] { return device_->messages; }).empty());
  viClose(vi);
  Alias("ASRL::" + port_->Path() + "::INSTR{init=SYST:REM}");
  vi = Open("GPIB::5::INSTR");
  ASSERT_NE(vi, VI_NULL);
  EXPECT_EQ(Ask(vi, "*IDN?\n"), "SIM,E3631A,0,1.0\n");
  EXPECT_TRUE(served_.OnBench([&] { return port_->Remote(); }));
}

TEST_F(VisaSerial, DeviceNamesAndExclusiveOpen) {
  // The same line three ways: COM 7 through TESMIRA_COM7, the path, Python's form.
  setenv("TESMIRA_COM7", port_->Path().c_str(), 1);
  Alias("ASRL7::INSTR{init=SYST:REM}");
  const ViSession first = Open("GPIB::5::INSTR");
  ASSERT_NE(first, VI_NULL);
  EXPECT_EQ(Ask(first, "*OPC?\n"), "1\n");
  // Held: a second opener is refused, as a second program on the handset's port is.
  Open("ASRL/" + port_->Path().substr(1) + "::INSTR", VI_ERROR_RSRC_BUSY);
  Open("ASRL::" + port_->Path() + "::INSTR", VI_ERROR_RSRC_BUSY);
  ASSERT_EQ(viClose(first), VI_SUCCESS);
  const ViSession again = Open("ASRL/" + port_->Path().substr(1) + "::INSTR");
  ASSERT_NE(again, VI_NULL);
  EXPECT_EQ(Ask(again, "*OPC?\n"), "1\n");  // still in remote
  ASSERT_EQ(viClose(again), VI_SUCCESS);
  Open("ASRL::/dev/no-such-tty::INSTR", VI_ERROR_RSRC_NFOUND);
}

TEST_F(VisaSerial, WriteTerminationAndBadSettings) {
  Alias("ASRL::" + port_->Path() + "::INSTR{init=SYST:REM}");
  ViSession vi = Open("GPIB::5::INSTR");
  ASSERT_NE(vi, VI_NULL);
  EXPECT_EQ(Ask(vi, "*IDN?"), "SIM,E3631A,0,1.0\n");  // the line feed is added
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_NONE), VI_SUCCESS);
  EXPECT_EQ(Ask(vi, "*IDN?"), "(no answer)");  // sent as written: no end of line yet
  viClose(vi);

  for (const char* settings : {"{baud=12345}", "{flow_control=sometimes}", "{parity=7}",
                               "{stop_bits=3}", "{colour=blue}", "{baud=9600"}) {
    Alias("ASRL::" + port_->Path() + "::INSTR" + settings);
    Open("GPIB::5::INSTR", VI_ERROR_INV_RSRC_NAME);
  }
  // Line settings belong to serial targets only.
  Alias("TCPIP0::127.0.0.1::5025::SOCKET{baud=9600}");
  Open("GPIB::5::INSTR", VI_ERROR_INV_RSRC_NAME);
}

}  // namespace
