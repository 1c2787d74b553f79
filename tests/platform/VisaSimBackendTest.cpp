#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/visa/Backends.h"
#include "platform/visa/SimDevice.h"
#include "platform/visa/visa.h"
#include "support/ScriptedScpiDevice.h"

// The facade's session handling and its in-process backend, with a scripted instrument and the
// simulated time counted instead of slept.
namespace {

class VisaSimBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("TESMIRA_VISA_ALIASES");
    unsetenv("TESMIRA_VISA_LIBRARY");
    visa::ResetVisaState();
    visa::SetSimTimeSink([this](uint32_t ms) { spentMs += ms; });
    device = std::make_shared<ScriptedScpiDevice>();
    visa::RegisterSimDevice("GPIB0::4::INSTR", device);
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  }
  void TearDown() override {
    visa::ResetVisaState();
    visa::ClearSimDevices();
    visa::SetSimTimeSink(nullptr);
    unsetenv("TESMIRA_VISA_ALIASES");
  }

  ViSession Open(const char* name) {
    ViSession vi = 0;
    EXPECT_EQ(viOpen(rm, name, VI_NULL, VI_NULL, &vi), VI_SUCCESS) << name;
    return vi;
  }
  ViStatus Write(ViSession vi, const std::string& text) {
    ViUInt32 n = 0;
    return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                   static_cast<ViUInt32>(text.size()), &n);
  }
  ViStatus Read(ViSession vi, std::string* text, ViUInt32 count = 256) {
    std::string buf(count, '\0');
    ViUInt32 got = 0;
    const ViStatus status = viRead(vi, reinterpret_cast<ViBuf>(buf.data()), count, &got);
    *text = buf.substr(0, got);
    return status;
  }

  ViSession rm = 0;
  std::shared_ptr<ScriptedScpiDevice> device;
  uint64_t spentMs = 0;
};

TEST_F(VisaSimBackend, EverySpellingOfTheAddressReachesTheRegisteredDevice) {
  for (const char* name : {"GPIB0::4", "GPIB0::4::INSTR", "GPIB::4::INSTR", "gpib0::4"}) {
    const ViSession vi = Open(name);
    EXPECT_EQ(visa::SessionBackend(vi), "sim");
    char resource[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, resource), VI_SUCCESS);
    EXPECT_STREQ(resource, "GPIB0::4::INSTR");
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
  }
  ViSession vi = 123;
  EXPECT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_NULL, VI_NULL, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(viOpen(rm, "GPIB0::99", VI_NULL, VI_NULL, &vi), VI_ERROR_INV_RSRC_NAME);
}

TEST_F(VisaSimBackend, WritesAreMessagesAndReadsEndAtTheLineFeed) {
  device->answers["*IDN?"] = "Maker,4400,1,2";
  const ViSession vi = Open("GPIB0::4");
  EXPECT_EQ(Write(vi, "*RST\n*IDN?\n"), VI_SUCCESS);
  EXPECT_EQ(device->messages, (std::vector<std::string>{"*RST", "*IDN?"}));
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "Maker,4400,1,2\n");

  // Without a line feed the end of the write (END) ends the message; with END off it waits.
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(Write(vi, ":CONF:"), VI_SUCCESS);
  EXPECT_EQ(device->messages.size(), 2u);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(Write(vi, "CSYS GSM"), VI_SUCCESS);
  EXPECT_EQ(device->messages.back(), ":CONF:CSYS GSM");
}

TEST_F(VisaSimBackend, ASmallBufferGetsTheReplyInPieces) {
  device->answers["Q?"] = "0123456789";
  const ViSession vi = Open("GPIB0::4");
  Write(vi, "Q?\n");
  std::string part;
  EXPECT_EQ(Read(vi, &part, 4), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(part, "0123");
  EXPECT_EQ(Read(vi, &part, 4), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(part, "4567");
  EXPECT_EQ(Read(vi, &part, 4), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(part, "89\n");
}

TEST_F(VisaSimBackend, TimeGoesToTheSinkBusyTimeThenTimeOuts) {
  const ViSession vi = Open("GPIB0::4");
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 500), VI_SUCCESS);
  ViUInt32 tmo = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
  EXPECT_EQ(tmo, 500u);

  device->answers["MEAS?"] = "1.5";
  device->busyMs = 120;
  spentMs = 0;
  Write(vi, "MEAS?\n");
  std::string reply;
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(spentMs, 2 * visa::detail::SIM_GPIB_TRANSFER_MS + 120);

  // Nothing to say: the read waits its whole time-out.
  device->busyMs = 0;
  spentMs = 0;
  Write(vi, "NOREPLY\n");
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(spentMs, 2 * visa::detail::SIM_GPIB_TRANSFER_MS + 500);

  // Busy longer than the time-out: the read gives up after the time-out.
  device->busyMs = 800;
  spentMs = 0;
  Write(vi, "MEAS?\n");
  EXPECT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  EXPECT_EQ(spentMs, 2 * visa::detail::SIM_GPIB_TRANSFER_MS + 500);
}

TEST_F(VisaSimBackend, AReplyTooLateForItsReadIsNotTakenForTheNextOne) {
  device->answers["SLOW?"] = "slow";
  device->answers["FAST?"] = "fast";
  const ViSession vi = Open("GPIB0::4");
  viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100);
  device->busyMs = 300;
  Write(vi, "SLOW?\n");
  std::string reply;
  ASSERT_EQ(Read(vi, &reply), VI_ERROR_TMO);
  device->busyMs = 0;
  Write(vi, "FAST?\n");
  EXPECT_EQ(Read(vi, &reply), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply, "fast\n");
}

TEST_F(VisaSimBackend, AttributesKeepTheirWidthsAndRefuseBadStates) {
  const ViSession vi = Open("GPIB0::4");
  // Each value lands in a buffer of its own width; the bytes after it stay as they were.
  struct {
    ViUInt8 termChar;
    uint8_t guard1[3];
    ViBoolean termEnabled;
    uint16_t guard2;
    ViUInt16 readMode;
    uint16_t guard3;
    ViSession rmSession;
  } out;
  std::memset(&out, 0xAB, sizeof out);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR, &out.termChar), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &out.termEnabled), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, &out.readMode), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RM_SESSION, &out.rmSession), VI_SUCCESS);
  EXPECT_EQ(out.termChar, '\n');
  EXPECT_EQ(out.guard1[0], 0xAB);
  EXPECT_EQ(out.termEnabled, VI_TRUE);
  EXPECT_EQ(out.guard2, 0xABAB);
  EXPECT_EQ(out.readMode, VI_FLUSH_ON_ACCESS);
  EXPECT_EQ(out.rmSession, rm);

  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 0x100000000ull), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_RM_SESSION, 1), VI_ERROR_ATTR_READONLY);
  EXPECT_EQ(viSetAttribute(vi, 0x3FFF0999, 1), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(viSetBuf(vi, VI_READ_BUF | VI_WRITE_BUF, 266), VI_SUCCESS);
  EXPECT_EQ(viSetBuf(vi, 0, 266), VI_ERROR_INV_MASK);
  EXPECT_EQ(viSetBuf(vi, 0x40, 266), VI_ERROR_INV_MASK);
}

TEST_F(VisaSimBackend, ClosedOrForeignSessionsAreInvalidObjects) {
  const ViSession vi = Open("GPIB0::4");
  ViUInt32 n = 0;
  unsigned char buf[8];
  EXPECT_EQ(viWrite(7, buf, 1, &n), VI_ERROR_INV_OBJECT);  // a driver's slot number, say
  EXPECT_EQ(viRead(rm, buf, sizeof buf, &n), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viOpen(vi, "GPIB0::4", VI_NULL, VI_NULL, &n), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(VI_NULL), VI_WARN_NULL_OBJECT);
  EXPECT_EQ(viOpen(rm, "GPIB0::4", 0x80, VI_NULL, &n), VI_ERROR_INV_ACC_MODE);

  // Closing the resource manager closes what was opened through it.
  ViFindList list = 0;
  ViUInt32 count = 0;
  char desc[VI_FIND_BUFLEN];
  ASSERT_EQ(viFindRsrc(rm, "?*INSTR", &list, &count, desc), VI_SUCCESS);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
  EXPECT_EQ(viWrite(vi, buf, 1, &n), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viFindNext(list, desc), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(vi), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaSimBackend, AliasesComeFirst) {
  auto other = std::make_shared<ScriptedScpiDevice>();
  visa::RegisterSimDevice("GPIB0::9", other);
  setenv("TESMIRA_VISA_ALIASES", "GPIB0::4::INSTR=GPIB0::9::INSTR;GPIB0::6=sim", 1);
  const ViSession vi = Open("GPIB::4::INSTR");
  Write(vi, "*CLS\n");
  EXPECT_TRUE(device->messages.empty());
  EXPECT_EQ(other->messages, std::vector<std::string>{"*CLS"});
  // "sim" with nothing registered under the name is not found.
  ViSession none = 0;
  EXPECT_EQ(viOpen(rm, "GPIB0::6", VI_NULL, VI_NULL, &none), VI_ERROR_RSRC_NFOUND);
}

TEST_F(VisaSimBackend, FindListsAliasesAndRegisteredDevices) {
  setenv("TESMIRA_VISA_ALIASES", "GPIB0::14=TCPIP0::127.0.0.1::5025::SOCKET;GPIB::4=sim", 1);
  visa::RegisterSimDevice("GPIB::5::INSTR", std::make_shared<ScriptedScpiDevice>());
  ViFindList list = 0;
  ViUInt32 count = 0;
  char desc[VI_FIND_BUFLEN] = {};
  ASSERT_EQ(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc), VI_SUCCESS);
  std::vector<std::string> found{desc};
  while (viFindNext(list, desc) == VI_SUCCESS) found.emplace_back(desc);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(found,
            (std::vector<std::string>{"GPIB0::14::INSTR", "GPIB0::4::INSTR", "GPIB0::5::INSTR"}));
  EXPECT_EQ(viFindRsrc(rm, "ASRL?*", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(viFindRsrc(rm, "{bad", &list, &count, desc), VI_ERROR_INV_EXPR);
}

TEST_F(VisaSimBackend, StatusNamesAndDescriptions) {
  char desc[256];
  EXPECT_EQ(viStatusDesc(rm, VI_ERROR_TMO, desc), VI_SUCCESS);
  EXPECT_EQ(std::string(desc).rfind("VI_ERROR_TMO: ", 0), 0u);
  EXPECT_STREQ(visa::StatusName(VI_ERROR_RSRC_NFOUND), "VI_ERROR_RSRC_NFOUND");
  EXPECT_EQ(viStatusDesc(rm, 0x12345, desc), VI_WARN_UNKNOWN_STATUS);
}

}  // namespace
