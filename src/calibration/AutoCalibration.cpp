#include "calibration/AutoCalibration.h"

#include <algorithm>

#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"

// The window logic's construction, its buttons and the small moves every part uses. The step
// runners, the answer dispatch, the timers with the production loop and the results each have
// a file of their own (AutoCalibration*.cpp).
namespace {
constexpr int PROGRESS_STEP = 3;
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
  if (port_.IsOpen()) SendLine(TARGET_PROBE_LINE);
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
  no_current_shown_ = false;
  view_.SetStatus("", StatusLook::Cleared);
}

void AutoCalibration::Status(const std::string& text, StatusLook look) {
  no_current_shown_ = false;
  view_.SetStatus(text, look);
}

void AutoCalibration::SetCheckField(CalField field, bool ok) {
  if (field == CalField::InstrumentCheck) instrument_ok_ = ok;
  if (field == CalField::TargetCheck) target_ok_ = ok;
  view_.SetField(field, ok ? "OK" : "FAIL");
}
