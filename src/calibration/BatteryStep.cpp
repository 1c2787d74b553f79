#include <string>

#include "calibration/SequencerSupport.h"
#include "calibration/Sequencers.h"
#include "instruments/Supply.h"

// Battery calibration: with the supply at 4.18 V, read the handset's battery ADC until three
// readings in a row do not rise and the last lies in the window, write it as the reference,
// save, return the supply to 3.8 V; then the clock and three LCD parameters.
namespace {

enum BatteryState {
  S_START = 5,
  S_EEPROM_RESET = 1,
  S_PREPARE = 43,
  S_TEST_INIT = 6,
  S_TEST_MODE = 7,
  S_ADC_MODE = BATTERY_STATE_ADC_MODE,
  S_READ = 36,
  S_ACCEPT = 37,
  S_SAVE = 40,
  S_CLOCK = BATTERY_STATE_CLOCK,
  S_MAIN_LCD = 45,
  S_SUB_LCD_VOLUME = 46,
  S_SUB_LCD_V0 = 47,
};

int NextAfterAnswer(int last) {
  switch (last) {
    case S_EEPROM_RESET:
      CalWait(5000);
      return S_PREPARE;
    case S_PREPARE:
      CalWait(3000);
      return S_TEST_INIT;
    case S_TEST_INIT:
      CalWait(100);
      return S_TEST_MODE;
    case S_TEST_MODE:
      CalWait(100);
      return S_ADC_MODE;
    case S_ADC_MODE:
      CalWait(100);
      return S_READ;
    case S_READ:
      return S_ACCEPT;
    case S_ACCEPT:
      return S_SAVE;
    case S_SAVE:
      CalWait(1000);
      return S_CLOCK;
    case S_CLOCK:
      CalWait(1000);
      return S_MAIN_LCD;
    case S_MAIN_LCD:
      CalWait(300);
      return S_SUB_LCD_VOLUME;
    case S_SUB_LCD_VOLUME:
      CalWait(300);
      return S_SUB_LCD_V0;
    case S_SUB_LCD_V0:
      CalWait(300);
      return CAL_DONE;
    default:
      return CAL_FAILED;  // an answer the sequence never asked for
  }
}

int Accept() {
  CalState& cal = Cal();
  const int r = cal.BatteryReading;
  if (BatteryAccepts(r, cal.BatteryPrev1, cal.BatteryPrev2)) {
    CalProgress("Battery: reference " + std::to_string(r));
    return IssueCommand(S_ACCEPT, "spw 54 " + std::to_string(r), CAL_COMMAND);
  }
  cal.BatteryPrev2 = cal.BatteryPrev1;
  cal.BatteryPrev1 = r;
  return GoToState(S_READ);
}

}  // namespace

int BatteryStep() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  SequencerState& seq = Sequencer();
  if (CalStepIsFresh()) {
    cal.BatteryPrev2 = 0;
    cal.BatteryPrev1 = 1;
    seq.CalStep = S_START;
    inst.InstrumentFault = 0;
  }
  if (inst.InstrumentFault) seq.CalStep = CAL_FAILED;
  if (CalStepIsAnswered()) {
    if (seq.CalLastState == S_SAVE && inst.SupplyType != SUPPLY_NONE) SetSupplyNominal();
    return GoToState(NextAfterAnswer(seq.CalLastState));
  }

  switch (seq.CalStep) {
    case S_START:
      if (inst.SupplyType != SUPPLY_NONE) SetSupplyCharged();
      return GoToState(S_EEPROM_RESET);
    case S_EEPROM_RESET:
      return IssueCommand(S_EEPROM_RESET, "se 6", CAL_COMMAND);
    case S_PREPARE:
      return IssueCommand(S_PREPARE, "se 300", CAL_COMMAND_RESUME);
    case S_TEST_INIT:
      return IssueCommand(S_TEST_INIT, "ti", CAL_COMMAND);
    case S_TEST_MODE:
      return IssueCommand(S_TEST_MODE, "tms 1", CAL_COMMAND);
    case S_ADC_MODE:
      return IssueCommand(S_ADC_MODE, "se 54", CAL_COMMAND);
    case S_READ:
      CalWait(4000);
      return IssueCommand(S_READ, "spr 54", CAL_COMMAND);
    case S_ACCEPT:
      return Accept();
    case S_SAVE:
      return IssueCommand(S_SAVE, "se 11", CAL_COMMAND);
    case S_CLOCK:
      // The window encodes the clock command itself (it owns the PC time and its display).
      Sequencer().CalLastState = S_CLOCK;
      return GoToState(CAL_COMMAND);
    case S_MAIN_LCD:
      return IssueCommand(S_MAIN_LCD, "spw 51 25", CAL_COMMAND);
    case S_SUB_LCD_VOLUME:
      return IssueCommand(S_SUB_LCD_VOLUME, "spw 52 26", CAL_COMMAND);
    case S_SUB_LCD_V0:
      return IssueCommand(S_SUB_LCD_V0, "spw 53 2", CAL_COMMAND);
    case CAL_FAILED:
      return CAL_FAILED;
    default:
      return GoToState(CAL_FAILED);
  }
}
