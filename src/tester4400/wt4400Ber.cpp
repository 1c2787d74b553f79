#include <cctype>
#include <cstdio>
#include <cstring>
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

ViStatus wt4400_setGprsMultislotLevels(ViSession handle, const double* levelsDbm, int16_t count) {
  bool ok = levelsDbm != nullptr && count >= 1 && count <= 8;
  std::string line = ":CONF:GPRS:BS:MSL:LEV ";
  for (int16_t i = 0; ok && i < count; ++i) {
    ok = levelsDbm[i] >= -120.0 && levelsDbm[i] <= -10.0;
    char value[32];
    std::snprintf(value, sizeof value, i + 1 < count ? "%g," : "%g", levelsDbm[i]);
    line += value;
  }
  return GuardedSetup(handle, ok, line);
}

ViStatus wt4400_setGprsUnusedSlotLevel(ViSession handle, double levelDbm) {
  char line[64];
  std::snprintf(line, sizeof line, ":CONF:GPRS:BS:MSL:LEV:UNUS %g", levelDbm);
  return GuardedSetup(handle, levelDbm >= -120.0 && levelDbm <= -10.0, line);
}

ViStatus wt4400_setGprsSlotList(ViSession handle, const char* header, const int16_t slots[4]) {
  // The header goes into the line as it is: only a GPRS configuration path is taken.
  bool ok = header != nullptr && slots != nullptr;
  const size_t length = ok ? strnlen(header, 65) : 0;
  ok = ok && length <= 64 && std::strncmp(header, ":CONF:GPRS:", 11) == 0;
  for (size_t i = 0; ok && i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(header[i]);
    ok = std::isalnum(c) || c == ':';
  }
  for (int i = 0; ok && i < 4; ++i) ok = slots[i] >= 0 && slots[i] <= 7;
  char line[128] = "";
  if (ok) {
    std::snprintf(line, sizeof line, "%s %d,%d,%d,%d", header, slots[0], slots[1], slots[2],
                  slots[3]);
  }
  return GuardedSetup(handle, ok, line);
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
