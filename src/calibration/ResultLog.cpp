#include "calibration/ResultLog.h"

#include <cstdio>
#include <cstring>

#include "calibration/CalState.h"
#include "platform/AppendFile.h"

namespace {

constexpr const char* CRLF = "\r\n";

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char line[128];
  const int n = std::snprintf(line, sizeof line, format, args...);
  if (n < 0) return {};
  return std::string(
      line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

void AddLine(std::string& out, const std::string& text) {
  out += text;
  out += CRLF;
}

}  // namespace

std::string ResultHeaderLine(const ResultHeader& header) {
  return "##########  Phone Model :  " + header.model + "  stage : " + header.stage +
         "  name : " + header.name + "  ##########";
}

std::string ResultSectionText(int activeStep, const ResultHeader& header, int batteryValue) {
  const CalState& cal = Cal();
  std::string out;
  switch (activeStep) {
    case STEP_GSM_TX:
      AddLine(out, "***** APC GSM TX Calibration *****");
      AddLine(out, "level    APC Value");
      for (int level = GSM_FIRST_LEVEL; level <= GSM_LAST_LEVEL; ++level) {
        const auto l = static_cast<size_t>(level);
        AddLine(out, Format("%5d %10d %5d %5d", level, cal.GsmApcTable[1][l], cal.GsmApcTable[2][l],
                            cal.GsmApcTable[3][l]));
      }
      break;
    case STEP_DCS_TX:
      AddLine(out, "***** APC DCS TX Calibration *****");
      AddLine(out, "level    APC Value");
      for (int n = 0; n <= DCS_LAST_LEVEL - DCS_FIRST_LEVEL; ++n) {
        const auto l = static_cast<size_t>(n);
        AddLine(out, Format("%5d %10d %5d %5d", n, cal.DcsApcTable[1][l], cal.DcsApcTable[2][l],
                            cal.DcsApcTable[3][l]));
      }
      break;
    case STEP_RX:
      AddLine(out, "***** RX CHANNEL Calibration ***** ");
      AddLine(out, "Index   Value");
      for (int index = 0; index < RX_CHANNEL_COUNT; ++index) {
        AddLine(out, Format("%5d     %d", index,
                            static_cast<int>(cal.RxCalTable[static_cast<size_t>(index)])));
      }
      break;
    case STEP_BATTERY:
      AddLine(out, ResultHeaderLine(header));
      AddLine(out, "***** Battery Calibration *****");
      AddLine(out, Format("%s  %d", "Battery value   ", batteryValue));
      break;
    case STEP_GMAGIC:
      AddLine(out, ResultHeaderLine(header));
      AddLine(out, "***** Gmagic Calibration ***** ");
      AddLine(out, "index   GMAGIC value");
      AddLine(out, Format("GSM  %d", cal.GmagicResultGsm));
      AddLine(out, Format("DCS  %d", cal.GmagicResultDcs));
      break;
    default:
      break;
  }
  return out;
}

void ResultLog::OpenResultLog() {
  record_ = CRLF;
  error_.clear();
}

void ResultLog::WriteLogLine(const std::string& text) {
  AddLine(record_, text);
}

void ResultLog::WriteResultSection(int activeStep, const ResultHeader& header, int value) {
  record_ += ResultSectionText(activeStep, header, value);
}

bool ResultLog::Close() {
  std::string record;
  record.swap(record_);
  error_ = AppendRecord(path_, record);
  return error_.empty();
}
