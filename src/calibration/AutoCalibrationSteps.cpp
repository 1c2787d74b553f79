#include "calibration/AutoCalibration.h"

#include <cstdio>

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"

// The step runners over the sequencers, the chaining of a full run, failures and the stop.
namespace {

constexpr int MAX_SEQUENCER_CALLS = 10000;  // a sequencer that never settles is a fault
constexpr size_t RESULT_MESSAGE_MAX = 95;

std::string Printf(const char* format, int a, int b) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string FormatSpan(uint32_t ms) {
  const uint32_t seconds = ms / 1000;
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u", (seconds / 60) % 60, seconds % 60);
  return text;
}

}  // namespace

void AutoCalibration::RunGsmTx() {
  RunTxStep(STEP_GSM_TX, &GsmApcStep, "GSMTX CAL Processing...");
}

void AutoCalibration::RunDcsTx() {
  RunTxStep(STEP_DCS_TX, &DcsApcStep, "DCSTX CAL Processing...");
}

void AutoCalibration::RunTxStep(int step, Sequencer sequencer, const char* processingText) {
  active_step_ = step;
  for (int calls = 0; calls < MAX_SEQUENCER_CALLS; ++calls) {
    const int result = sequencer();
    if (result == CAL_COMMAND || result == CAL_COMMAND_ALT || result == CAL_COMMAND_RESUME) {
      if (result == CAL_COMMAND_ALT) Status(processingText);
      if (RefuseToWait(step)) return;
      if (result == CAL_COMMAND) StepProgress();
      Transmit();
      return;
    }
    if (result == CAL_DONE) return EndStep(step);
    if (result == CAL_FAILED) return FailStep(step, FailureMessage(step));
  }
  FailStep(step, FailureMessage(step));
}

void AutoCalibration::RunRxCal() {
  active_step_ = STEP_RX;
  for (int calls = 0; calls < MAX_SEQUENCER_CALLS; ++calls) {
    const int result = RxCalStep();
    switch (result) {
      case CAL_COMMAND:
        if (RefuseToWait(STEP_RX)) return;
        StepProgress();
        Transmit();
        return;
      case CAL_COMMAND_RESUME:  // "se 300": no answer awaited
        if (RefuseToWait(STEP_RX)) return;
        Status("RX CAL Processing...");
        resume_pending_ = true;
        Transmit();
        loop_.SetTimer(this, TIMER_RESUME, RX_RESUME_MS);
        return;
      case CAL_COMMAND_ALT:  // "se 100": the call is set up when the resume timer fires
        if (RefuseToWait(STEP_RX)) return;
        call_pending_ = true;
        Transmit();
        loop_.SetTimer(this, TIMER_RESUME, RX_RESUME_MS);
        return;
      case CAL_DONE:
        return EndStep(STEP_RX);
      case CAL_FAILED:
        return FailStep(STEP_RX, FailureMessage(STEP_RX));
      default:
        break;
    }
  }
  FailStep(STEP_RX, FailureMessage(STEP_RX));
}

void AutoCalibration::RunGmagic() {
  active_step_ = STEP_GMAGIC;
  for (int calls = 0; calls < MAX_SEQUENCER_CALLS; ++calls) {
    const int result = GmagicStep();
    if (result == CAL_COMMAND || result == CAL_COMMAND_ALT || result == CAL_COMMAND_RESUME) {
      Status("GMAGIC CAL Processing...");
      if (RefuseToWait(STEP_GMAGIC)) return;
      StepProgress();
      Transmit();
      return;
    }
    if (result == CAL_DONE) return EndStep(STEP_GMAGIC);
    if (result == CAL_FAILED) return FailStep(STEP_GMAGIC, FailureMessage(STEP_GMAGIC));
  }
  FailStep(STEP_GMAGIC, FailureMessage(STEP_GMAGIC));
}

void AutoCalibration::RunBattery() {
  active_step_ = STEP_BATTERY;
  for (int calls = 0; calls < MAX_SEQUENCER_CALLS; ++calls) {
    StepProgress();
    const int result = BatteryStep();
    switch (result) {
      case CAL_COMMAND:
      case CAL_COMMAND_ALT:
        // A supply error raised while this command was prepared would send it without the
        // answer timer, and the step would wait for ever.
        if (RefuseToWait(STEP_BATTERY)) return;
        if (::Sequencer().CalLastState == BATTERY_STATE_CLOCK) SendRtcTime();
        Transmit();
        return;
      case CAL_COMMAND_RESUME:  // "se 300": no answer awaited
        if (RefuseToWait(STEP_BATTERY)) return;
        resume_pending_ = true;
        view_.SetField(CalField::BatteryValue, "");
        view_.SetField(CalField::ClockText, "");
        Transmit();
        loop_.SetTimer(this, TIMER_RESUME, BATTERY_RESUME_MS);
        return;
      case BATTERY_STATE_ADC_MODE:
        Status("BAT CAL Processing...");
        break;
      case CAL_DONE:
        return EndStep(STEP_BATTERY);
      case CAL_FAILED:
        return FailStep(STEP_BATTERY, FailureMessage(STEP_BATTERY));
      default:
        break;
    }
  }
  FailStep(STEP_BATTERY, FailureMessage(STEP_BATTERY));
}

// A command encoded after a test-set error would go out without the answer timers and the step
// would wait for ever; it fails at once instead, with the step's own message.
bool AutoCalibration::RefuseToWait(int step) {
  if (!Instruments().InstrumentFault) return false;
  FailStep(step, FailureMessage(step));
  return true;
}

std::string AutoCalibration::FailureMessage(int step) const {
  switch (step) {
    case STEP_GSM_TX:
      return Printf("GSM %dBand %dLEVEL FAIL", ::Sequencer().GsmSubBand,
                    Instruments().MsPowerLevel);
    case STEP_DCS_TX:
      return Printf("DCS %dBand %dLEVEL FAIL", ::Sequencer().DcsSubBand,
                    Instruments().MsPowerLevel);
    case STEP_RX:
      return "******  RXCAL FAIL  ******";
    case STEP_GMAGIC:
      return "GMAGIC CAL FAIL";
    case STEP_BATTERY:
      return "******  BATCAL FAIL  ******";
    default:
      return "";
  }
}

void AutoCalibration::EndStep(int step) {
  ResetProgress();
  if (step != STEP_BATTERY) ShowStepResults();  // the battery step did it at "se 11"
  active_step_ = STEP_IDLE;
  if (observer_) observer_->StepFinished(step, true);
  switch (step) {
    case STEP_GMAGIC:
      Status("GMAGIC CAL END");
      if (full_sequence_) {
        IdleTestSet();
        RunRxCal();
      }
      break;
    case STEP_RX:
      Status("RX CAL END");
      if (full_sequence_) RunGsmTx();
      break;
    case STEP_GSM_TX:
      Status("PGSM TX CAL END");
      if (full_sequence_) RunDcsTx();
      break;
    case STEP_DCS_TX:
      Status("Calibration Success.... ", StatusLook::Success);
      if (full_sequence_) {
        full_sequence_ = false;
        resume_pending_ = false;
        end_time_ = loop_.TickCount();
        view_.SetField(CalField::ElapsedTime, FormatSpan(end_time_ - start_time_));
      }
      ProductionLoopAfterRun();
      break;
    case STEP_BATTERY:
      if (full_sequence_) {
        RunGmagic();
      } else {
        Cal().ResultMessage = "!!!  SUCCESS  !!!";
        notifier_.Result(Cal().ResultMessage);
      }
      break;
    default:
      break;
  }
}

void AutoCalibration::FailStep(int step, const std::string& message) {
  Cal().ResultMessage = message.substr(0, RESULT_MESSAGE_MAX);
  Instruments().InstrumentFault = 0;
  if (observer_) observer_->StepFinished(step, false);
  notifier_.Result(Cal().ResultMessage);
  StopCalibration();
  if (step != STEP_BATTERY) ProductionLoopAfterRun();
}

void AutoCalibration::StopCalibration() {
  StopStep();
  OnInstrumentCheck();
}

void AutoCalibration::StopStep() {
  const int stopped = active_step_;
  if (port_.IsOpen()) SendLine(stopped == STEP_RX ? "se 101" : "rfe 0");
  exchange_.StopTimers();
  // A step resumed after its stop would run on a reset test set: drop any pending resume.
  loop_.KillTimer(this, TIMER_RESUME);
  call_pending_ = false;
  resume_pending_ = false;
  if (stopped != STEP_BATTERY) {
    if (Instruments().TestSetType == TESTSET_8960) IdleTestSet();
    if (Instruments().TestSetType == TESTSET_4400) ResetTestSet();
  } else if (Instruments().SupplyType != SUPPLY_NONE && Instruments().SupplyHandle != 0) {
    // A battery step stopped halfway would leave the handset on the charged 4.18 V.
    SetSupplyNominal();
  }
  Instruments().InstrumentLost = false;
  active_step_ = STEP_IDLE;
  full_sequence_ = false;
  ResetProgress();
  ResetStatus();
  Instruments().InstrumentFault = 0;
}
