#include "calibration/AutoCalibration.h"

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"

// The answer dispatch: what each good answer means for the step that waits, and the time-out.
namespace {

// Opcodes of the answers the window acts on.
constexpr uint8_t OP_TI = 0x20;
constexpr uint8_t OP_TMS = 0x21;
constexpr uint8_t OP_VG = 0x22;
constexpr uint8_t OP_SR = 0x24;
constexpr uint8_t OP_RFTR = 0x33;
constexpr uint8_t OP_SPW = 0x50;
constexpr uint8_t OP_SPR = 0x51;
constexpr uint8_t OP_STW = 0x52;
constexpr uint8_t OP_SE = 0x54;

// Answer layout: 02 14 opcode status sub-code data... check 02.
constexpr uint16_t SUB_CODE_MIN_LENGTH = 7;
constexpr uint16_t VALUE_MIN_LENGTH = 9;  // a 16-bit value at bytes 5 and 6
constexpr uint16_t RSSI_KIND2_MIN_LENGTH = 12;
constexpr uint16_t RSSI_KIND3_MIN_LENGTH = 13;
constexpr double RSSI_SCALE = 64.0;

uint16_t Value16(const uint8_t* frame, int low) {
  return static_cast<uint16_t>(frame[low] | (frame[low + 1] << 8));
}

}  // namespace

void AutoCalibration::DecodeAnswer(Exchange& ex) {
  const AnswerClass cls = ex.CheckAnswer();
  if (observer_) observer_->AnswerFrame(ex.Frame(), ex.FrameLength(), cls);
  switch (cls) {
    case ANSWER_NONE:
      return;
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      return;
    case ANSWER_STATUS_ERROR:
      Status("received data is broken");  // the answer timer stays armed: sent again
      return;
    case ANSWER_OK:
      break;
  }
  const uint16_t length = ex.DecodeFrameCopy();
  bool runStep = true;
  bool broken = false;
  DecodeGoodAnswer(ex.Decoded(), length, &runStep, &broken);
  if (broken) {
    // Too short for the data it must carry: treated like a broken answer, so the time-out
    // sends the request again instead of acting on bytes that are not there.
    Status("received data is broken");
    return;
  }
  if (!runStep) return;
  RunActiveStep();
  SetCheckField(CalField::TargetCheck, true);
}

void AutoCalibration::DecodeGoodAnswer(const uint8_t* f, uint16_t length, bool* runStep,
                                       bool* broken) {
  const uint8_t opcode = f[2];
  const int sub = length >= SUB_CODE_MIN_LENGTH ? f[4] : -1;
  const int step = active_step_;

  // Check that the data to be read is there before anything is acted on.
  uint16_t needed = 0;
  if (opcode == OP_SPR && ((sub == 11 && step == STEP_RX) || (sub == 54 && step == STEP_BATTERY))) {
    needed = VALUE_MIN_LENGTH;
  } else if (opcode == OP_RFTR && step == STEP_GMAGIC && (sub == 31 || sub == 47)) {
    needed = VALUE_MIN_LENGTH;
  } else if (opcode == OP_SR && step == STEP_GMAGIC && sub == 1) {
    needed = VALUE_MIN_LENGTH;
    if (length >= VALUE_MIN_LENGTH && f[6] == 2) needed = RSSI_KIND2_MIN_LENGTH;
    if (length >= VALUE_MIN_LENGTH && f[6] == 3) needed = RSSI_KIND3_MIN_LENGTH;
  }
  if (length < needed) {
    *broken = true;
    return;
  }

  exchange_.StopTimers();
  CalState& cal = Cal();
  switch (opcode) {
    case OP_TI:
      Status("TESTMODE INIT.");
      break;
    case OP_TMS:
      if (sub == 1 && step == STEP_BATTERY) Status("TESTMODE SET.");
      break;
    case OP_VG:
      SetCheckField(CalField::TargetCheck, true);
      if (no_current_shown_) ResetStatus();  // the hint is no longer true
      *runStep = false;
      break;
    case OP_SPR:
      if (sub == 11 && step == STEP_RX) {
        cal.RxCurrentValue = static_cast<int16_t>(Value16(f, 5));
        HandsetReading("rx_correction", cal.RxCurrentValue);
      }
      if (sub == 54 && step == STEP_BATTERY) {
        cal.BatteryReading = Value16(f, 5);
        HandsetReading("battery_adc", cal.BatteryReading);
      }
      break;
    case OP_SR:
      if (step == STEP_GMAGIC && sub == 1 && (f[6] == 2 || f[6] == 3)) {
        const double reading = Value16(f, f[6] == 2 ? 8 : 9) / RSSI_SCALE;
        StoreRssiReading(reading);
        HandsetReading("rssi", reading);
      }
      break;
    case OP_RFTR:
      if (step == STEP_GMAGIC && (sub == 31 || sub == 47)) {
        cal.GmagicValue = Value16(f, 5);
        HandsetReading("gmagic", cal.GmagicValue);
      }
      break;
    case OP_SPW:
      if (sub == 51) Status("MAIN LCD SAVED.");
      if (sub == 52) Status("SUB LCD VOL SAVED.");
      if (sub == 53) Status("SUB LCD V0 SAVED. Success!!.", StatusLook::Success);
      break;
    case OP_SE:
      if (sub == 6) Status("EEPROM FULL RESET");
      if (sub == 11) {
        ShowStepResults();
        if (step == STEP_BATTERY) Status("LOGIC DATA SAVED.");
      }
      break;
    case OP_STW:
      if (sub == 20) Status("RTC SETTING OK !!!");
      break;
    default:
      break;
  }
}

void AutoCalibration::HandsetReading(const char* what, double value) {
  if (observer_) observer_->HandsetReading(what, value);
}

void AutoCalibration::RunActiveStep() {
  switch (active_step_) {
    case STEP_GSM_TX:
      return RunGsmTx();
    case STEP_DCS_TX:
      return RunDcsTx();
    case STEP_RX:
      return RunRxCal();
    case STEP_BATTERY:
      return RunBattery();
    case STEP_GMAGIC:
      return RunGmagic();
    default:
      return;
  }
}

void AutoCalibration::OnAnswerTimeout(Exchange& ex) {
  ex.StopTimers();
  if (active_step_ == STEP_BATTERY) {
    Instruments().InstrumentFault = 1;
    RunBattery();
    return;
  }
  if (active_step_ == STEP_IDLE && sent_line_ == TARGET_PROBE_LINE) ExplainSilentTarget();
  resending_ = true;
  ex.TransmitFrame();
  resending_ = false;
}

// "Target Check" got no answer. After the instrument check has reset the supply, the usual
// reason is an output left off or an empty jig: a supply that reads no current says so.
void AutoCalibration::ExplainSilentTarget() {
  InstrumentState& inst = Instruments();
  if (inst.SupplyType == SUPPLY_NONE || inst.SupplyHandle == 0) return;
  // This reading is the station's own help: a supply error here must not fail the next step.
  const int faultBefore = inst.InstrumentFault;
  inst.InstrumentFault = 0;
  const double amps = ReadSupplyCurrent();
  const bool readOk = inst.InstrumentFault == 0;
  inst.InstrumentFault = faultBefore;
  if (readOk && amps < PHONE_OUT_CURRENT_A) {
    Status(NO_CURRENT_TEXT);
    no_current_shown_ = true;
  }
}

// The port has shown its own message; a stop leaves the window as the operator's stop does,
// without a second message (the stop's command cannot go out on a closed port).
void AutoCalibration::OnPortLost(Exchange& /*ex*/) {
  const int stopped = active_step_;
  if (stopped == STEP_IDLE && !call_pending_ && !resume_pending_) return;
  if (observer_) observer_->LinkLost(stopped);
  // The instrument check that follows an operator's stop waits for the next Target / Open:
  // when the whole bench went (one USB hub, one killed simulator) it would only add time-outs.
  StopStep();
}

bool AutoCalibration::MayArmTimers() {
  return !call_pending_ && !resume_pending_ && !Instruments().InstrumentFault;
}
