#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calibration/AutoCalibration.h"
#include "calibration/CalibrationCurves.h"
#include "calibration/CalibrationTrace.h"
#include "cli/CalibrateOptions.h"

// One auto-calibration window driven headless by tesmira-cli: a view that prints and records,
// a notifier that prints, the trace and the per-handset record.

// What one handset's run left behind.
struct HandsetRecord {
  int handset = 0;  // 1-based position in this run
  int unit = -1;    // the simulated unit's index (-1 on real hardware)
  bool finished = false;
  bool success = false;
  std::string message;  // the failure message, or "Calibration Success.... "
  uint64_t startMs = 0;
  uint64_t endMs = 0;
  std::vector<std::string> stepsEnded;
  // Instrument readings taken during the run.
  std::vector<double> rxLevels;
  std::vector<double> batteryReadings;
  std::vector<double> rssiReadings;
  int txMeasurements = 0;
  std::string json;  // the record with the tables as they stood at its end
};

class CliCalibrationView : public AutoCalibrationView {
 public:
  CliCalibrationView(const CalibrateOptions& options, std::function<uint64_t()> clock);

  void SetStatus(const std::string& text, StatusLook look) override;
  void SetField(CalField field, const std::string& text) override;
  void ResetLists() override;
  void SetListCell(CalList list, int row, int column, const std::string& text) override;
  void SetProgress(int position) override { progress_ = position; }
  std::string ModelText() const override { return options_.model; }
  std::string StageText() const override { return options_.stage; }
  std::string PhoneName() const override { return options_.name; }

  static int RxChannelLabel(size_t row);
  void Line(const std::string& text);  // "[mm:ss.mmm] text" unless quiet
  void PrintLists(FILE* out) const;
  const std::string& StatusText() const { return status_; }
  std::string Field(CalField field) const;
  std::function<void(const std::string&)> onStatus;  // every change of the status text
  std::function<void(CalField, const std::string&)> onField;

  // The lists as the window shows them: [row][column], column 0 the row label.
  std::array<std::array<std::string, 4>, 15> gsm{};
  std::array<std::array<std::string, 4>, 16> dcs{};
  std::array<std::array<std::string, 2>, 17> rx{};
  CalibrationCurves curves;  // for --plot

 private:
  const CalibrateOptions& options_;
  std::function<uint64_t()> clock_;
  std::string status_;
  std::array<std::string, 8> fields_{};
  int progress_ = 0;
};

// Prints message boxes (and the result box) on stdout and records the last one.
class CliNotifier : public Notifier {
 public:
  explicit CliNotifier(std::function<void(const std::string&)> print) : print_(std::move(print)) {}
  void Message(const std::string& text) override;
  void Result(const std::string& text) override;
  std::string last;
  std::function<void(const std::string&)> onMessage;

 private:
  std::function<void(const std::string&)> print_;
};

// "mm:ss" of a span (minutes past the hour, as the window shows it) and seconds.
std::string FormatStationTime(uint64_t ms);
// The record as one JSON object (tables from the calibration state).
std::string HandsetRecordJson(const HandsetRecord& record);
