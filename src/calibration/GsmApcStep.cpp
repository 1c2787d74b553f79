#include <string>

#include "calibration/ApcBand.h"
#include "calibration/ApcSearch.h"
#include "calibration/SequencerSupport.h"
#include "calibration/Sequencers.h"
#include "instruments/TestSet.h"

// GSM 900 TX power calibration: for sub-bands 1..3 and levels 5..19, bisect the APC DAC value
// until the measured power lies within the level's tolerance, and write each value.
namespace {

enum GsmState {
  S_START = 5,
  S_TEST_MODE = 6,
  S_SUB_BAND = 28,
  S_RF_ENABLE = 12,
  S_LEVEL = 17,
  S_FIRST_WRITE = 25,
  S_MEASURE = 19,
  S_EVALUATE = 26,
  S_FILL_LEVEL = 20,
  S_FILL_WRITE = 21,
  S_RF_DISABLE = 13,
};

// The fill writes levels 0..4 with the value of level 5.
const ApcBand GSM_BAND{.name = "GSM",
                       .dcs = false,
                       .firstLevel = GSM_FIRST_LEVEL,
                       .levelOffset = 0,
                       .fillFirst = 0,
                       .fillEnd = GSM_FIRST_LEVEL,
                       .subBand = &SequencerState::GsmSubBand,
                       .fillPending = &CalState::FillGsmTopLevels,
                       .table = &CalState::GsmApcTable,
                       .stateLevel = S_LEVEL,
                       .stateSubBand = S_SUB_BAND,
                       .stateEvaluate = S_EVALUATE,
                       .stateFillLevel = S_FILL_LEVEL,
                       .stateRfDisable = S_RF_DISABLE};

uint32_t SettleWaitMs(int level) {
  return (level == 5 || level == 13 || level == 17 || level == 18 || level == 19) ? 2000 : 300;
}

// The state that follows the answer to the command of `last`.
int NextAfterAnswer(int last) {
  switch (last) {
    case S_START:
      return S_TEST_MODE;
    case S_TEST_MODE:
      return S_SUB_BAND;
    case S_SUB_BAND:
      return S_RF_ENABLE;
    case S_RF_ENABLE:
      CalWait(2000);
      return S_LEVEL;
    case S_LEVEL:
      return S_FIRST_WRITE;
    case S_FIRST_WRITE:
    case S_EVALUATE:
      return S_MEASURE;
    case S_FILL_LEVEL:
      return S_FILL_WRITE;
    case S_FILL_WRITE:
      return AfterFillWrite(GSM_BAND);
    case S_RF_DISABLE:
      CalWait(500);
      return CAL_DONE;
    default:
      return CAL_FAILED;  // an answer the sequence never asked for
  }
}

}  // namespace

int GsmApcStep() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  SequencerState& seq = Sequencer();
  if (CalStepIsFresh()) seq.CalStep = S_START;
  if (CalStepIsAnswered()) return GoToState(NextAfterAnswer(seq.CalLastState));

  switch (seq.CalStep) {
    case S_START:
      cal.SearchCount = 0;
      inst.MsPowerLevel = GSM_FIRST_LEVEL;
      cal.SearchState = SEARCH_SETTLED;
      cal.FillGsmTopLevels = 0;  // the fill belongs to this run's level 5 only
      inst.TestSetErrorCount = 0;
      seq.GsmSubBand = 1;
      seq.DcsSubBand = 0;
      SetLevelParameters();
      PrepareTxMeasurement();
      ConfigureTxCell();
      return IssueCommand(S_START, "ti", CAL_COMMAND);
    case S_TEST_MODE:
      return IssueCommand(S_TEST_MODE, "tms 1", CAL_COMMAND);
    case S_SUB_BAND:
      SetLevelParameters();
      if (inst.TestSetType == TESTSET_8960) ApplyPathLoss();
      ChangeTxChannel();
      CalWait(500);
      return IssueCommand(S_SUB_BAND, "rfpw 2 " + std::to_string(inst.TchChannel), CAL_COMMAND);
    case S_RF_ENABLE:
      if (seq.GsmSubBand != 1) return GoToState(S_LEVEL);
      CalWait(100);
      return IssueCommand(S_RF_ENABLE, "rfe 7", CAL_COMMAND_ALT);
    case S_LEVEL:
      SetLevelParameters();
      ApplyMsPowerLevel();
      cal.LevelMeasurements = 0;
      return IssueCommand(S_LEVEL, "txpw 1 " + std::to_string(inst.MsPowerLevel), CAL_COMMAND);
    case S_FIRST_WRITE:
      return IssueCommand(S_FIRST_WRITE, ApcWriteLine(GSM_BAND), CAL_COMMAND);
    case S_MEASURE:
      CalWait(SettleWaitMs(inst.MsPowerLevel));
      MeasureTxPower();
      ++cal.LevelMeasurements;
      CalMeasured("tx_power", inst.TxPowerReading);
      return GoToState(S_EVALUATE);
    case S_EVALUATE:
      return EvaluateApcLevel(GSM_BAND);
    case S_FILL_LEVEL:
      return IssueCommand(S_FILL_LEVEL, "txpw 1 " + std::to_string(inst.MsPowerLevel), CAL_COMMAND);
    case S_FILL_WRITE:
      StoreApc(GSM_BAND, inst.MsPowerLevel);
      return IssueCommand(S_FILL_WRITE, ApcWriteLine(GSM_BAND), CAL_COMMAND);
    case S_RF_DISABLE:
      return IssueCommand(S_RF_DISABLE, "rfe 0", CAL_COMMAND);
    default:
      return GoToState(CAL_FAILED);
  }
}
