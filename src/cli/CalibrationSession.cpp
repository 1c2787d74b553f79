#include "cli/CalibrationSession.h"

#include <cstdio>

#include "calibration/CalState.h"
#include "calibration/JsonText.h"
#include "calibration/ResultLog.h"

namespace {

size_t FieldSlot(CalField field) {
  switch (field) {
    case CalField::GmagicGsm:
      return 0;
    case CalField::GmagicDcs:
      return 1;
    case CalField::BatteryValue:
      return 2;
    case CalField::ClockText:
      return 3;
    case CalField::ElapsedTime:
      return 4;
    case CalField::InstrumentCheck:
      return 5;
    case CalField::TargetCheck:
      return 6;
  }
  return 7;
}

template <size_t N>
JsonObject IntArray(const std::array<int, N>& row, size_t first, size_t count) {
  JsonObject out = JsonObject::array();
  for (size_t i = 0; i < count && first + i < N; ++i) out.push_back(row[first + i]);
  return out;
}

}  // namespace

CliCalibrationView::CliCalibrationView(const CalibrateOptions& options,
                                       std::function<uint64_t()> clock)
    : options_(options), clock_(std::move(clock)) {
  ResetLists();
}

void CliCalibrationView::Line(const std::string& text) {
  if (options_.quiet) return;
  const uint64_t ms = clock_();
  std::printf("[%02llu:%02llu.%03llu] %s\n", static_cast<unsigned long long>(ms / 60000),
              static_cast<unsigned long long>(ms / 1000 % 60),
              static_cast<unsigned long long>(ms % 1000), text.c_str());
  // A pipe or a file would hold the lines until the run ends, minutes later.
  std::fflush(stdout);
}

void CliCalibrationView::SetStatus(const std::string& text, StatusLook /*look*/) {
  if (text == status_) return;
  status_ = text;
  if (!text.empty()) Line(text);
  if (onStatus) onStatus(text);
}

void CliCalibrationView::SetField(CalField field, const std::string& text) {
  fields_[FieldSlot(field)] = text;
  if (onField) onField(field, text);
}

std::string CliCalibrationView::Field(CalField field) const {
  return fields_[FieldSlot(field)];
}

void CliCalibrationView::ResetLists() {
  for (size_t r = 0; r < gsm.size(); ++r) gsm[r] = {std::to_string(5 + r), "", "", ""};
  for (size_t r = 0; r < dcs.size(); ++r) dcs[r] = {std::to_string(r), "", "", ""};
  for (size_t r = 0; r < rx.size(); ++r) rx[r] = {std::to_string(RxChannelLabel(r)), ""};
  curves.NextHandset();
}

void CliCalibrationView::SetListCell(CalList list, int row, int column, const std::string& text) {
  if (row < 0 || column < 1) return;
  const auto r = static_cast<size_t>(row);
  const auto c = static_cast<size_t>(column);
  if (list == CalList::GsmApc && r < gsm.size() && c < 4) gsm[r][c] = text;
  if (list == CalList::DcsApc && r < dcs.size() && c < 4) dcs[r][c] = text;
  if (list == CalList::RxChannel && r < rx.size() && c < 2) rx[r][c] = text;
  curves.SetCell(list, row, column, text);
}

int CliCalibrationView::RxChannelLabel(size_t row) {
  static const int channels[17] = {1,   20,  40,  62,  80,  100, 124,  512, 585,
                                   660, 700, 790, 835, 885, 975, 1000, 1023};
  return row < 17 ? channels[row] : 0;
}

void CliCalibrationView::PrintLists(FILE* out) const {
  std::fprintf(out, "GSM APC\n%5s %6s %6s %6s\n", "level", "GSM1", "GSM2", "GSM3");
  for (const auto& row : gsm) {
    std::fprintf(out, "%5s %6s %6s %6s\n", row[0].c_str(), row[1].c_str(), row[2].c_str(),
                 row[3].c_str());
  }
  std::fprintf(out, "DCS APC\n%5s %6s %6s %6s\n", "level", "DCS1", "DCS2", "DCS3");
  for (const auto& row : dcs) {
    std::fprintf(out, "%5s %6s %6s %6s\n", row[0].c_str(), row[1].c_str(), row[2].c_str(),
                 row[3].c_str());
  }
  std::fprintf(out, "RX CHAL\n%7s %8s\n", "channel", "RF GAIN");
  for (const auto& row : rx) std::fprintf(out, "%7s %8s\n", row[0].c_str(), row[1].c_str());
  std::fprintf(out, "GMAGIC  GSM %s  DCS %s\n", Field(CalField::GmagicGsm).c_str(),
               Field(CalField::GmagicDcs).c_str());
  std::fprintf(out, "Battery value %s\n", Field(CalField::BatteryValue).c_str());
  if (!Field(CalField::ClockText).empty()) {
    std::fprintf(out, "Clock written %s\n", Field(CalField::ClockText).c_str());
  }
}

void CliNotifier::Message(const std::string& text) {
  last = text;
  if (print_) print_("message: " + text);
  if (onMessage) onMessage(text);
}

void CliNotifier::Result(const std::string& text) {
  last = text;
  if (print_) print_("result: " + text);
  if (onMessage) onMessage(text);
}

std::string FormatStationTime(uint64_t ms) {
  const uint64_t seconds = ms / 1000;
  char text[64];
  std::snprintf(text, sizeof text, "%02llu:%02llu (%.3f s)",
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60), static_cast<double>(ms) / 1000.0);
  return text;
}

std::string HandsetRecordJson(const HandsetRecord& r) {
  const CalState& cal = Cal();
  JsonObject out;
  out["handset"] = r.handset;
  if (r.unit >= 0) out["unit"] = r.unit;
  out["outcome"] = r.success ? "success" : (r.finished ? "fail" : "no outcome");
  out["message"] = r.message;
  out["station_ms"] = r.endMs - r.startMs;
  out["steps"] = r.stepsEnded;
  out["gmagic"] = {{"gsm", cal.GmagicResultGsm}, {"dcs", cal.GmagicResultDcs}};
  out["rx"] = JsonObject::array();
  for (const auto gain : cal.RxCalTable) out["rx"].push_back(gain);
  out["gsm_apc"] = JsonObject::array();
  for (size_t k = 1; k <= 3; ++k) {
    out["gsm_apc"].push_back(IntArray(cal.GsmApcTable[k], GSM_FIRST_LEVEL, 15));
  }
  out["dcs_apc"] = JsonObject::array();
  for (size_t k = 1; k <= 3; ++k) out["dcs_apc"].push_back(IntArray(cal.DcsApcTable[k], 0, 16));
  out["battery"] = cal.BatteryReading;
  out["readings"] = {{"tx_power_count", r.txMeasurements},
                     {"rx_level", r.rxLevels},
                     {"gmagic_rssi", r.rssiReadings},
                     {"battery_adc", r.batteryReadings}};
  return JsonText(out);
}
