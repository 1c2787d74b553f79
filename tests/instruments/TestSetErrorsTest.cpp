// Opening the test set, and what failing test-set calls do: counted, the second one drops the
// test set, without a second drop or recursion while the first is under way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingDrivers.h"
#include "instruments/InstrumentState.h"
#include "instruments/TestSet.h"
#include "platform/Notifier.h"
#include "tester4400/wt4400.h"

using testing_instruments::CallLog;
using Calls = std::vector<std::string>;

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

class TestSetErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    Instruments().notifier = &notifier_;
    g_debug.clear();
    SetDebugSink(CaptureDebug);
  }
  void TearDown() override {
    SetDebugSink(nullptr);
    ResetInstrumentState();
  }
  void OpenAs(int32_t type) { testing_instruments::OpenDcsTestSet(type, log_); }

  CallLog log_;
  RecordingNotifier notifier_;
};

TEST_F(TestSetErrors, OpenPrepares8960) {
  Instruments().TestSetType = TESTSET_8960;
  Sequencer().CalStep = 3;
  EXPECT_TRUE(OpenTestSet());
  EXPECT_EQ(log_.calls, (Calls{"Init(GPIB0::14::INSTR,1,1)", "CellBand(7,1,2)"}));
  EXPECT_EQ(Instruments().TestSetHandle, 7u);
  EXPECT_EQ(Sequencer().CalStep, 41);
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(TestSetErrors, OpenPrepares4400) {
  Instruments().TestSetType = TESTSET_4400;
  EXPECT_TRUE(OpenTestSet());
  EXPECT_EQ(log_.calls, (Calls{"wt4400_init(GPIB0::4,1,1)", "wt4400_setIoMode(7,1,1,,1)",
                               "wt4400_trace(0,WILLTEK ,TESTER ,7)", "wt4400_selectSystem(7,1)"}));
}

TEST_F(TestSetErrors, OpenWithoutTestSetDoesNothing) {
  EXPECT_FALSE(OpenTestSet());
  EXPECT_TRUE(log_.calls.empty());
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
}

TEST_F(TestSetErrors, OpeningAgainClosesFirst) {
  Instruments().TestSetType = TESTSET_8960;
  ASSERT_TRUE(OpenTestSet());
  log_.Clear();
  ASSERT_TRUE(OpenTestSet());
  EXPECT_EQ(log_.calls, (Calls{"Close(7)", "Init(GPIB0::14::INSTR,1,1)", "CellBand(7,1,2)"}));
}

struct InitFailure {
  const char* name;
  int32_t type;
  ViSession handle;  // what the failed init hands back
  ViStatus status;
  std::string message;
  Calls expected;
};
class OpenFailure : public TestSetErrors, public ::testing::WithParamInterface<InitFailure> {};

TEST_P(OpenFailure, ShowsTheTextAndLeavesNothingOpen) {
  const InitFailure& f = GetParam();
  Instruments().TestSetType = f.type;
  log_.handle = f.handle;
  log_.Fail(f.type == TESTSET_8960 ? "Init" : "wt4400_init", f.status);
  EXPECT_FALSE(OpenTestSet());
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{f.message});
  EXPECT_EQ(log_.calls, f.expected);
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Init, OpenFailure,
    ::testing::Values(
        InitFailure{"NoHandle8960",
                    TESTSET_8960,
                    0,
                    VI_ERROR_RSRC_NFOUND,
                    "\ninit failed with return code -1073807343.\n",
                    {"Init(GPIB0::14::INSTR,1,1)"}},
        InitFailure{"WrongIdentity8960",
                    TESTSET_8960,
                    9,
                    VI_ERROR_FAIL_ID_QUERY,
                    "  Error Status:  -1074003951 Error Message :message for -1074003951 \n",
                    {"Init(GPIB0::14::INSTR,1,1)", "ErrorMessage(9,-1074003951)", "Close(9)"}},
        InitFailure{
            "Timeout4400",
            TESTSET_4400,
            2,
            VI_ERROR_TMO,
            "  Error Status:  -1073807339 Error Message :text for -1073807339 \n",
            {"wt4400_init(GPIB0::4,1,1)", "wt4400_errorMessage(-1073807339)", "wt4400_close(2)"}},
        InitFailure{"NoSlot4400",
                    TESTSET_4400,
                    0,
                    WT4400_NO_FREE_SLOT,
                    "\ninit failed with return code -1073807300.\n",
                    {"wt4400_init(GPIB0::4,1,1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TestSetErrors, OneFailingCallOnlyCounts) {
  OpenAs(TESTSET_8960);
  log_.Fail("TchBand", VI_ERROR_INV_RESPONSE);
  ConfigureTxCell();
  EXPECT_EQ(log_.calls,
            (Calls{"CellBand(7,1,3)", "TchBand(7,3)", "Clear(7)", "ErrorMessage(7,-1074003950)",
                   "PathLoss(7,-1.7)", "CellPower(7,1,-60,0,0)", "BchChannel(7,1,512,3,1)",
                   "TchChannel(7,698,3,1)", "MsTxLevel(7,5,3,1)"}));
  EXPECT_EQ(Instruments().TestSetErrorCount, 1);
  EXPECT_EQ(Instruments().TestSetHandle, 7u);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_EQ(g_debug,
            std::vector<std::string>{"Driver Error : -1074003950, message for -1074003950\n"});
}

TEST_F(TestSetErrors, InstrumentErrorIsReadFromTheQueue) {
  OpenAs(TESTSET_8960);
  log_.Fail("MsTxLevel", VI_INSTR_ERROR_DETECTED);
  ApplyMsPowerLevel();
  EXPECT_EQ(log_.calls, (Calls{"MsTxLevel(7,5,3,1)", "Clear(7)", "ErrorQuery(7)"}));
  EXPECT_EQ(g_debug, std::vector<std::string>{"Instrument Error : -113, Undefined header\n"});
}

TEST_F(TestSetErrors, SecondFailingCallDropsTheTestSet) {
  OpenAs(TESTSET_8960);
  Sequencer().CalStep = 3;
  Sequencer().CalLastState = 17;
  Sequencer().GsmSubBand = 2;
  log_.Fail("TchBand", VI_ERROR_INV_RESPONSE);
  log_.Fail("CellPower", VI_ERROR_INV_RESPONSE);
  ConfigureTxCell();
  // After the drop the operation sends nothing more to the closed session.
  EXPECT_EQ(log_.calls,
            (Calls{"CellBand(7,1,3)", "TchBand(7,3)", "Clear(7)", "ErrorMessage(7,-1074003950)",
                   "PathLoss(7,-1.7)", "CellPower(7,1,-60,0,0)", "Clear(7)",
                   "ErrorMessage(7,-1074003950)", "EndOfTest(7)", "Close(7)"}));
  const InstrumentState& s = Instruments();
  EXPECT_EQ(s.InstrumentFault, 1);
  EXPECT_EQ(s.TestSetHandle, 0u);
  EXPECT_EQ(s.TestSetErrorCount, 0);
  EXPECT_EQ(Sequencer().CalStep, 41);
  EXPECT_EQ(Sequencer().CalLastState, 0);
  EXPECT_EQ(Sequencer().GsmSubBand, 0);
  // The guarded operations now raise the fault and send nothing.
  log_.Clear();
  Instruments().InstrumentFault = 0;
  MeasureTxPower();
  EXPECT_TRUE(log_.calls.empty());
  EXPECT_EQ(s.InstrumentFault, 1);
}

TEST_F(TestSetErrors, FailuresDuringTheDropStartNoSecondOne) {
  OpenAs(TESTSET_8960);
  Instruments().TestSetErrorCount = 1;
  log_.Fail("MsTxLevel", VI_ERROR_IO);
  log_.Fail("EndOfTest", VI_ERROR_IO);
  log_.Fail("Close", VI_ERROR_IO);
  ApplyMsPowerLevel();
  EXPECT_EQ(log_.calls,
            (Calls{"MsTxLevel(7,5,3,1)", "Clear(7)", "ErrorMessage(7,-1073807298)", "EndOfTest(7)",
                   "ErrorMessage(7,-1073807298)", "Close(7)", "ErrorMessage(7,-1073807298)"}));
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
  EXPECT_FALSE(Instruments().DroppingTestSet);
  EXPECT_EQ(Sequencer().CalStep, 41);
  EXPECT_EQ(g_debug.size(), 3u);
}

// A test set that no longer answers (time-out, connection closed, gone from its address) is
// let go at its first failure: no clear, reset or idle that would wait on it again, nothing
// counted. The sub-band stays, so that the failure names the one the step was in.
TEST_F(TestSetErrors, ATestSetThatIsGoneIsDroppedAtItsFirstFailure) {
  struct Row {
    int32_t type;
    const char* failing;
    ViStatus status;
    void (*operation)();
    Calls expected;
  };
  const Row rows[] = {
      {TESTSET_8960,
       "TchBand",
       VI_ERROR_TMO,
       ConfigureTxCell,
       {"CellBand(7,1,3)", "TchBand(7,3)", "ErrorMessage(7,-1073807339)", "Close(7)"}},
      {TESTSET_8960,
       "MsTxLevel",
       VI_ERROR_CONN_LOST,
       ApplyMsPowerLevel,
       {"MsTxLevel(7,5,3,1)", "ErrorMessage(7,-1073807194)", "Close(7)"}},
      {TESTSET_4400,
       "wt4400_write",
       VI_ERROR_TMO,
       ChangeRxChannel,
       {"wt4400_write(7,CONF:GSM:BS:TCH:ARFC 698)", "wt4400_errorMessage(-1073807339)",
        "wt4400_close(7)"}},
      {TESTSET_4400,
       "wt4400_write",
       VI_ERROR_RSRC_NFOUND,
       ChangeRxChannel,
       {"wt4400_write(7,CONF:GSM:BS:TCH:ARFC 698)", "wt4400_errorMessage(-1073807343)",
        "wt4400_close(7)"}},
  };
  for (const Row& r : rows) {
    ResetInstrumentState();
    testing_instruments::InstallRecordingDrivers(log_);
    OpenAs(r.type);
    log_.Clear();
    Sequencer().CalStep = 3;
    Sequencer().CalLastState = 17;
    Sequencer().DcsSubBand = 2;
    log_.Fail(r.failing, r.status);
    r.operation();
    EXPECT_EQ(log_.calls, r.expected) << r.failing;
    const InstrumentState& s = Instruments();
    EXPECT_EQ(s.InstrumentFault, 1);
    EXPECT_TRUE(s.InstrumentLost);
    EXPECT_EQ(s.TestSetHandle, 0u);
    EXPECT_EQ(s.TestSetErrorCount, 0);
    EXPECT_FALSE(s.DroppingTestSet);
    EXPECT_EQ(Sequencer().CalStep, 41);
    EXPECT_EQ(Sequencer().CalLastState, 0);
    EXPECT_EQ(Sequencer().DcsSubBand, 2);
  }
}

// The RX level query's status is not examined, but one that says the 4400 is gone is: the
// reading it leaves is no reading.
TEST_F(TestSetErrors, AnIgnoredStatusStillCountsWhenTheTestSetIsGone) {
  OpenAs(TESTSET_4400);
  log_.Fail("wt4400_query", WT4400_INSTR_ERROR_BASE - 113);
  ReadRxLevel();
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  log_.Fail("wt4400_query", VI_ERROR_TMO);
  ReadRxLevel();
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  EXPECT_TRUE(Instruments().InstrumentLost);
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
}

TEST_F(TestSetErrors, Dropping4400ResetsAndCloses) {
  OpenAs(TESTSET_4400);
  Instruments().TestSetErrorCount = 1;
  log_.Fail("wt4400_write", WT4400_INSTR_ERROR_BASE - 113);
  ChangeRxChannel();
  EXPECT_EQ(log_.calls,
            (Calls{"wt4400_write(7,CONF:GSM:BS:TCH:ARFC 698)", "wt4400_resetAndWait(7)",
                   "wt4400_errorMessage(-113)", "wt4400_resetAndWait(7)", "wt4400_close(7)"}));
  EXPECT_EQ(g_debug, std::vector<std::string>{"Instrument Error : -113, text for -113\n"});
  EXPECT_EQ(Instruments().InstrumentFault, 1);
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
}

TEST_F(TestSetErrors, CallThatNeverConnectsOn4400CountsTwiceAndDrops) {
  OpenAs(TESTSET_4400);
  log_.Fail("wt4400_waitConnected", WT4400_STATE_TIMEOUT, 2);
  EXPECT_FALSE(StartCall());
  EXPECT_EQ(log_.calls, (Calls{"wt4400_waitConnected(7,10)", "wt4400_resetAndWait(7)",
                               "wt4400_errorMessage(-114)", "wt4400_waitConnected(7,5)",
                               "wt4400_resetAndWait(7)", "wt4400_errorMessage(-114)",
                               "wt4400_resetAndWait(7)", "wt4400_close(7)"}));
}

TEST_F(TestSetErrors, ErrorsWithoutTestSetTypeAreNotCounted) {
  CheckTestSetStatus(0, VI_ERROR_TMO);
  CheckTestSetStatus(0, VI_ERROR_TMO);
  EXPECT_EQ(Instruments().TestSetErrorCount, 0);
  EXPECT_EQ(Instruments().InstrumentFault, 0);
  EXPECT_TRUE(log_.calls.empty());
}

TEST_F(TestSetErrors, ResetAndIdleByTestSet) {
  struct Row {
    int32_t type;
    void (*operation)();
    Calls expected;
  };
  for (const Row& r : {Row{TESTSET_8960, ResetTestSet, {"Clear(7)", "Reset(7)"}},
                       Row{TESTSET_8960, IdleTestSet, {"EndOfTest(7)"}},
                       Row{TESTSET_4400, ResetTestSet, {"wt4400_resetAndWait(7)"}},
                       Row{TESTSET_4400, IdleTestSet, {"wt4400_resetAndWait(7)"}}}) {
    OpenAs(r.type);
    log_.Clear();
    Sequencer().CalStep = 2;
    Sequencer().DcsSubBand = 3;
    r.operation();
    EXPECT_EQ(log_.calls, r.expected);
    EXPECT_EQ(Sequencer().CalStep, 41);
    EXPECT_EQ(Sequencer().DcsSubBand, 0);
  }
}

TEST_F(TestSetErrors, CloseUsesTheDriverThatOpened) {
  Instruments().TestSetType = TESTSET_8960;
  ASSERT_TRUE(OpenTestSet());
  Instruments().TestSetType = TESTSET_4400;  // changed in the RF configuration meanwhile
  log_.Clear();
  CloseTestSet();
  EXPECT_EQ(log_.calls, (Calls{"Close(7)"}));
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
  CloseTestSet();
  EXPECT_EQ(log_.calls.size(), 1u);
}

TEST_F(TestSetErrors, OpenThatDropsOnAnOldCountIsAFailure) {
  Instruments().TestSetType = TESTSET_8960;
  Instruments().TestSetErrorCount = 1;  // left from an earlier sequence
  log_.Fail("CellBand", VI_ERROR_TMO);
  EXPECT_FALSE(OpenTestSet());
  EXPECT_EQ(Instruments().TestSetHandle, 0u);
  EXPECT_EQ(Instruments().InstrumentFault, 1);
}

}  // namespace
