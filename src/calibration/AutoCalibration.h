#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "calibration/AutoCalibrationView.h"
#include "calibration/ResultLog.h"
#include "link/Exchange.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

constexpr int TIMER_RESUME = 3;
constexpr int TIMER_PHONE_IN = 5;
constexpr int TIMER_PHONE_OUT = 6;
constexpr uint32_t CAL_ANSWER_TIMEOUT_MS = 4000;
constexpr uint32_t RX_RESUME_MS = 2000;
constexpr uint32_t BATTERY_RESUME_MS = 5000;
constexpr uint32_t PHONE_POLL_MS = 300;
constexpr uint32_t PHONE_SETTLE_MS = 3500;
constexpr double PHONE_IN_CURRENT_A = 0.075;   // above: a handset is in the jig
constexpr double PHONE_OUT_CURRENT_A = 0.025;  // at or above: still there

// The probe of "Target Check", and what the status line says when it goes unanswered while
// the supply reads no current.
inline constexpr const char* TARGET_PROBE_LINE = "vg 0xe0";
inline constexpr const char* NO_CURRENT_TEXT =
    "The handset draws no current: check the jig and the supply output.";

constexpr int MODE_BOARD = 0;  // "BOARD CALIBRATION"
constexpr int MODE_RF = 1;     // "RF CALIBRATION"

// Hears what the calibration window does, for traces and line databases (optional).
class AutoCalibrationObserver {
 public:
  virtual ~AutoCalibrationObserver() = default;
  // A request went on the wire (the encoded command line and the wire frame).
  virtual void Transmitted(const std::string& /*line*/, const uint8_t* /*wire*/, size_t /*count*/,
                           bool /*resend*/) {}
  // An answer frame as handed to DecodeAnswer (escapes in place), with its class.
  virtual void AnswerFrame(const uint8_t* /*frame*/, size_t /*count*/, AnswerClass /*cls*/) {}
  // A value read from the handset's answer: "rx_correction", "battery_adc", "rssi", "gmagic".
  virtual void HandsetReading(const char* /*what*/, double /*value*/) {}
  // A step ended (41) or failed (42, "Call Fail", or refused to wait after an instrument error).
  virtual void StepFinished(int /*activeStep*/, bool /*ok*/) {}
  // A step was stopped because the handset port's device went away.
  virtual void LinkLost(int /*activeStep*/) {}
};

// The logic of the auto-calibration window: step runners over the sequencers, the answer
// dispatch, the resume and production-loop timers, chaining of a full run, the stop path, and
// the instrument, target and EEPROM buttons. Runs on the loop's thread only.
class AutoCalibration : public ExchangeClient, public TimerClient {
 public:
  AutoCalibration(EventLoop& loop, Port& port, AutoCalibrationView& view, Notifier& notifier);
  ~AutoCalibration() override;

  // Dialog start: defaults, port ownership, lists, progress, status.
  void OnInit();
  // Makes this window the receiver of the handset port's data again (part of OnInit; a tool
  // that borrowed the link gives it back this way).
  void TakePort();

  // Buttons and selections of the window.
  void OnAutoCalStart();
  void OnBatteryCal();
  void OnInstrumentCheck();
  void OnTargetCheck();
  void OnEepFullReset();
  void OnClear();
  void OnExit();
  void OnModeChange(int index);
  // Enter is swallowed while both checks show "OK" and no step runs.
  bool SwallowsEnter() const;

  // Step runners (also started alone by front ends that calibrate one step).
  void RunGsmTx();
  void RunDcsTx();
  void RunRxCal();
  void RunGmagic();
  void RunBattery();

  void StopCalibration();  // StopStep, then the instrument check
  void ShowStepResults();
  void SendRtcTime();

  // ExchangeClient
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  bool MayArmTimers() override;
  void OnPortLost(Exchange& ex) override;
  // TimerClient: TIMER_RESUME, TIMER_PHONE_IN, TIMER_PHONE_OUT
  void OnTimer(int id) override;

  int ActiveStep() const { return active_step_; }
  bool FullSequence() const { return full_sequence_; }
  bool CallPending() const { return call_pending_; }
  bool ResumePending() const { return resume_pending_; }
  int ProgressPos() const { return progress_pos_; }
  int SelectedMode() const { return selected_mode_; }
  uint32_t ElapsedMs() const { return end_time_ - start_time_; }
  Exchange& GetExchange() { return exchange_; }

  void SetObserver(AutoCalibrationObserver* observer) { observer_ = observer; }
  // Where the PC's local time comes from (the clock command); time(nullptr) by default.
  void SetWallClock(std::function<std::time_t()> clock) { wall_clock_ = std::move(clock); }
  // The result log file; an empty path keeps the display only.
  void SetResultLogPath(std::string path) { log_path_ = std::move(path); }

 private:
  using Sequencer = int (*)();
  void RunTxStep(int step, Sequencer sequencer, const char* processingText);
  // The stop's command (link open), timers and resume dropped, the test set idle, state reset.
  void StopStep();
  void EndStep(int step);
  void FailStep(int step, const std::string& message);
  std::string FailureMessage(int step) const;
  bool RefuseToWait(int step);
  void Transmit();
  void SendLine(const std::string& line);
  void ResetProgress();
  void StepProgress();
  void ResetStatus();
  void Status(const std::string& text, StatusLook look = StatusLook::Running);
  void SetCheckField(CalField field, bool ok);
  void ProductionLoopAfterRun();
  bool ProductionLoopActive() const;
  void RunActiveStep();
  void DecodeGoodAnswer(const uint8_t* frame, uint16_t length, bool* runStep, bool* broken);
  void HandsetReading(const char* what, double value);
  void ExplainSilentTarget();
  void OnResumeTimer();
  bool SupplyLostWhilePolling();
  void OnPhoneIn();
  void OnPhoneOut();

  EventLoop& loop_;
  Port& port_;
  AutoCalibrationView& view_;
  Notifier& notifier_;
  Exchange exchange_;
  AutoCalibrationObserver* observer_ = nullptr;
  std::function<std::time_t()> wall_clock_;
  std::string log_path_ = RESULT_LOG_NAME;

  int active_step_ = STEP_IDLE;
  bool full_sequence_ = false;
  bool call_pending_ = false;
  bool resume_pending_ = false;
  uint32_t start_time_ = 0;
  uint32_t end_time_ = 0;
  int progress_pos_ = 0;
  int selected_mode_ = MODE_BOARD;
  bool instrument_ok_ = false;
  bool target_ok_ = false;
  std::string sent_line_;
  bool resending_ = false;
  bool no_current_shown_ = false;  // the status line shows NO_CURRENT_TEXT
};
