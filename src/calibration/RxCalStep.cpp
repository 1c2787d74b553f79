#include <array>
#include <cmath>
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

constexpr std::array<int, RX_CHANNEL_COUNT> RX_CHANNELS{
    1, 20, 40, 62, 80, 100, 124, 512, 585, 660, 700, 790, 835, 885, 975, 1000, 1023};
constexpr int RX_LAST_INDEX = RX_CHANNEL_COUNT - 1;
constexpr double RX_TARGET_LEVEL = 50.0;

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

int RxChannelOfIndex(int index) {
  if (index < 0 || index > RX_LAST_INDEX) return 0;
  return RX_CHANNELS[static_cast<size_t>(index)];
}

void SetRxChannel() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  const RfConfig& rf = RfConfiguration();
  if (cal.RxIndex < 0 || cal.RxIndex > RX_LAST_INDEX) return;
  switch (cal.RxIndex) {
    case 0:
      inst.BandCode = BAND_GSM900;
      inst.PathLoss = rf.GsmPathLoss[2];
      inst.BchChannel = rf.GsmBchChannel;
      cal.RxGroupEnd = 6;
      inst.MsPowerLevel = 10;
      break;
    case 7:
      inst.BandCode = BAND_DCS1800;
      inst.PathLoss = rf.DcsPathLoss[2];
      cal.RxGroupEnd = 13;
      inst.MsPowerLevel = 5;
      break;
    case 14:
      inst.BandCode = BAND_GSM900;
      inst.PathLoss = rf.GsmPathLoss[2];
      cal.RxGroupEnd = 16;
      inst.MsPowerLevel = 10;
      break;
    default:
      break;
  }
  inst.TchChannel = RX_CHANNELS[static_cast<size_t>(cal.RxIndex)];
}

bool RxLevelUsable(double reportedLevel) {
  // A test set without a report answers 9.91E+37; such a value must fail the channel, not
  // wrap into a plausible correction.
  return std::isfinite(reportedLevel) && std::fabs(reportedLevel) < 10000.0;
}

int16_t RxCorrection(int16_t current, double reportedLevel) {
  if (!RxLevelUsable(reportedLevel)) return current;
  const int step = 2 * static_cast<int>(std::trunc(RX_TARGET_LEVEL - reportedLevel));
  return static_cast<int16_t>(static_cast<uint16_t>(current + step));
}

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
