#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <utility>

#include "calibration/AutoCalibration.h"

// The calibration's events as JSON Lines, one object per event with the station time t in ms:
//   {"t":…,"ev":"tx","line":"txpw 1 5","wire":"02 14 …"}        ("resend":true on a time-out)
//   {"t":…,"ev":"rx","frame":"02 14 …","class":"ANSWER_OK"}
//   {"t":…,"ev":"wait","ms":2000}
//   {"t":…,"ev":"meas","what":"tx_power","value":31.65}
//   {"t":…,"ev":"timer","id":3}
//   {"t":…,"ev":"status","text":"…"}   {"t":…,"ev":"message","text":"…"}
//   {"t":…,"ev":"step","name":"gmagic","result":"end"}
class CalibrationTrace : public AutoCalibrationObserver {
 public:
  using Clock = std::function<uint64_t()>;  // station time, ms
  CalibrationTrace(FILE* out, Clock clock) : out_(out), clock_(std::move(clock)) {}

  void Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                   bool resend) override;
  void AnswerFrame(const uint8_t* frame, size_t count, AnswerClass cls) override;
  void StepFinished(int activeStep, bool ok) override;

  void Wait(uint32_t ms);
  void Timer(int id);
  void Measure(const char* what, double value);
  void Status(const std::string& text);
  void Message(const std::string& text);

 private:
  void Emit(const nlohmann::ordered_json& event);
  FILE* out_;
  Clock clock_;
};

// Helpers shared with the other JSON writers of the calibration front ends (see JsonText.h).
std::string JsonString(const std::string& text);  // quoted and escaped; not UTF-8: U+FFFD
std::string JsonNumber(double value);             // null for NaN and infinities
const char* StepName(int activeStep);             // "gsm", "dcs", "rx", "battery", "gmagic"
