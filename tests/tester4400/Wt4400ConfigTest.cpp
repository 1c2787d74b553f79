#include "tester4400/Wt4400Fixture.h"

// Configuration operations: the text they send, their ranges and caches, their waits.
namespace {

using ConfigTest = Wt4400Test;

TEST_F(ConfigTest, GeneratorLineByteForByte) {
  const ViSession handle = Open();
  EXPECT_EQ(wt4400_configureGenerator(handle, 947.4, -60, 2, 1, 4, 2, 2, 4), VI_SUCCESS);
  EXPECT_EQ(device->Commands(),
            std::vector<std::string>{"RFG:FREQ 947400000.000000;LEV -60.000000;MOD GMSK;"
                                     "STYP CWAV;:RFG:BURS:TSL 4;:RFG:MOD:TSEQ:STAT ON;"
                                     ":RFG:MOD:TSEQ 4;:RFG:MOD:BITP PRBS15"});
  EXPECT_EQ(device->Count(":SYST:ERR?"), 0u);  // a plain write
}

TEST_F(ConfigTest, GeneratorPartsLeftOutOrRefused) {
  const ViSession handle = Open();
  struct Case {
    double mhz;
    double dbm;
    int16_t mod, tseqState, tseq, pattern, type, slot;
    ViStatus status;
    const char* line;  // nullptr: nothing sent
  };
  const Case cases[] = {
      {999.9, 0, 0, 0, 0, 0, 0, 0, VI_SUCCESS, "RFG:FREQ 999900000.000000"},
      {1700.2, -10, 0, 0, 0, 0, 0, 0, VI_SUCCESS, "RFG:FREQ 1700200000.000000;LEV -10.000000"},
      {0, -120, 0, 0, 0, 0, 0, 0, VI_SUCCESS, "RFG:LEV -120.000000"},
      {0, 0, 1, 0, 0, 0, 1, 0, VI_SUCCESS, "RFG:MOD NO;STYP BURS"},
      // The line starts "RFG:" also when its first part names its own path.
      {0, 0, 0, 2, 7, 9, 0, 0, VI_SUCCESS,
       "RFG:MOD:TSEQ:STAT OFF;:RFG:MOD:TSEQ 7;:RFG:MOD:BITP EIGH"},
      {0, 0, 0, 0, 4, 0, 0, 0, VI_SUCCESS, "RFG:MOD:TSEQ 4"},
      {0, 0, 0, 0, 0, 0, 2, 4, VI_SUCCESS, "RFG:STYP CWAV;:RFG:BURS:TSL 4"},
      // Parts given with a signal type or modulation they do not belong to are refused, not
      // dropped: a timeslot without the CW type (alone too), training sequence or bit pattern
      // without modulation.
      {0, 0, 0, 0, 0, 0, 0, 4, WT4400_OUT_OF_RANGE, nullptr},
      {0, 0, 0, 0, 0, 0, 1, 4, WT4400_OUT_OF_RANGE, nullptr},
      {0, 0, 1, 1, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {0, 0, 1, 0, 4, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {0, 0, 1, 0, 0, 3, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {0, 0, 0, 0, 0, 0, 0, 0, VI_SUCCESS, nullptr},
      {1000.0, -60, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {1700.0, -60, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {800.0, -60, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {2000.0, -60, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -9, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -121, 2, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 3, 0, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 2, 3, 0, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 2, 0, 8, 0, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 2, 0, 0, 10, 0, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 2, 0, 0, 0, 3, 0, WT4400_OUT_OF_RANGE, nullptr},
      {947.4, -60, 2, 0, 0, 0, 2, 8, WT4400_OUT_OF_RANGE, nullptr},
  };
  for (const auto& c : cases) {
    device->messages.clear();
    EXPECT_EQ(wt4400_configureGenerator(handle, c.mhz, c.dbm, c.mod, c.tseqState, c.tseq, c.pattern,
                                        c.type, c.slot),
              c.status)
        << c.mhz << " " << c.dbm;
    if (c.line) {
      EXPECT_EQ(device->messages, std::vector<std::string>{c.line});
    } else {
      EXPECT_TRUE(device->messages.empty()) << c.mhz << " " << c.dbm;
    }
  }
  device->messages.clear();
  EXPECT_EQ(wt4400_configureGeneratorFrequencyLevel(handle, 1842.4, -74.5), VI_SUCCESS);
  EXPECT_EQ(device->messages,
            std::vector<std::string>{"RFG:FREQ 1842400000.000000;LEV -74.500000"});
  EXPECT_EQ(wt4400_configureGenerator(6, 947.4, -60, 2, 1, 4, 2, 2, 4), VI_ERROR_INV_OBJECT);
}

TEST_F(ConfigTest, TrafficSettingsAreSentOnlyWhenChanged) {
  const ViSession handle = Open();
  struct Step {
    double level;
    int16_t pcl;
    int16_t arfcn;
    const char* line;  // nullptr: no line, only the completion query
  };
  const Step steps[] = {
      {-60, 5, 62, ":CONF:GSM:BS:LEVEL -60.000000;:CONF:GSM:ASSALL 62,5"},
      {-60, 5, 62, nullptr},
      {-60, 5, 70, ":CONF:GSM:BS:TCH:ARFC 70"},
      {-70, 7, 70, ":CONF:GSM:BS:LEVEL -70.000000;:CONF:GSM:MSTATION:PLEVEL 7"},
      {-70, 7, 600, ":CONF:GSM:ASSALL 600,7"},  // GSM 900 to DCS: both again
      {-70, 7, 700, ":CONF:GSM:BS:TCH:ARFC 700"},
      {-70, 3, 10, ":CONF:GSM:ASSALL 10,3"},
      {-70, 3, 980, ":CONF:GSM:BS:TCH:ARFC 980"},
  };
  for (const auto& s : steps) {
    device->messages.clear();
    EXPECT_EQ(wt4400_setTraffic(handle, s.level, s.pcl, s.arfcn), VI_SUCCESS);
    if (s.line) {
      EXPECT_EQ(device->Commands(), (std::vector<std::string>{s.line, "*OPC?"}));
    } else {
      EXPECT_EQ(device->Commands(), std::vector<std::string>{"*OPC?"});
    }
  }
  // -310 reported at the completion query counts as done; another error does not, and then
  // nothing is taken as set.
  device->errors = {{-310, "System error"}};
  EXPECT_EQ(wt4400_setTraffic(handle, -80, 3, 980), VI_SUCCESS);
  // After another error the settings of the failed line are sent again; those it did not touch
  // (TCH and power level here) stay cached.
  device->errors = {{-222, "Data out of range"}};
  EXPECT_EQ(wt4400_setTraffic(handle, -90, 3, 980), WT4400_INSTR_ERROR_BASE - 222);
  device->messages.clear();
  EXPECT_EQ(wt4400_setTraffic(handle, -90, 3, 980), VI_SUCCESS);
  EXPECT_EQ(device->Commands(),
            (std::vector<std::string>{":CONF:GSM:BS:LEVEL -90.000000", "*OPC?"}));
  // A failure with nothing to send forgets nothing.
  device->errors = {{-222, "Data out of range"}};
  EXPECT_EQ(wt4400_setTraffic(handle, -90, 3, 980), WT4400_INSTR_ERROR_BASE - 222);
  device->messages.clear();
  EXPECT_EQ(wt4400_setTraffic(handle, -90, 3, 980), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), std::vector<std::string>{"*OPC?"});
  // The cell level alone follows the same rule.
  device->messages.clear();
  EXPECT_EQ(wt4400_setCellLevel(handle, -90), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), std::vector<std::string>{"*OPC?"});
  // A reset forgets the caches: the tester is back at its defaults.
  ASSERT_EQ(wt4400_resetAndWait(handle), VI_SUCCESS);
  device->messages.clear();
  EXPECT_EQ(wt4400_setTraffic(handle, -90, 3, 980), VI_SUCCESS);
  EXPECT_FALSE(device->Commands().empty());

  device->messages.clear();
  for (auto [level, pcl, arfcn] :
       {std::tuple{-121.0, 3, 10}, std::tuple{-9.0, 3, 10}, std::tuple{-60.0, 44, 10},
        std::tuple{-60.0, 3, 1024}, std::tuple{-60.0, -1, 10}}) {
    EXPECT_EQ(
        wt4400_setTraffic(handle, level, static_cast<int16_t>(pcl), static_cast<int16_t>(arfcn)),
        WT4400_OUT_OF_RANGE);
  }
  EXPECT_TRUE(device->messages.empty());
}

TEST_F(ConfigTest, SelectSystemGivesUpAfterThreeHundredPolls) {
  const ViSession handle = Open();
  device->answers[":STAT:OPER:COND?"] = "0";
  const uint64_t start = loop.Now();
  EXPECT_EQ(wt4400_selectSystem(handle, 1), WT4400_STATE_TIMEOUT);
  EXPECT_EQ(device->Count(":STAT:OPER:COND?"), 300u);
  EXPECT_EQ(delays.size(), 300u);
  EXPECT_NEAR(DelaySeconds(), 30.0, 1e-9);
  EXPECT_GE(loop.Now() - start, 30000u);
  EXPECT_EQ(device->Commands().at(0), ":CONF:CSYS NONE");
  EXPECT_EQ(device->Commands().at(1), ":CONF:CSYS GSM;:CONF:GSM:TYPE GSM9001800");
}

TEST_F(ConfigTest, SelectSystemWaitsForTheReadyBit) {
  const ViSession handle = Open();
  int polls = 0;
  device->respond = [&polls](const std::string& m) -> std::optional<std::string> {
    if (m.ends_with(";*OPC?")) return "1";
    if (m != ":STAT:OPER:COND?") return std::nullopt;
    return ++polls < 4 ? "256" : "4352";  // 0x1000 | 0x100 on the fourth poll
  };
  EXPECT_EQ(wt4400_selectSystem(handle, 2), VI_SUCCESS);
  EXPECT_EQ(polls, 4);
  EXPECT_EQ(delays.size(), 3u);

  device->messages.clear();
  EXPECT_EQ(wt4400_selectSystem(handle, 3), VI_SUCCESS);
  EXPECT_EQ(device->Commands(),
            (std::vector<std::string>{":CONF:CSYS NONE", ":CONF:CSYS GEN;:RFG:STAT ON"}));

  polls = 0;
  device->messages.clear();
  EXPECT_EQ(wt4400_selectSystem(handle, 4), VI_SUCCESS);
  EXPECT_EQ(device->Commands(),
            (std::vector<std::string>{
                ":CONF:CSYS NONE", ":CONF:CSYS GPRS;:CONF:GPRS:TYPE GSM9001800", ":STAT:OPER:COND?",
                ":STAT:OPER:COND?", ":STAT:OPER:COND?", ":STAT:OPER:COND?",
                ":CONF:GPRS:BS:TCH:ARFCN 512;*OPC?", ":CONF:GPRS:MSTATION:PLEV 0;*OPC?",
                ":CONF:GPRS:BS:TCH:ARFCN 1;*OPC?", ":CONF:GPRS:MSTATION:PLEV 0;*OPC?"}));
  device->messages.clear();
  EXPECT_EQ(wt4400_selectSystem(handle, 0), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), std::vector<std::string>{":CONF:CSYS NONE"});
  EXPECT_EQ(wt4400_selectSystem(handle, 6), VI_ERROR_PARAMETER1);
}

TEST_F(ConfigTest, CouplingTable) {
  const ViSession handle = Open();
  EXPECT_EQ(wt4400_setCoupling(handle, "viable.cpl", 1), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), (std::vector<std::string>{":CONF:COUP:NAME \"viable.cpl\"",
                                                          ":CONF:COUP:STAT ON", "*OPC?"}));
  device->messages.clear();
  EXPECT_EQ(wt4400_setCoupling(handle, nullptr, 0), VI_SUCCESS);
  EXPECT_EQ(device->Commands(), (std::vector<std::string>{"CONF:COUP:STAT OFF", "*OPC?"}));
  device->messages.clear();
  EXPECT_EQ(wt4400_setCoupling(handle, "a\";*RST;\"", 1), VI_ERROR_PARAMETER2);
  EXPECT_EQ(wt4400_setCoupling(handle, "", 1), VI_ERROR_PARAMETER2);
  EXPECT_EQ(wt4400_setCoupling(handle, "viable.cpl", 2), WT4400_OUT_OF_RANGE);
  EXPECT_TRUE(device->messages.empty());
}

TEST_F(ConfigTest, WaitingForTheCallTakesFifteenSecondsWhenItNeverComes) {
  const ViSession handle = Open();
  device->answers[":STAT:OPER:SIGN:COND?"] = "0";
  EXPECT_EQ(wt4400_waitConnected(handle, 10.0), WT4400_STATE_TIMEOUT);
  EXPECT_EQ(wt4400_waitConnected(handle, 5.0), WT4400_STATE_TIMEOUT);
  EXPECT_EQ(device->Count(":STAT:OPER:SIGN:COND?"), 150u);
  EXPECT_NEAR(DelaySeconds(), 15.0, 1e-9);
  device->answers[":STAT:OPER:SIGN:COND?"] = "4";
  delays.clear();
  EXPECT_EQ(wt4400_waitConnected(handle, 10.0), VI_SUCCESS);
  EXPECT_TRUE(delays.empty());
  EXPECT_EQ(wt4400_waitConnected(handle, -1.0), WT4400_OUT_OF_RANGE);
}

TEST_F(ConfigTest, TxPowerMeasurement) {
  const ViSession handle = Open();
  ASSERT_EQ(wt4400_setStatistic(handle, 2), VI_SUCCESS);
  device->answers[":FETCH:RFTX:POW?"] = "-12.34";
  double dbm = 0.0;
  EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 1), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(dbm, -12.34);
  // The single form never asks for the statistic.
  EXPECT_EQ(device->Commands(), (std::vector<std::string>{":MEAS:RFTX:POW", ":FETCH:RFTX:POW?"}));

  device->messages.clear();
  ASSERT_EQ(wt4400_setStatistic(handle, 1), VI_SUCCESS);
  device->answers["CALC:MMIN?"] = "+2.7500E+01";
  EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 10), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(dbm, 27.5);
  EXPECT_EQ(device->Commands(),
            (std::vector<std::string>{":MEAS:ARR:RFTX:POW? 10", "*OPC?", "CALC:MMIN?"}));

  // Replies read as "%lf" reads them: a unit after the number is not looked at.
  for (auto [reply, value] : {std::pair{"-20.5dBm", -20.5}, std::pair{" +2.75E+01 ", 27.5},
                              std::pair{"1.5e3 x", 1500.0}}) {
    device->answers[":FETCH:RFTX:POW?"] = reply;
    EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 1), VI_SUCCESS) << reply;
    EXPECT_DOUBLE_EQ(dbm, value) << reply;
  }
  // Replies that are no measurement.
  for (const char* reply :
       {"", "garbage", "dBm", "9.91E+37", "-9.91E+37", "nan", "inf", "0x10", "1e400"}) {
    device->answers[":FETCH:RFTX:POW?"] = reply;
    dbm = 1.0;
    EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 1), WT4400_PARSE_ERROR) << reply;
    EXPECT_EQ(dbm, 1.0) << reply;
  }
  // Any count but 1 is an array measurement; the tester judges the count.
  device->messages.clear();
  EXPECT_EQ(wt4400_measureTxPower(handle, &dbm, 0), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(dbm, 27.5);
  EXPECT_EQ(device->Commands(),
            (std::vector<std::string>{":MEAS:ARR:RFTX:POW? 0", "*OPC?", "CALC:MMIN?"}));
  EXPECT_EQ(wt4400_setStatistic(handle, 3), WT4400_OUT_OF_RANGE);
  EXPECT_EQ(wt4400_measureTxPower(handle, nullptr, 1), VI_ERROR_PARAMETER2);
}

TEST_F(ConfigTest, MeasurementFamilyAndMultiValueReplies) {
  const ViSession handle = Open();
  device->answers[":FETCH:RFTX:PRMS?"] = "1.25";
  double value = 0.0;
  EXPECT_EQ(wt4400_measure(handle, WT4400_PHASE_ERROR_RMS, 1, &value), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(value, 1.25);
  device->answers[":CALC:MMAX?"] = "-31.5";
  EXPECT_EQ(wt4400_measure(handle, WT4400_ACP_TRANSIENT, 20, &value), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(value, -31.5);
  EXPECT_EQ(device->Commands().back(), ":CALC:MMAX?");
  EXPECT_EQ(wt4400_measure(handle, 9, 1, &value), WT4400_OUT_OF_RANGE);

  device->answers["CALC:MMAX?"] = "12.0,-3.5";
  double first = 0.0;
  double second = 0.0;
  EXPECT_EQ(wt4400_measureFrequencyErrorMax(handle, 5, &first, &second), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(first, 12.0);
  EXPECT_DOUBLE_EQ(second, -3.5);

  device->answers[":MEAS:RFRX:FBER?"] = "0.5,1.5,2";
  double ber[3] = {};
  EXPECT_EQ(wt4400_measureBer(handle, WT4400_BER_FAST, ber), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(ber[2], 2.0);
  device->answers[":MEAS:RFRX:FBER?"] = "0.5,1.5";  // one value short
  EXPECT_EQ(wt4400_measureBer(handle, WT4400_BER_FAST, ber), WT4400_PARSE_ERROR);

  int rxl = 0;
  int rxq = 0;
  int ta = 0;
  int reports = 0;
  device->respond = [&reports](const std::string& m) -> std::optional<std::string> {
    if (m != ":CALL:MSIN:RXL?;RXQ?;TADV?") return std::nullopt;
    return ++reports < 3 ? "0;0;0" : "42;1;3";
  };
  EXPECT_EQ(wt4400_readMobileReport(handle, &rxl, &rxq, &ta), VI_SUCCESS);
  EXPECT_EQ(rxl, 42);
  EXPECT_EQ(ta, 3);
  reports = -1000;
  EXPECT_EQ(wt4400_readMobileReport(handle, &rxl, &rxq, &ta), -116);
  // Integers read as "%d%*1s%d%*1s%d", within 32 bits.
  device->respond = nullptr;
  for (const char* reply : {"1e30", "99999999999;1;3", "42;1"}) {
    device->answers[":CALL:MSIN:RXL?;RXQ?;TADV?"] = reply;
    rxl = 7;
    EXPECT_EQ(wt4400_readMobileReport(handle, &rxl, &rxq, &ta), WT4400_PARSE_ERROR) << reply;
    EXPECT_EQ(rxl, 7) << reply;
  }
}

TEST_F(ConfigTest, OtherFamiliesSendTheirLines) {
  const ViSession handle = Open();
  struct Case {
    std::function<ViStatus()> call;
    std::vector<std::string> sent;
  };
  const double corners[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const double gprsLevels[3] = {-60, -70.5, -5};    // the third is out of range
  const double templateLevels[3] = {-1, -2.5, 20};  // the third is out of range
  const int16_t slots[4] = {1, 2, 3, 4};
  const Case cases[] = {
      {[&] { return wt4400_setNetworkCode(handle, 1, 1); },
       {":CONF:GSM:BS:LAI:MCC 1;:CONF:GSM:BS:LAI:MNC 1", "*OPC?"}},
      {[&] { return wt4400_setCellParameter(handle, WT4400_CELL_BCC, 5); },
       {":CONF:GSM:BS:BCC 5", "*OPC?"}},
      {[&] { return wt4400_setCellParameter(handle, WT4400_CELL_NCC, 8); }, {}},
      {[&] { return wt4400_setBchAndPowerLevel(handle, 20, 5); },
       {"CONF:GSM:BS:BCH:ARFC 20;:CONF:GSM:MSTATION:PLEVEL 5", "*OPC?"}},
      {[&] { return wt4400_configureAnalyser(handle, 902.4, WT4400_RANGE_AUTO, -5.0, 0, 2); },
       {"RFAN:FREQ 902400000.000000;:RFAN:RANG:MODE AUTO;:RFAN:RANG:LEV -5.000000;"
        ":RFAN:TRIG:TSL 2",
        "*OPC?"}},
      {[&] { return wt4400_setSpectrumSpan(handle, 2, 4); },
       {":RFSP:MSP:SPAN SP1000,RES30", "*OPC?"}},
      {[&] { return wt4400_setSpectrumSpan(handle, 4, 1); }, {}},
      {[&] { return wt4400_configureAudioGenerator(handle, 1.0, 0.5, 1000.0); },
       {":AFG:LEV:AF 1.000000;:AFG:LEV:RF 0.500000;:AFG:SING:FREQ 1000.000000", "*OPC?"}},
      {[&] { return wt4400_setBerBitPattern(handle, WT4400_BER_PRBS9); },
       {":CONF:GSM:BER:BITPATTERN PRBS9", "*OPC?"}},
      {[&] { return wt4400_setGprsLevel(handle, -70.5); }, {":CONF:GPRS:BS:LEV -70.5", "*OPC?"}},
      {[&] { return wt4400_setTemplateCorners(handle, corners); },
       {":CALC:RFTX:CORN:POS 1.000000,2.000000,3.000000,4.000000,5.000000,6.000000,7.000000,"
        "8.000000",
        "*OPC?"}},
      {[&] { return wt4400_setDate(handle, "2024,2,29"); }, {":SYST:DATE 2024,2,29", "*OPC?"}},
      {[&] { return wt4400_setTime(handle, "12,30,00"); }, {":SYST:TIME 12,30,00", "*OPC?"}},
      {[&] { return wt4400_setClock(handle, "2024,02,29", "23,59,59"); },
       {":SYST:DATE 2024,02,29;:SYST:TIME 23,59,59", "*OPC?"}},
      {[&] { return wt4400_setTime(handle, "24,0,0"); }, {}},
      {[&] { return wt4400_setDate(handle, "2024,2,29;*RST"); }, {}},
      {[&] { return wt4400_setClock(handle, "2024,13,1", WT4400_NO_CHANGE); }, {}},
      {[&] { return wt4400_setGprsMultislotLevels(handle, gprsLevels, 2); },
       {":CONF:GPRS:BS:MSL:LEV -60,-70.5", "*OPC?"}},
      {[&] { return wt4400_setGprsMultislotLevels(handle, gprsLevels, 3); }, {}},
      {[&] { return wt4400_setGprsUnusedSlotLevel(handle, -90); },
       {":CONF:GPRS:BS:MSL:LEV:UNUS -90", "*OPC?"}},
      {[&] { return wt4400_setGprsSlotList(handle, ":CONF:GPRS:BS:TSL", slots); },
       {":CONF:GPRS:BS:TSL 1,2,3,4", "*OPC?"}},
      {[&] { return wt4400_setGprsSlotList(handle, ":CONF:GPRS:BS:TSL;*RST", slots); }, {}},
      {[&] { return wt4400_setTemplateLimitList(handle, 0, templateLevels, 2); },
       {":CALC:RFTX:TEMP:LIM:LOW -1.000000,-2.500000", "*OPC?"}},
      {[&] { return wt4400_setTemplateLimitList(handle, 1, templateLevels, 1); },
       {":CALC:RFTX:TEMP:LIM:UPP -1.000000", "*OPC?"}},
      {[&] { return wt4400_setTemplateLimitList(handle, 1, templateLevels, 3); }, {}},
  };
  for (const auto& c : cases) {
    device->messages.clear();
    const ViStatus status = c.call();
    EXPECT_EQ(status, c.sent.empty() ? WT4400_OUT_OF_RANGE : VI_SUCCESS);
    EXPECT_EQ(device->Commands(), c.sent);
  }
  device->messages.clear();
  device->answers[":SYST:DATE?"] = "2024,02,29";
  char date[32] = {};
  EXPECT_EQ(wt4400_readDate(handle, date, sizeof date), VI_SUCCESS);
  EXPECT_STREQ(date, "2024,02,29");
  EXPECT_EQ(device->Commands(), std::vector<std::string>{":SYST:DATE?"});
}

}  // namespace
