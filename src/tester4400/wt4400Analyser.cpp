#include <cstdio>
#include <string>
#include <vector>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Picks the text of an enumerated choice 1..count; nullptr for 0 (unchanged) or out of range.
const char* Choice(int16_t value, const char* const* texts, int count) {
  return value >= 1 && value <= count ? texts[value - 1] : nullptr;
}

using wt4400::GuardedSetup;

}  // namespace

ViStatus wt4400_configureAnalyser(ViSession handle, double frequencyMHz, int16_t rangeMode,
                                  double rangeLevelDbm, int16_t triggerMode,
                                  int16_t triggerTimeslot) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  static const char* const RANGE_MODES[] = {"AUTO", "FIX", "UP", "DOWN", "NO", "FORC"};
  static const char* const TRIGGER_MODES[] = {"LEV", "FRAM", "EXTR", "EXTF"};
  const bool frequencyOk = frequencyMHz == 0.0 || (frequencyMHz > 800.0 && frequencyMHz < 1000.0) ||
                           (frequencyMHz > 1700.0 && frequencyMHz < 2000.0);
  // 0 leaves a setting as it is; the trigger timeslot uses -1 for that, as 0 is a timeslot.
  if (!frequencyOk || rangeMode < 0 || rangeMode > 6 || triggerMode < 0 || triggerMode > 4 ||
      triggerTimeslot < -1 || triggerTimeslot > 7 ||
      (rangeLevelDbm != 0.0 && !(rangeLevelDbm >= -60.0 && rangeLevelDbm <= 50.0))) {
    return WT4400_OUT_OF_RANGE;
  }
  std::string line;
  const auto append = [&line](const std::string& part) {
    if (line.empty()) {
      line = part.front() == ':' ? part : "RFAN:" + part;
    } else {
      line += ";" + part;
    }
  };
  if (frequencyMHz != 0.0) append("FREQ " + Format("%lf", frequencyMHz * 1000000.0));
  if (const char* mode = Choice(rangeMode, RANGE_MODES, 6)) {
    append(std::string(":RFAN:RANG:MODE ") + mode);
  }
  if (rangeLevelDbm != 0.0) append(":RFAN:RANG:LEV " + Format("%lf", rangeLevelDbm));
  if (const char* mode = Choice(triggerMode, TRIGGER_MODES, 4)) {
    append(std::string(":RFAN:TRIG:MODE ") + mode);
  }
  if (triggerTimeslot >= 0) append(":RFAN:TRIG:TSL " + std::to_string(triggerTimeslot));
  if (line.empty()) return VI_SUCCESS;
  return wt4400::SetupLine(handle, line);
}

ViStatus wt4400_setSpectrumSpan(ViSession handle, int16_t span, int16_t resolution) {
  static const char* const SPANS[] = {"SP400", "SP1000", "SP3600"};
  static const char* const RESOLUTIONS[] = {"RES2", "RES5", "RES10", "RES30"};
  const char* spanText = Choice(span, SPANS, 3);
  const char* resolutionText = Choice(resolution, RESOLUTIONS, 4);
  const bool ok = spanText != nullptr && resolutionText != nullptr;
  return GuardedSetup(handle, ok,
                      ok ? std::string(":RFSP:MSP:SPAN ") + spanText + "," + resolutionText : "");
}

ViStatus wt4400_measureSpectrum(ViSession handle, int16_t averages) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (averages < 1 || averages > 1000) return WT4400_OUT_OF_RANGE;
  if (averages == 1) return wt4400::SetupLine(handle, ":MEAS:BLOC:MSP");
  return wt4400::SetupLine(handle, ":MEAS:BLOC:MSP:AVG " + std::to_string(averages));
}

ViStatus wt4400_readSpectrumValue(ViSession handle, double offsetHz, double* dbm) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (dbm == nullptr) return VI_ERROR_PARAMETER3;
  if (!(offsetHz >= -1800000.0 && offsetHz <= 1800000.0)) return WT4400_OUT_OF_RANGE;
  return wt4400::QueryValues(handle, ("CALC:RFSP:MSP:VAL? " + Format("%lf", offsetHz)).c_str(), dbm,
                             1);
}

ViStatus wt4400_setAudioGenerator(ViSession handle, int16_t on) {
  return GuardedSetup(handle, on == 0 || on == 1, on ? ":AFG:STAT ON" : ":AFG:STAT OFF");
}

ViStatus wt4400_routeAudioToCodec(ViSession handle) {
  return GuardedSetup(handle, true, ":AFG:OUTP CODEC");
}

ViStatus wt4400_configureAudioGenerator(ViSession handle, double afLevel, double rfLevel,
                                        double frequencyHz) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!(afLevel >= 0.0 && afLevel <= 5.0) || !(rfLevel >= 0.0 && rfLevel <= 5.0) ||
      !(frequencyHz >= 10.0 && frequencyHz <= 20000.0)) {
    return WT4400_OUT_OF_RANGE;
  }
  char line[160];
  std::snprintf(line, sizeof line, ":AFG:LEV:AF %lf;:AFG:LEV:RF %lf;:AFG:SING:FREQ %lf", afLevel,
                rfLevel, frequencyHz);
  return wt4400::SetupLine(handle, line);
}

ViStatus wt4400_setAudioShape(ViSession handle, int16_t shape) {
  static const char* const SHAPES[] = {"RECT", "TRI", "PULS"};
  const char* text = Choice(shape, SHAPES, 3);
  return GuardedSetup(handle, text != nullptr,
                      std::string(":AFG:SING:SHAPE ") + (text ? text : ""));
}

ViStatus wt4400_setAudioInput(ViSession handle, int16_t auxiliary) {
  return GuardedSetup(handle, auxiliary == 0 || auxiliary == 1,
                      auxiliary ? ":AFAN:INP AUX" : ":AFAN:INP AF");
}

ViStatus wt4400_setAudioCoupling(ViSession handle, int16_t dc) {
  return GuardedSetup(handle, dc == 0 || dc == 1, dc ? ":AFAN:COUP DC" : ":AFAN:COUP AC");
}

ViStatus wt4400_measureAudioSpectrum(ViSession handle, int16_t index, double* value) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (value == nullptr) return VI_ERROR_PARAMETER3;
  if (index < 0 || index > 1023) return WT4400_OUT_OF_RANGE;
  const ViStatus status = wt4400_queryAndCheck(handle, ":MEAS:BLOC:AFSP;*OPC?", nullptr);
  if (status < VI_SUCCESS) return status;
  const std::string query = ":CALC:AFSP:VAL? " + std::to_string(index) + ";";
  return wt4400::QueryValues(handle, query.c_str(), value, 1);
}
