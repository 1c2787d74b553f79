#include "calibration/AutoCalibration.h"

#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"

// The resume timer of the RX and battery steps and the production loop's current polling.
void AutoCalibration::OnTimer(int id) {
  switch (id) {
    case TIMER_RESUME:
      return OnResumeTimer();
    case TIMER_PHONE_IN:
      return OnPhoneIn();
    case TIMER_PHONE_OUT:
      return OnPhoneOut();
    default:
      return;
  }
}

void AutoCalibration::OnResumeTimer() {
  loop_.KillTimer(this, TIMER_RESUME);
  switch (active_step_) {
    case STEP_GSM_TX:
      return RunGsmTx();
    case STEP_DCS_TX:
      return RunDcsTx();
    case STEP_RX:
      if (call_pending_) {
        call_pending_ = false;
        if (StartCall()) return RunRxCal();
        Cal().ResultMessage = "Call Fail";
        if (observer_) observer_->StepFinished(STEP_RX, false);
        notifier_.Result(Cal().ResultMessage);
        StopCalibration();
        ProductionLoopAfterRun();
      } else if (resume_pending_) {
        resume_pending_ = false;
        RunRxCal();
      }
      return;
    case STEP_BATTERY:
      resume_pending_ = false;
      return RunBattery();
    case STEP_GMAGIC:
      return RunGmagic();
    default:
      return;
  }
}

bool AutoCalibration::ProductionLoopActive() const {
  return Instruments().SupplyType != SUPPLY_NONE && selected_mode_ == MODE_RF;
}

void AutoCalibration::ProductionLoopAfterRun() {
  if (!ProductionLoopActive()) return;
  loop_.KillTimer(this, TIMER_PHONE_IN);
  loop_.SetTimer(this, TIMER_PHONE_OUT, PHONE_POLL_MS);
}

// A supply that went away reads 0 A for ever: "Ready to Test. !" would be shown for a station
// that can detect nothing. The polling stops and the instrument check shows whether the supply
// can be opened again (it starts the polling again when it can).
bool AutoCalibration::SupplyLostWhilePolling() {
  if (Instruments().SupplyHandle != 0) return false;
  Instruments().InstrumentFault = 0;
  Instruments().InstrumentLost = false;
  ResetStatus();
  OnInstrumentCheck();
  return true;
}

void AutoCalibration::OnPhoneIn() {
  loop_.KillTimer(this, TIMER_PHONE_IN);
  const double current = ReadSupplyCurrent();
  CalMeasured("supply_current", current);
  if (SupplyLostWhilePolling()) return;
  if (current > PHONE_IN_CURRENT_A) {
    Status("Checking the PHONE. Wait a moment !");
    loop_.BusyWait(PHONE_SETTLE_MS);
    OnAutoCalStart();
  } else {
    Status("Ready to Test. !");
    loop_.SetTimer(this, TIMER_PHONE_IN, PHONE_POLL_MS);
  }
}

void AutoCalibration::OnPhoneOut() {
  loop_.KillTimer(this, TIMER_PHONE_OUT);
  const double current = ReadSupplyCurrent();
  CalMeasured("supply_current", current);
  if (SupplyLostWhilePolling()) return;
  if (current >= PHONE_OUT_CURRENT_A) {
    Status("Remove the PHONE. !");
    loop_.SetTimer(this, TIMER_PHONE_OUT, PHONE_POLL_MS);
  } else {
    loop_.SetTimer(this, TIMER_PHONE_IN, PHONE_POLL_MS);
  }
}
