#include <string>

#include "calibration/SequencerSupport.h"
#include "calibration/Sequencers.h"
#include "instruments/TestSet.h"

// GMAGIC calibration: with a CW tone at a known level, take two received-level readings per
// band and move the handset's GMAGIC value by twice the difference between 55 and their mean.
namespace {

enum GmagicState {
  S_START = 5,
  S_TEST_MODE = 6,
  S_GENERATOR = 8,
  S_TONE = 9,
  S_RF_ON = 12,
  S_READ_LEVEL = 14,
  S_RF_OFF = 13,
  S_READ_VALUE = 15,
  S_WRITE_VALUE = 16,
  S_SAVE = 40,
};

struct GmagicBand {
  int channel;
  const char* readCommand;
  const char* writeCommand;
  const char* tail;
};
constexpr GmagicBand GSM_BAND{62, "rftr 31", "rftw 31 ", ",40,0,39,40"};
constexpr GmagicBand DCS_BAND{698, "rftr 47", "rftw 47 ", ",40,0,41,42"};

bool IsGsm() {
  return Instruments().BandCode == BAND_GSM900;
}
const GmagicBand& Band() {
  return IsGsm() ? GSM_BAND : DCS_BAND;
}

int NextAfterAnswer(int last) {
  InstrumentState& inst = Instruments();
  CalState& cal = Cal();
  switch (last) {
    case S_START:
      return S_TEST_MODE;
    case S_TEST_MODE:
      return S_GENERATOR;
    case S_TONE:
      return S_RF_ON;
    case S_RF_ON:
      return S_READ_LEVEL;
    case S_READ_LEVEL:
      return S_RF_OFF;
    case S_RF_OFF:
      return cal.ReadingsDone ? S_READ_VALUE : S_RF_ON;
    case S_READ_VALUE:
      return S_WRITE_VALUE;
    case S_WRITE_VALUE:
      if (!IsGsm()) return S_SAVE;
      inst.BandCode = BAND_DCS1800;
      cal.ReadingsDone = 0;
      return S_GENERATOR;
    case S_SAVE:
      return CAL_DONE;
    default:
      return CAL_FAILED;  // an answer the sequence never asked for
  }
}

int WriteValue() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  const int before = cal.GmagicValue;
  cal.GmagicValue = GmagicCorrection(cal.GmagicValue, cal.RssiReading1, cal.RssiReading2);
  (IsGsm() ? cal.GmagicResultGsm : cal.GmagicResultDcs) = cal.GmagicValue;
  cal.GmagicWriteText = std::to_string(cal.GmagicValue) + Band().tail;
  if (cal.GmagicValue > GMAGIC_MAX || cal.GmagicValue < GMAGIC_MIN) inst.InstrumentFault = 1;
  CalProgress(std::string("GMAGIC ") + (IsGsm() ? "GSM" : "DCS") + ": readings " +
              std::to_string(cal.RssiReading1) + ", " + std::to_string(cal.RssiReading2) +
              ", value " + std::to_string(before) + " -> " + std::to_string(cal.GmagicValue));
  const int result =
      IssueCommand(S_WRITE_VALUE, Band().writeCommand + cal.GmagicWriteText, CAL_COMMAND);
  // A value outside its limits is kept for the display but never written to the handset.
  if (inst.InstrumentFault) return GoToState(CAL_FAILED);
  return result;
}

}  // namespace

int GmagicStep() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  SequencerState& seq = Sequencer();
  if (CalStepIsFresh()) {
    inst.TestSetErrorCount = 0;
    inst.BandCode = BAND_GSM900;
    inst.CwOffsetSelect = 0;
    cal.ReadingsDone = 0;
    cal.GmagicWriteText.clear();
    inst.InstrumentFault = 0;
    seq.CalStep = S_START;
  }
  if (CalStepIsAnswered()) return GoToState(NextAfterAnswer(seq.CalLastState));
  if (seq.CalStep == S_GENERATOR) {
    inst.PathLoss = IsGsm() ? RfConfiguration().GsmPathLoss[2] : RfConfiguration().DcsPathLoss[2];
  }
  if (seq.CalStep == S_TONE) inst.TchChannel = Band().channel;

  switch (seq.CalStep) {
    case S_START:
      StartCwGenerator();
      return IssueCommand(S_START, "ti", CAL_COMMAND);
    case S_TEST_MODE:
      return IssueCommand(S_TEST_MODE, "tms 1", CAL_COMMAND);
    case S_GENERATOR:
      ConfigureCwGenerator();
      return GoToState(S_TONE);
    case S_TONE:
      SetCwFrequency();
      return IssueCommand(S_TONE, "rfpw 2 " + std::to_string(inst.TchChannel), CAL_COMMAND);
    case S_RF_ON:
      return IssueCommand(S_RF_ON, "rfe 1", CAL_COMMAND);
    case S_READ_LEVEL:
      CalWait(3000);
      return IssueCommand(S_READ_LEVEL, "sr 1 2", CAL_COMMAND);
    case S_RF_OFF:
      return IssueCommand(S_RF_OFF, "rfe 0", CAL_COMMAND);
    case S_READ_VALUE:
      return IssueCommand(S_READ_VALUE, Band().readCommand, CAL_COMMAND);
    case S_WRITE_VALUE:
      return WriteValue();
    case S_SAVE:
      return IssueCommand(S_SAVE, "se 1", CAL_COMMAND);
    default:
      return GoToState(CAL_FAILED);
  }
}
