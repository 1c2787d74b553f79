#include "calibration/AutoCalibration.h"

#include <locale.h>

#include <cstdio>

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"

// The results of a step in the lists, fields and log, and the clock written to the handset.
namespace {

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

}  // namespace

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
