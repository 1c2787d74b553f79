#include "calibration/AutoCalibration.h"

#include <locale.h>

#include <algorithm>
#include <cstdio>

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"
#include "link/Bcommand.h"

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

constexpr int PROGRESS_STEP = 3;
constexpr int MAX_SEQUENCER_CALLS = 10000;  // a sequencer that never settles is a fault
constexpr size_t RESULT_MESSAGE_MAX = 95;

uint16_t Value16(const uint8_t* frame, int low) {
  return static_cast<uint16_t>(frame[low] | (frame[low + 1] << 8));
}

std::string Printf(const char* format, int a, int b) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string FormatClock(std::time_t now, std::tm* out) {
  std::tm local{};
  localtime_r(&now, &local);
  *out = local;
  // Day and month names in English whatever the user's locale.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  char text[96] = {};
  if (c_locale) strftime_l(text, sizeof text, "%H:%M:%S, %A, %B %d, %Y", &local, c_locale);
  return text;
}

std::string FormatSpan(uint32_t ms) {
  const uint32_t seconds = ms / 1000;
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u", (seconds / 60) % 60, seconds % 60);
  return text;
}

}  // namespace

AutoCalibration::AutoCalibration(EventLoop& loop, Port& port, AutoCalibrationView& view,
                                 Notifier& notifier)
    : loop_(loop),
      port_(port),
      view_(view),
      notifier_(notifier),
      exchange_(loop, port, *this, CAL_ANSWER_TIMEOUT_MS),
      wall_clock_([] { return std::time(nullptr); }) {
  Cal().loop = &loop;
  if (!Instruments().loop) Instruments().loop = &loop;
  if (!Instruments().notifier) Instruments().notifier = &notifier;
  exchange_.onWire = [this](const uint8_t* wire, size_t count) {
    if (observer_) observer_->Transmitted(sent_line_, wire, count, resending_);
  };
}

AutoCalibration::~AutoCalibration() {
  loop_.KillTimer(this, TIMER_RESUME);
  loop_.KillTimer(this, TIMER_PHONE_IN);
  loop_.KillTimer(this, TIMER_PHONE_OUT);
  if (Cal().loop == &loop_) Cal().loop = nullptr;
  if (Instruments().loop == &loop_) Instruments().loop = nullptr;
  if (Instruments().notifier == &notifier_) Instruments().notifier = nullptr;
}

void AutoCalibration::TakePort() {
  port_.SetOwner(&exchange_);
}

void AutoCalibration::OnInit() {
  view_.SelectDefaults();
  SetCheckField(CalField::InstrumentCheck, false);
  SetCheckField(CalField::TargetCheck, false);
  TakePort();
  view_.ResetLists();
  ResetProgress();
  active_step_ = STEP_IDLE;
  ResetStatus();
}

// ---- buttons ------------------------------------------------------------------------------

void AutoCalibration::OnAutoCalStart() {
  start_time_ = loop_.TickCount();
  end_time_ = start_time_;
  view_.SetField(CalField::ElapsedTime, "");
  full_sequence_ = true;
  view_.ResetLists();
  RunGmagic();
}

void AutoCalibration::OnBatteryCal() {
  RunBattery();
}

void AutoCalibration::OnInstrumentCheck() {
  exchange_.StopTimers();
  active_step_ = STEP_IDLE;
  InstrumentState& inst = Instruments();
  if (inst.TestSetType != TESTSET_NONE) SetCheckField(CalField::InstrumentCheck, OpenTestSet());
  const bool supplyOpen = OpenSupply();
  SetCheckField(CalField::InstrumentCheck, supplyOpen);
  if (supplyOpen && ProductionLoopActive()) loop_.SetTimer(this, TIMER_PHONE_IN, PHONE_POLL_MS);
}

void AutoCalibration::OnTargetCheck() {
  SetCheckField(CalField::TargetCheck, false);
  if (port_.IsOpen()) SendLine("vg 0xe0");
}

void AutoCalibration::OnEepFullReset() {
  if (port_.IsOpen()) {
    SendLine("se 6");
  } else {
    notifier_.Message("Communication Error");
  }
}

void AutoCalibration::OnClear() {
  view_.SetField(CalField::BatteryValue, "");
  view_.SetField(CalField::ClockText, "");
}

void AutoCalibration::OnExit() {
  CloseTestSet();
  CloseSupply();
  view_.CloseWindow();
}

void AutoCalibration::OnModeChange(int index) {
  selected_mode_ = index;
}

bool AutoCalibration::SwallowsEnter() const {
  return instrument_ok_ && target_ok_ && active_step_ == STEP_IDLE;
}

// ---- step runners -------------------------------------------------------------------------

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
        Status("RX CAL Processing...");
        resume_pending_ = true;
        Transmit();
        loop_.SetTimer(this, TIMER_RESUME, RX_RESUME_MS);
        return;
      case CAL_COMMAND_ALT:  // "se 100": the call is set up when the resume timer fires
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
        if (::Sequencer().CalLastState == BATTERY_STATE_CLOCK) SendRtcTime();
        Transmit();
        return;
      case CAL_COMMAND_RESUME:  // "se 300": no answer awaited
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
  }
  active_step_ = STEP_IDLE;
  full_sequence_ = false;
  ResetProgress();
  ResetStatus();
  Instruments().InstrumentFault = 0;
  OnInstrumentCheck();
}

// ---- results ------------------------------------------------------------------------------

void AutoCalibration::ShowStepResults() {
  const CalState& cal = Cal();
  const ResultHeader header{view_.ModelText(), view_.StageText(), view_.PhoneName()};
  ResultLog log(log_path_);
  log.OpenResultLog();
  log.WriteResultSection(active_step_, header, cal.BatteryReading);

  switch (active_step_) {
    case STEP_GSM_TX:
      for (int r = 0; r <= GSM_LAST_LEVEL - GSM_FIRST_LEVEL; ++r) {
        for (int k = 1; k <= 3; ++k) {
          view_.SetListCell(CalList::GsmApc, r, k,
                            std::to_string(cal.GsmApcTable[static_cast<size_t>(
                                k)][static_cast<size_t>(GSM_FIRST_LEVEL + r)]));
        }
      }
      break;
    case STEP_DCS_TX:
      for (int n = 0; n <= DCS_LAST_LEVEL - DCS_FIRST_LEVEL; ++n) {
        for (int k = 1; k <= 3; ++k) {
          view_.SetListCell(
              CalList::DcsApc, n, k,
              std::to_string(cal.DcsApcTable[static_cast<size_t>(k)][static_cast<size_t>(n)]));
        }
      }
      break;
    case STEP_RX:
      for (int i = 0; i < RX_CHANNEL_COUNT; ++i) {
        view_.SetListCell(CalList::RxChannel, i, 1,
                          std::to_string(cal.RxCalTable[static_cast<size_t>(i)]));
      }
      break;
    case STEP_BATTERY:
      view_.SetField(CalField::BatteryValue, std::to_string(cal.BatteryReading));
      break;
    case STEP_GMAGIC:
      view_.SetField(CalField::GmagicGsm, std::to_string(cal.GmagicResultGsm));
      view_.SetField(CalField::GmagicDcs, std::to_string(cal.GmagicResultDcs));
      break;
    default:
      break;
  }

  if (log_path_.empty()) return;
  if (!log.Close()) {
    notifier_.Message("The calibration result log could not be written (" + log.Error() +
                      "). The results of this step are shown but not saved.");
  }
}

void AutoCalibration::SendRtcTime() {
  if (!port_.IsOpen()) return;
  std::tm local{};
  view_.SetField(CalField::ClockText, FormatClock(wall_clock_(), &local));
  char line[96];
  std::snprintf(line, sizeof line, "stw 20 0x%x 0x%x 0x%x 0x%x 0x%x 0x%x 0x%x",
                static_cast<unsigned>(local.tm_wday),
                static_cast<unsigned>(local.tm_year + 1900 - 2000) & 0xFFu,
                static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
                static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
                static_cast<unsigned>(local.tm_sec));
  CalEncode(line);
}

// ---- answers and timers -------------------------------------------------------------------

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
  resending_ = true;
  ex.TransmitFrame();
  resending_ = false;
}

bool AutoCalibration::MayArmTimers() {
  return !call_pending_ && !resume_pending_ && !Instruments().InstrumentFault;
}

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

void AutoCalibration::OnPhoneIn() {
  loop_.KillTimer(this, TIMER_PHONE_IN);
  const double current = ReadSupplyCurrent();
  CalMeasured("supply_current", current);
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
  if (current >= PHONE_OUT_CURRENT_A) {
    Status("Remove the PHONE. !");
    loop_.SetTimer(this, TIMER_PHONE_OUT, PHONE_POLL_MS);
  } else {
    loop_.SetTimer(this, TIMER_PHONE_IN, PHONE_POLL_MS);
  }
}

// ---- small helpers ------------------------------------------------------------------------

void AutoCalibration::Transmit() {
  sent_line_ = Cal().LastCommandLine;
  exchange_.LoadFrame();
  exchange_.TransmitFrame();
}

void AutoCalibration::SendLine(const std::string& line) {
  port_.Purge();
  CalEncode(line);
  Transmit();
}

void AutoCalibration::ResetProgress() {
  progress_pos_ = 0;
  view_.SetProgress(0);
}

void AutoCalibration::StepProgress() {
  if (progress_pos_ > PROGRESS_MAX) progress_pos_ = 0;
  progress_pos_ += PROGRESS_STEP;
  view_.SetProgress(std::min(progress_pos_, PROGRESS_MAX));
}

void AutoCalibration::ResetStatus() {
  view_.SetStatus("", StatusLook::Cleared);
}

void AutoCalibration::Status(const std::string& text, StatusLook look) {
  view_.SetStatus(text, look);
}

void AutoCalibration::SetCheckField(CalField field, bool ok) {
  if (field == CalField::InstrumentCheck) instrument_ok_ = ok;
  if (field == CalField::TargetCheck) target_ok_ = ok;
  view_.SetField(field, ok ? "OK" : "FAIL");
}
