#include <string>

#include "calibration/ApcBand.h"
#include "calibration/ApcSearch.h"
#include "calibration/SequencerSupport.h"
#include "calibration/Sequencers.h"
#include "instruments/TestSet.h"

// DCS 1800 TX power calibration: as GSM, on PCL 0..15 (held as 100..115), with its own
// channel set-up, waits and top-level fill (129..131), ending with a save and a test-set reset.
namespace {

enum DcsState {
  S_START = 5,
  S_BCH = 27,
  S_SUB_BAND = 28,
  S_RF_ENABLE = 12,
  S_LEVEL = 17,
  S_FIRST_WRITE = 25,
  S_MEASURE = 19,
  S_EVALUATE = 26,
  S_FILL_LEVEL = 22,
  S_FILL_WRITE = 23,
  S_RF_DISABLE = 13,
  S_SAVE = 40,
};

// PCL 0..15 held as 100..115; the fill writes 129..131 with the value of PCL 0.
const ApcBand DCS_BAND{.name = "DCS",
                       .dcs = true,
                       .firstLevel = DCS_FIRST_LEVEL,
                       .levelOffset = DCS_FIRST_LEVEL,
                       .fillFirst = DCS_FILL_FIRST,
                       .fillEnd = DCS_FILL_END,
                       .subBand = &SequencerState::DcsSubBand,
                       .fillPending = &CalState::FillDcsTopLevels,
                       .table = &CalState::DcsApcTable,
                       .stateLevel = S_LEVEL,
                       .stateSubBand = S_SUB_BAND,
                       .stateEvaluate = S_EVALUATE,
                       .stateFillLevel = S_FILL_LEVEL,
                       .stateRfDisable = S_RF_DISABLE};

uint32_t SettleWaitMs(int level) {
  if (level == DCS_FIRST_LEVEL) return 2000;
  if (level >= 114) return 4000;
  return 200;
}

int NextAfterAnswer(int last) {
  switch (last) {
    case S_BCH:
      return S_SUB_BAND;
    case S_SUB_BAND:
      return S_RF_ENABLE;
    case S_RF_ENABLE:
      CalWait(1000);
      return S_LEVEL;
    case S_LEVEL:
      return S_FIRST_WRITE;
    case S_FIRST_WRITE:
    case S_EVALUATE:
      return S_MEASURE;
    case S_FILL_LEVEL:
      return S_FILL_WRITE;
    case S_FILL_WRITE:
      return AfterFillWrite(DCS_BAND);
    case S_RF_DISABLE:
      CalWait(500);
      return S_SAVE;
    case S_SAVE:
      return CAL_DONE;
    default:
      return CAL_FAILED;  // an answer the sequence never asked for
  }
}

}  // namespace

int DcsApcStep() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  SequencerState& seq = Sequencer();
  if (CalStepIsFresh()) seq.CalStep = S_START;
  if (CalStepIsAnswered()) return GoToState(NextAfterAnswer(seq.CalLastState));

  switch (seq.CalStep) {
    case S_START:
      cal.SearchCount = 0;
      inst.MsPowerLevel = DCS_FIRST_LEVEL;
      cal.SearchState = SEARCH_SETTLED;
      cal.FillDcsTopLevels = 0;  // the fill belongs to this run's level 100 only
      inst.TestSetErrorCount = 0;
      seq.GsmSubBand = 0;
      seq.DcsSubBand = 1;
      SetLevelParameters();
      ConfigureTxCell();
      return GoToState(S_BCH);
    case S_BCH:
      return IssueCommand(S_BCH, "rfpw 1 " + std::to_string(inst.BchChannel), CAL_COMMAND);
    case S_SUB_BAND:
      SetLevelParameters();
      if (inst.TestSetType == TESTSET_8960) ApplyPathLoss();
      ChangeTxChannel();
      CalWait(500);
      return IssueCommand(S_SUB_BAND, "rfpw 2 " + std::to_string(inst.TchChannel), CAL_COMMAND);
    case S_RF_ENABLE:
      if (seq.DcsSubBand != 1) return GoToState(S_LEVEL);
      return IssueCommand(S_RF_ENABLE, "rfe 7", CAL_COMMAND_ALT);
    case S_LEVEL:
      SetLevelParameters();
      ApplyMsPowerLevel();
      cal.LevelMeasurements = 0;
      return IssueCommand(S_LEVEL, "txpw 1 " + std::to_string(inst.MsPowerLevel), CAL_COMMAND);
    case S_FIRST_WRITE:
      return IssueCommand(S_FIRST_WRITE, ApcWriteLine(DCS_BAND), CAL_COMMAND);
    case S_MEASURE:
      CalWait(SettleWaitMs(inst.MsPowerLevel));
      MeasureTxPower();
      ++cal.LevelMeasurements;
      CalMeasured("tx_power", inst.TxPowerReading);
      return GoToState(S_EVALUATE);
    case S_EVALUATE:
      return EvaluateApcLevel(DCS_BAND);
    case S_FILL_LEVEL:
      return IssueCommand(S_FILL_LEVEL, "txpw 1 " + std::to_string(inst.MsPowerLevel), CAL_COMMAND);
    case S_FILL_WRITE:
      StoreApc(DCS_BAND, inst.MsPowerLevel);
      return IssueCommand(S_FILL_WRITE, ApcWriteLine(DCS_BAND), CAL_COMMAND);
    case S_RF_DISABLE:
      CalWait(500);
      return IssueCommand(S_RF_DISABLE, "rfe 0", CAL_COMMAND);
    case S_SAVE: {
      const int result = IssueCommand(S_SAVE, "se 1", CAL_COMMAND);
      ResetTestSet();  // also puts CalStep back to 41; the pending save still awaits its answer
      seq.CalStep = result;
      seq.CalLastState = S_SAVE;
      return result;
    }
    default:
      return GoToState(CAL_FAILED);
  }
}
