#include <unistd.h>

#include <cstring>

#include "tester4400/Wt4400Fixture.h"

// Slots, opening and closing, I/O modes.
namespace {

using SessionTest = Wt4400Test;

TEST_F(SessionTest, ResourcesAreParsedAsGpibAddresses) {
  visa::RegisterSimDevice("GPIB0::5", device);
  visa::RegisterSimDevice("GPIB3::30", device);
  struct Case {
    const char* resource;
    ViStatus status;
    int16_t board;
    int16_t address;
  };
  const Case cases[] = {
      {"GPIB0::4", VI_SUCCESS, 0, 4},
      {"GPIB::5::INSTR", VI_SUCCESS, 0, 5},
      {"GPIB3::30::INSTR", VI_SUCCESS, 3, 30},
      // Read as "%hd" reads: leading zeros, and nothing after the number looked at.
      {"GPIB0::004", VI_SUCCESS, 0, 4},
      {"GPIB000::4", VI_SUCCESS, 0, 4},
      {"GPIB0::4x", VI_SUCCESS, 0, 4},
      {"GPIB0::31", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB0::-1", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB0::99999", VI_ERROR_PARAMETER1, 0, 0},  // beyond 16 bits: refused, not wrapped
      {" GPIB0::4", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB0:4", VI_ERROR_PARAMETER1, 0, 0},
      {"ASRL1::INSTR", VI_ERROR_PARAMETER1, 0, 0},
      {"TCPIP0::10.0.0.9::INSTR", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB100::4", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB0", VI_ERROR_PARAMETER1, 0, 0},
      {"GPIB0::", VI_ERROR_PARAMETER1, 0, 0},
      {"", VI_ERROR_PARAMETER1, 0, 0},
  };
  for (const auto& c : cases) {
    ViSession handle = 99;
    EXPECT_EQ(wt4400_init(c.resource, 0, 0, &handle), c.status) << c.resource;
    if (c.status != VI_SUCCESS) {
      EXPECT_EQ(handle, 0u) << c.resource;
      continue;
    }
    ASSERT_NE(handle, 0u);
    const wt4400::Slot& slot = *wt4400::SlotOf(handle);
    EXPECT_EQ(slot.interfaceCode, 100 + c.board) << c.resource;
    EXPECT_EQ(slot.primaryAddress, c.address) << c.resource;
    EXPECT_EQ(wt4400_close(handle), VI_SUCCESS);
  }
  ViSession handle = 99;
  EXPECT_EQ(wt4400_init(nullptr, 0, 0, &handle), VI_ERROR_PARAMETER1);
  EXPECT_EQ(wt4400_init("GPIB0::4", 2, 0, &handle), VI_ERROR_PARAMETER2);
  EXPECT_EQ(wt4400_init("GPIB0::4", 0, -1, &handle), VI_ERROR_PARAMETER3);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(wt4400_init("GPIB0::4", 0, 0, nullptr), VI_ERROR_PARAMETER4);
}

TEST_F(SessionTest, SevenSlotsReuseForTheSameAddress) {
  for (int address = 1; address <= 8; ++address) {
    visa::RegisterSimDevice("GPIB0::" + std::to_string(address), device);
  }
  for (int address = 1; address <= 7; ++address) {
    ViSession handle = 0;
    ASSERT_EQ(wt4400_init(("GPIB0::" + std::to_string(address)).c_str(), 0, 0, &handle),
              VI_SUCCESS);
    EXPECT_EQ(handle, static_cast<ViSession>(address));
  }
  ViSession handle = 0;
  EXPECT_EQ(wt4400_init("GPIB0::8", 0, 0, &handle), WT4400_NO_FREE_SLOT);
  EXPECT_EQ(handle, 0u);

  // The same address again gets its slot back, with a fresh session; the old one is closed.
  const ViSession oldSession = wt4400::SlotOf(3)->session;
  EXPECT_EQ(wt4400_init("GPIB::3::INSTR", 1, 1, &handle), VI_SUCCESS);
  EXPECT_EQ(handle, 3u);
  EXPECT_NE(wt4400::SlotOf(3)->session, oldSession);
  ViUInt32 n = 0;
  EXPECT_EQ(viWrite(oldSession, reinterpret_cast<ViConstBuf>("x"), 1, &n), VI_ERROR_INV_OBJECT);

  // A closed slot is free for the next address.
  EXPECT_EQ(wt4400_close(5), VI_SUCCESS);
  EXPECT_EQ(wt4400_close(5), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(wt4400_init("GPIB0::8", 0, 0, &handle), VI_SUCCESS);
  EXPECT_EQ(handle, 5u);
  EXPECT_EQ(wt4400_close(0), VI_ERROR_PARAMETER1);
  EXPECT_EQ(wt4400_close(8), VI_ERROR_PARAMETER1);
}

TEST_F(SessionTest, InitIdentifiesResetsAndSetsTheTimeout) {
  ViSession handle = 0;
  ASSERT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), (std::vector<std::string>{"*IDN?", "*RST"}));
  EXPECT_GE(device->Count(":SYST:ERR?"), 2u);   // the init checks the queue
  EXPECT_EQ(delays, std::vector<double>{2.0});  // the reset's wait
  ViUInt32 tmo = 0;
  EXPECT_EQ(viGetAttribute(wt4400::SlotOf(handle)->session, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
  EXPECT_EQ(tmo, 10000u);
  int16_t simulation = -1;
  int16_t checkOff = -1;
  int16_t inCheck = -1;
  EXPECT_EQ(wt4400_getIoMode(handle, &simulation, &checkOff, &inCheck), VI_SUCCESS);
  EXPECT_EQ(simulation, 0);
  EXPECT_EQ(checkOff, 0);
  EXPECT_EQ(inCheck, 0);
}

TEST_F(SessionTest, AnotherModelOrNoAnswerIsRefused) {
  device->answers["*IDN?"] = "Willtek,2201 Radio Tester,1,1";
  ViSession handle = 99;
  EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_ERROR_INV_RESPONSE);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(wt4400::SlotOf(1)->interfaceCode, 0);  // the slot was given back
  EXPECT_EQ(device->Count("*RST"), 0u);

  device->silent = true;
  const uint64_t start = loop.Now();
  EXPECT_EQ(wt4400_init("GPIB0::4", 1, 0, &handle), VI_ERROR_FAIL_ID_QUERY);
  EXPECT_EQ(handle, 0u);
  EXPECT_GE(loop.Now() - start, 10000u);  // one read time-out of 10 s

  // A tester that answers its error queue but not the identity: the queue holds no error, so
  // the identity query counts as done and its empty reply is what is refused.
  device->silent = false;
  device->answers.erase("*IDN?");
  char reply[72] = "stale";
  ASSERT_EQ(wt4400_init("GPIB0::4", 0, 0, &handle), VI_SUCCESS);
  EXPECT_EQ(wt4400_identify(handle, reply, sizeof reply), VI_SUCCESS);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(wt4400_close(handle), VI_SUCCESS);
  EXPECT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_ERROR_INV_RESPONSE);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(wt4400::SlotOf(1)->interfaceCode, 0);
}

TEST_F(SessionTest, IoModesAndTheirFlags) {
  const ViSession handle = Open();
  struct Case {
    int16_t ioMode;
    ViStatus status;
    int16_t simulation;
    int16_t checkOff;
  };
  for (const Case& c : {Case{0, VI_SUCCESS, 0, 1}, Case{1, VI_SUCCESS, 0, 0},
                        Case{2, VI_SUCCESS, 1, 1}, Case{3, VI_ERROR_PARAMETER1, 1, 1}}) {
    EXPECT_EQ(wt4400_setIoMode(handle, c.ioMode, 0, "", 0), c.status);
    int16_t simulation = -1;
    int16_t checkOff = -1;
    wt4400_getIoMode(handle, &simulation, &checkOff, nullptr);
    EXPECT_EQ(simulation, c.simulation) << c.ioMode;
    EXPECT_EQ(checkOff, c.checkOff) << c.ioMode;
  }
  // A bad trace request leaves every flag as it was.
  ASSERT_EQ(wt4400_setIoMode(handle, 1, 0, "", 0), VI_SUCCESS);
  const std::string longName(51, 'x');
  EXPECT_EQ(wt4400_setIoMode(handle, 2, 2, "trace.txt", 2), VI_ERROR_PARAMETER4);
  EXPECT_EQ(wt4400_setIoMode(handle, 2, 2, longName.c_str(), 0), VI_ERROR_PARAMETER3);
  EXPECT_EQ(wt4400_setIoMode(handle, 2, 2, "/nonexistent/dir/trace.txt", 0), VI_ERROR_PARAMETER3);
  EXPECT_EQ(wt4400_setIoMode(handle, 2, 3, "", 0), VI_ERROR_PARAMETER2);
  int16_t simulation = -1;
  int16_t checkOff = -1;
  wt4400_getIoMode(handle, &simulation, &checkOff, nullptr);
  EXPECT_EQ(simulation, 0);
  EXPECT_EQ(checkOff, 0);
  EXPECT_EQ(wt4400::SlotOf(handle)->traceMode, 0);
  EXPECT_EQ(wt4400_setIoMode(0, 1, 0, "", 0), VI_ERROR_PARAMETER1);
}

TEST_F(SessionTest, ASimulatedSlotDoesNoIo) {
  ASSERT_EQ(wt4400_setIoMode(1, 2, 0, "", 0), VI_SUCCESS);  // before the init
  ViSession handle = 0;
  ASSERT_EQ(wt4400_init("GPIB0::4", 1, 1, &handle), VI_SUCCESS);
  EXPECT_EQ(handle, 1u);
  EXPECT_EQ(wt4400::SlotOf(handle)->session, 0u);
  char reply[16] = "untouched";
  EXPECT_EQ(wt4400_query(handle, "*IDN?", reply, sizeof reply), VI_SUCCESS);
  EXPECT_STREQ(reply, "untouched");
  double dbm = 5.0;
  EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 1), VI_SUCCESS);
  EXPECT_EQ(dbm, 0.0);
  EXPECT_EQ(wt4400_selectSystem(handle, 1), VI_SUCCESS);
  // No identity is read, so there is no revision to give.
  char driver[16] = {};
  char instrument[72] = "stale";
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_ERROR_INV_RESPONSE);
  EXPECT_STREQ(instrument, "");
  EXPECT_TRUE(device->messages.empty());
  EXPECT_EQ(wt4400_close(handle), VI_SUCCESS);
}

TEST_F(SessionTest, ClosingASlotSwitchedToSimulationClosesItsSession) {
  const ViSession handle = Open();
  const ViSession session = wt4400::SlotOf(handle)->session;
  ASSERT_EQ(wt4400_setIoMode(handle, 2, 0, "", 0), VI_SUCCESS);
  EXPECT_EQ(wt4400_close(handle), VI_SUCCESS);
  ViUInt32 n = 0;
  EXPECT_EQ(viWrite(session, reinterpret_cast<ViConstBuf>("x"), 1, &n), VI_ERROR_INV_OBJECT);
}

TEST_F(SessionTest, TimeoutAndRevision) {
  const ViSession handle = Open();
  EXPECT_EQ(wt4400_setTimeout(handle, 2.5), VI_SUCCESS);
  ViUInt32 tmo = 0;
  viGetAttribute(wt4400::SlotOf(handle)->session, VI_ATTR_TMO_VALUE, &tmo);
  EXPECT_EQ(tmo, 2500u);
  EXPECT_EQ(wt4400_setTimeout(handle, -1.0), VI_ERROR_PARAMETER2);
  EXPECT_EQ(wt4400_setTimeout(handle, 2000001.0), VI_ERROR_PARAMETER2);
  EXPECT_EQ(wt4400_setTimeout(4, 1.0), VI_ERROR_INV_OBJECT);  // free slot, error checking

  char driver[16] = {};
  char instrument[72] = {};
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_SUCCESS);
  EXPECT_EQ(std::strlen(driver), 5u);
  EXPECT_STREQ(instrument, "1.20");
  device->answers["*IDN?"] = "Willtek,4400,0440012,0";
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_SUCCESS);
  EXPECT_STREQ(instrument, "Not Available");
  device->answers["*IDN?"] = "Willtek,4400,0440012,\"1.21\" beta";
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_SUCCESS);
  EXPECT_STREQ(instrument, "");  // the revision ends at the double quote
  device->answers["*IDN?"] = "Willtek,4400";
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_SUCCESS);
  EXPECT_STREQ(instrument, "");
  device->answers["*IDN?"] = ",4400,0440012,1.0";
  EXPECT_EQ(wt4400_revision(handle, driver, instrument), VI_ERROR_INV_RESPONSE);
}

TEST_F(SessionTest, FindListsEveryInterfaceShort) {
  visa::RegisterSimDevice("GPIB0::14::INSTR", device);
  setenv("TESMIRA_VISA_ALIASES",
         "GPIB1::5::INSTR=sim;TCPIP0::host::inst0::INSTR=sim;ASRL1::INSTR=sim;"
         "TCPIP0::10.0.0.9::INSTR=sim;GPIB2::7::96::INSTR=sim",
         1);
  char list[256] = {};
  EXPECT_EQ(wt4400_findInstruments(list, sizeof list), VI_SUCCESS);
  // Interface and board, then the addresses while they are numbers: "10.0.0.9" is not address 10.
  EXPECT_STREQ(list, "GPIB1::5,TCPIP0,ASRL1,TCPIP0,GPIB2::7::96,GPIB0::14,GPIB0::4");
  char small[12] = {};
  EXPECT_EQ(wt4400_findInstruments(small, sizeof small), VI_SUCCESS_MAX_CNT);
  EXPECT_STREQ(small, "GPIB1::5");
  unsetenv("TESMIRA_VISA_ALIASES");
}

}  // namespace
