#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calibration/AutoCalibration.h"
#include "calibration/CalibrationTrace.h"
#include "cli/CalibrateOptions.h"
#include "cli/CalibrationSession.h"

namespace sim {
class Bench;
}

// The station side of one `calibrate` command: the window logic with its headless view, the
// trace, the outcome of each handset and the simulated operator of the production loop.
class CalibrationRun : public AutoCalibrationObserver {
 public:
  using RunUntil = std::function<bool(const std::function<bool()>&, uint64_t)>;
  using Schedule = std::function<void(uint64_t delayMs, std::function<void()>)>;
  // runUntil(done, limitMs) dispatches the loop until done() or the limit; now() is the
  // station time in ms. bench and schedule belong to the simulated bench (the simulated
  // operator of the production loop acts through them); both are empty on real hardware.
  CalibrationRun(const CalibrateOptions& options, EventLoop& loop, Port& port, RunUntil runUntil,
                 std::function<uint64_t()> now, sim::Bench* bench, Schedule schedule, FILE* trace);
  ~CalibrationRun() override;

  // Opens the handset link and the instruments; false (with the reason printed) when the
  // bench cannot be reached.
  bool Connect();
  // Calibrates one handset with the chosen step (board mode); the record of the run.
  // limitMs 0: the --max-minutes of the options.
  HandsetRecord RunOne(const std::string& step, int handsetNumber, uint64_t limitMs = 0);
  // Before Connect in production: the loop's state, and an empty jig on the simulated bench.
  void PrepareProduction(int handsets);
  // The production loop: handsets detected by their supply current, N of them.
  std::vector<HandsetRecord> RunProduction(int handsets);
  // Stops a step that has no outcome (as the operator would with EXIT and a restart).
  void Abort();

  CliCalibrationView& view() { return view_; }
  AutoCalibration& window() { return *window_; }
  CalibrationTrace& trace() { return trace_; }
  bool quietMessages = false;
  // Runs whenever the instrument check shows its result (the simulated operator switches the
  // jig's supply back on after the supply's reset).
  std::function<void()> afterInstrumentCheck;
  // "EXIT": closes the instruments.
  void Exit();

  // AutoCalibrationObserver
  void Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                   bool resend) override;
  void AnswerFrame(const uint8_t* frame, size_t count, AnswerClass cls) override;
  void HandsetReading(const char* what, double value) override;
  void StepFinished(int activeStep, bool ok) override;
  void LinkLost(int activeStep) override;

 private:
  bool EnterTestMode();
  void StartRecord(int handsetNumber);
  void Finish(bool success, const std::string& message);
  void OnStatus(const std::string& text);
  void InsertNext();

  const CalibrateOptions& options_;
  EventLoop& loop_;
  Port& port_;
  RunUntil run_until_;
  std::function<uint64_t()> now_;
  sim::Bench* bench_;
  Schedule schedule_;
  CalibrationTrace trace_;
  CliCalibrationView view_;
  CliNotifier notifier_;
  std::unique_ptr<AutoCalibration> window_;

  std::string step_ = "all";
  HandsetRecord current_;
  bool recording_ = false;
  bool link_lost_ = false;  // no further handset can be calibrated
  std::vector<HandsetRecord> finished_;

  // Simulated operator of the production loop.
  bool production_ = false;
  int wanted_ = 0;
  int inserted_ = 0;
  int removed_ = 0;
  bool handset_in_ = false;
  bool removal_scheduled_ = false;
  bool ready_after_last_ = false;
};
