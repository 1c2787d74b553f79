#include <cstdio>
#include <string>

#include "calibration/SequencerSupport.h"
#include "calibration/Sequencers.h"
#include "instruments/TestSet.h"

// RX channel calibration: with a call up at a fixed downlink level, read the handset's
// correction on 17 channels, ask the test set which level the handset reports, and write the
// correction that brings the report to 50.
namespace {

enum RxState {
  S_START = 5,
  S_CALL_SETUP = 38,
  S_GROUP = 30,
  S_CHANNEL = 28,
  S_SELECT = 31,
  S_READ_CORRECTION = 32,
  S_READ_LEVEL = 34,
  S_WRITE_CORRECTION = 33,
  S_LEAVE = 39,
  S_SAVE = 40,
};

constexpr int RX_LAST_INDEX = RX_CHANNEL_COUNT - 1;

int NextAfterAnswer(int last) {
  CalState& cal = Cal();
  switch (last) {
    case S_START:
      return S_CALL_SETUP;
    case S_CALL_SETUP:
      return S_GROUP;
    case S_SELECT:
      return S_READ_CORRECTION;
    case S_READ_CORRECTION:
      return S_READ_LEVEL;
    case S_WRITE_CORRECTION:
      ++cal.RxIndex;
      if (cal.RxIndex > RX_LAST_INDEX) return S_LEAVE;
      if (cal.RxIndex > cal.RxGroupEnd) return S_GROUP;
      return S_CHANNEL;
    case S_LEAVE:
      return S_SAVE;
    case S_SAVE:
      return CAL_DONE;
    default:
      return CAL_FAILED;  // an answer the sequence never asked for
  }
}

std::string FormatReading(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

int WriteCorrection() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  cal.RxNewValue = RxCorrection(cal.RxCurrentValue, inst.RxLevelReading);
  if (cal.RxIndex >= 0 && cal.RxIndex <= RX_LAST_INDEX) {
    cal.RxCalTable[static_cast<size_t>(cal.RxIndex)] = cal.RxNewValue;
  }
  if (!RxLevelUsable(inst.RxLevelReading) || cal.RxNewValue < -RX_CORRECTION_LIMIT ||
      cal.RxNewValue > RX_CORRECTION_LIMIT) {
    inst.InstrumentFault = 1;
  }
  CalProgress("RX channel " + std::to_string(inst.TchChannel) + ": reported " +
              FormatReading(inst.RxLevelReading) + ", correction " +
              std::to_string(cal.RxCurrentValue) + " -> " + std::to_string(cal.RxNewValue));
  const int result =
      IssueCommand(S_WRITE_CORRECTION, "spw 11 " + std::to_string(cal.RxNewValue), CAL_COMMAND);
  // An out-of-range correction (or a test-set error) never reaches the handset.
  if (inst.InstrumentFault) return GoToState(CAL_FAILED);
  return result;
}

}  // namespace

int RxCalStep() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  SequencerState& seq = Sequencer();
  if (CalStepIsFresh()) seq.CalStep = S_START;
  if (CalStepIsAnswered()) return GoToState(NextAfterAnswer(seq.CalLastState));

  switch (seq.CalStep) {
    case S_START:
      cal.RxIndex = 0;
      inst.TestSetErrorCount = 0;
      SetRxChannel();
      ConfigureRxCell();
      CalWait(2000);
      return IssueCommand(S_START, "se 300", CAL_COMMAND_RESUME);
    case S_CALL_SETUP:
      CalWait(6000);
      return IssueCommand(S_CALL_SETUP, "se 100", CAL_COMMAND_ALT);
    case S_GROUP:
      CalWait(1000);
      SetRxChannel();
      ApplyRxPowerLevel();
      CalWait(1000);
      return GoToState(S_CHANNEL);
    case S_CHANNEL:
      SetRxChannel();
      ChangeRxChannel();
      return GoToState(S_SELECT);
    case S_SELECT:
      return IssueCommand(S_SELECT, "spw 1 " + std::to_string(inst.TchChannel), CAL_COMMAND);
    case S_READ_CORRECTION:
      CalWait(1000);
      return IssueCommand(S_READ_CORRECTION, "spr 11", CAL_COMMAND);
    case S_READ_LEVEL:
      CalWait(1000);
      ReadRxLevel();
      CalMeasured("rx_level", inst.RxLevelReading);
      return GoToState(S_WRITE_CORRECTION);
    case S_WRITE_CORRECTION:
      return WriteCorrection();
    case S_LEAVE:
      return IssueCommand(S_LEAVE, "se 101", CAL_COMMAND);
    case S_SAVE:
      CalWait(1000);
      return IssueCommand(S_SAVE, "se 1", CAL_COMMAND);
    default:
      return GoToState(CAL_FAILED);
  }
}
