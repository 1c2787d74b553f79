#include "calibration/CalibrationTrace.h"

#include "calibration/JsonText.h"
#include "link/LinkText.h"

std::string JsonString(const std::string& text) {
  return JsonText(JsonObject(text));
}

std::string JsonNumber(double value) {
  return JsonText(JsonObject(value));
}

const char* StepName(int activeStep) {
  switch (activeStep) {
    case STEP_GSM_TX:
      return "gsm";
    case STEP_DCS_TX:
      return "dcs";
    case STEP_RX:
      return "rx";
    case STEP_BATTERY:
      return "battery";
    case STEP_GMAGIC:
      return "gmagic";
    default:
      return "none";
  }
}

namespace {
JsonObject Event(uint64_t t, const char* ev) {
  JsonObject event;
  event["t"] = t;
  event["ev"] = ev;
  return event;
}
}  // namespace

void CalibrationTrace::Emit(const JsonObject& event) {
  if (!out_) return;
  std::fprintf(out_, "%s\n", JsonText(event).c_str());
}

void CalibrationTrace::Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                                   bool resend) {
  JsonObject e = Event(clock_(), "tx");
  e["line"] = line;
  e["wire"] = HexText(wire, count);
  if (resend) e["resend"] = true;
  Emit(e);
}

void CalibrationTrace::AnswerFrame(const uint8_t* frame, size_t count, AnswerClass cls) {
  JsonObject e = Event(clock_(), "rx");
  e["frame"] = HexText(frame, count);
  e["class"] = AnswerClassName(cls);
  Emit(e);
}

void CalibrationTrace::StepFinished(int activeStep, bool ok) {
  JsonObject e = Event(clock_(), "step");
  e["name"] = StepName(activeStep);
  e["result"] = ok ? "end" : "fail";
  Emit(e);
}

void CalibrationTrace::Wait(uint32_t ms) {
  JsonObject e = Event(clock_(), "wait");
  e["ms"] = ms;
  Emit(e);
}

void CalibrationTrace::Timer(int id) {
  JsonObject e = Event(clock_(), "timer");
  e["id"] = id;
  Emit(e);
}

void CalibrationTrace::Measure(const char* what, double value) {
  JsonObject e = Event(clock_(), "meas");
  e["what"] = what;
  e["value"] = value;
  Emit(e);
}

void CalibrationTrace::Status(const std::string& text) {
  JsonObject e = Event(clock_(), "status");
  e["text"] = text;
  Emit(e);
}

void CalibrationTrace::Message(const std::string& text) {
  JsonObject e = Event(clock_(), "message");
  e["text"] = text;
  Emit(e);
}
