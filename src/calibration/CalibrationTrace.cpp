#include "calibration/CalibrationTrace.h"

#include <cmath>

#include "calibration/ResultLog.h"
#include "link/LinkText.h"

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
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

void CalibrationTrace::Emit(const std::string& body) {
  if (!out_) return;
  std::fprintf(out_, "{\"t\":%llu,%s}\n", static_cast<unsigned long long>(clock_()), body.c_str());
}

void CalibrationTrace::Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                                   bool resend) {
  Emit("\"ev\":\"tx\",\"line\":" + JsonString(line) + ",\"wire\":\"" + HexText(wire, count) + "\"" +
       (resend ? ",\"resend\":true" : ""));
}

void CalibrationTrace::AnswerFrame(const uint8_t* frame, size_t count, AnswerClass cls) {
  Emit("\"ev\":\"rx\",\"frame\":\"" + HexText(frame, count) + "\",\"class\":\"" +
       AnswerClassName(cls) + "\"");
}

void CalibrationTrace::StepFinished(int activeStep, bool ok) {
  Emit(std::string("\"ev\":\"step\",\"name\":\"") + StepName(activeStep) + "\",\"result\":\"" +
       (ok ? "end" : "fail") + "\"");
}

void CalibrationTrace::Wait(uint32_t ms) {
  Emit("\"ev\":\"wait\",\"ms\":" + std::to_string(ms));
}

void CalibrationTrace::Timer(int id) {
  Emit("\"ev\":\"timer\",\"id\":" + std::to_string(id));
}

void CalibrationTrace::Measure(const char* what, double value) {
  Emit(std::string("\"ev\":\"meas\",\"what\":\"") + what + "\",\"value\":" + JsonNumber(value));
}

void CalibrationTrace::Status(const std::string& text) {
  Emit("\"ev\":\"status\",\"text\":" + JsonString(text));
}

void CalibrationTrace::Message(const std::string& text) {
  Emit("\"ev\":\"message\",\"text\":" + JsonString(text));
}
