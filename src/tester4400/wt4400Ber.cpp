#include <cstdio>
#include <string>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::GuardedSetup;

// Measure command then fetch query, or one query that measures and answers.
ViStatus MeasureThree(ViSession handle, const char* measure, const char* fetch, double values[3]) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (values == nullptr) return VI_ERROR_PARAMETER2;
  if (measure != nullptr && wt4400::SlotOf(handle)->simulation == 0) {
    const ViStatus status = wt4400_write(handle, measure);
    if (status < VI_SUCCESS) return status;
  }
  return wt4400::QueryValues(handle, fetch, values, 3);
}

}  // namespace

ViStatus wt4400_setBerLoopType(ViSession handle, int16_t fast) {
  return GuardedSetup(handle, fast == 0 || fast == 1,
                      fast ? "CONFIGURE:GSM:BER:LOOP FAST" : "CONFIGURE:GSM:BER:LOOP NONR");
}

ViStatus wt4400_setBerCount(ViSession handle, int32_t bits) {
  return GuardedSetup(handle, bits >= 1 && bits <= 10000000,
                      "CONFIGURE:GSM:BER:COUNT " + std::to_string(bits));
}

ViStatus wt4400_setBerBitPattern(ViSession handle, int16_t pattern) {
  static const char* const PATTERNS[] = {"ONEZERO", "ZEROONE", "PRBS9", "PRBS23"};
  const bool ok = pattern >= WT4400_BER_ONEZERO && pattern <= WT4400_BER_PRBS23;
  return GuardedSetup(handle, ok,
                      std::string(":CONF:GSM:BER:BITPATTERN ") + (ok ? PATTERNS[pattern - 1] : ""));
}

ViStatus wt4400_measureBer(ViSession handle, int16_t kind, double values[3]) {
  switch (kind) {
    case WT4400_BER_ALL:
      return MeasureThree(handle, ":MEAS:RFRX:BER:ALL", ":FETCH:RFRX:BER:ALL?", values);
    case WT4400_BER_RESIDUAL:
      return MeasureThree(handle, ":MEAS:RFRX:RBER:ALL", ":FETCH:RFRX:RBER:ALL?", values);
    case WT4400_BER_FAST:
      return MeasureThree(handle, nullptr, ":MEAS:RFRX:FBER?", values);
    default: {
      const ViStatus guard = wt4400::Guard(handle);
      return guard < VI_SUCCESS ? guard : WT4400_OUT_OF_RANGE;
    }
  }
}

ViStatus wt4400_setGprsMultislot(ViSession handle, int16_t configuration) {
  return GuardedSetup(handle, configuration >= 1 && configuration <= 12,
                      ":CONF:GPRS:BS:MSL " + std::to_string(configuration));
}

ViStatus wt4400_setGprsMultislotResolution(ViSession handle, int16_t resolution) {
  return GuardedSetup(handle, resolution >= 0 && resolution <= 3,
                      ":CONF:GPRS:MSL:RES " + std::to_string(resolution));
}

ViStatus wt4400_setGprsBlerCount(ViSession handle, int32_t blocks) {
  return GuardedSetup(handle, blocks >= 1 && blocks <= 1000000,
                      ":CONFIGURE:GPRS:BLER:COUNT " + std::to_string(blocks));
}

ViStatus wt4400_measureGprsBler(ViSession handle, double values[3]) {
  return MeasureThree(handle, ":MEAS:GPRS:MULTISLOT:RFRX:BLER", ":FETCH:GPRS:MULTISLOT:RFRX:BLER?",
                      values);
}

ViStatus wt4400_setGprsLevel(ViSession handle, double levelDbm) {
  char line[64];
  std::snprintf(line, sizeof line, ":CONF:GPRS:BS:LEV %g", levelDbm);
  return GuardedSetup(handle, levelDbm >= -120.0 && levelDbm <= -10.0, line);
}

ViStatus wt4400_setGprsPdtch(ViSession handle, int16_t arfcn) {
  return GuardedSetup(handle, arfcn >= 0 && arfcn <= 1023,
                      ":CONFIGURE:GPRS:BS:PDTCH:ARFC " + std::to_string(arfcn));
}

ViStatus wt4400_measureGprsTxAll(ViSession handle, double values[19]) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (values == nullptr) return VI_ERROR_PARAMETER2;
  return wt4400::QueryValues(handle, ":MEAS:GPRS:MULT:RFTX:ALL?", values, 19);
}
