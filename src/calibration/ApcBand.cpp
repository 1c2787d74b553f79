#include "calibration/ApcBand.h"

#include "calibration/ApcSearch.h"
#include "calibration/SequencerSupport.h"

std::string ApcWriteLine(const ApcBand& band) {
  return ApcCommandPrefix(band.dcs, Sequencer().*band.subBand) + std::to_string(Cal().ApcDac);
}

void StoreApc(const ApcBand& band, int level) {
  const int subBand = Sequencer().*band.subBand;
  const int column = level - band.levelOffset;
  if (subBand < 1 || subBand > 3 || column < 0 || column >= APC_TABLE_LEVELS) return;
  (Cal().*band.table)[static_cast<size_t>(subBand)][static_cast<size_t>(column)] = Cal().ApcDac;
}

int EvaluateApcLevel(const ApcBand& band) {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  int& subBand = Sequencer().*band.subBand;
  UpdateApcSearch();
  if (cal.SearchState == SEARCH_GO_LOWER || cal.SearchState == SEARCH_GO_HIGHER) {
    return IssueCommand(band.stateEvaluate, ApcWriteLine(band), CAL_COMMAND);
  }
  if (inst.InstrumentFault) return GoToState(CAL_FAILED);

  StoreApc(band, inst.MsPowerLevel);
  CalProgress(band.name + std::to_string(subBand) + " level " +
              std::to_string(inst.MsPowerLevel - band.levelOffset) + ": APC " +
              std::to_string(cal.ApcDac) + " (" + std::to_string(cal.LevelMeasurements - 1) +
              " corrections)");
  ++inst.MsPowerLevel;
  if (cal.*band.fillPending) {
    cal.*band.fillPending = 0;
    cal.ResumeLevel = inst.MsPowerLevel;
    inst.MsPowerLevel = band.fillFirst;
    return GoToState(band.stateFillLevel);
  }
  if (inst.MsPowerLevel > cal.LastLevel) {
    subBand = subBand >= 3 ? 0 : subBand + 1;
    inst.MsPowerLevel = band.firstLevel;
    return GoToState(subBand == 0 ? band.stateRfDisable : band.stateSubBand);
  }
  return GoToState(band.stateLevel);
}

int AfterFillWrite(const ApcBand& band) {
  InstrumentState& inst = Instruments();
  ++inst.MsPowerLevel;
  if (inst.MsPowerLevel < band.fillEnd) return band.stateFillLevel;
  inst.MsPowerLevel = Cal().ResumeLevel;
  return band.stateLevel;
}
