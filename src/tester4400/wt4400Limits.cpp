#include <cmath>
#include <cstdio>
#include <string>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::GuardedSetup;

ViStatus QueryText(ViSession handle, const char* query, char* text, int16_t maxCount) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (text == nullptr || maxCount < 1) return VI_ERROR_PARAMETER2;
  text[0] = '\0';
  return wt4400_query(handle, query, text, maxCount);
}

}  // namespace

ViStatus wt4400_setTemplateLimitsAuto(ViSession handle) {
  return GuardedSetup(handle, true, ":CALC:RFTX:TEMP:LIM:AUTO");
}

ViStatus wt4400_setTemplateLowerLimit(ViSession handle, int16_t point, double levelDb) {
  char line[64];
  std::snprintf(line, sizeof line, "CALC:RFTX:TEMP:LIM:LOW %d,%lf", point, levelDb);
  return GuardedSetup(handle, point >= 0 && point <= 31 && levelDb >= -100.0 && levelDb <= 10.0,
                      line);
}

ViStatus wt4400_setTemplateCorners(ViSession handle, const double corners[8]) {
  if (corners == nullptr) return GuardedSetup(handle, false, "");
  bool ok = true;
  for (int i = 0; i < 8; ++i)
    ok = ok && std::isfinite(corners[i]) && std::fabs(corners[i]) <= 1000.0;
  char line[256];
  std::snprintf(line, sizeof line, ":CALC:RFTX:CORN:POS %lf,%lf,%lf,%lf,%lf,%lf,%lf,%lf",
                corners[0], corners[1], corners[2], corners[3], corners[4], corners[5], corners[6],
                corners[7]);
  return GuardedSetup(handle, ok, line);
}

ViStatus wt4400_readDate(ViSession handle, char* text, int16_t maxCount) {
  return QueryText(handle, ":SYST:DATE?", text, maxCount);
}

ViStatus wt4400_readTime(ViSession handle, char* text, int16_t maxCount) {
  return QueryText(handle, ":SYST:TIME?", text, maxCount);
}

ViStatus wt4400_setDate(ViSession handle, int16_t year, int16_t month, int16_t day) {
  char line[64];
  std::snprintf(line, sizeof line, ":SYST:DATE %d,%d,%d", year, month, day);
  return GuardedSetup(
      handle, year >= 1990 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 && day <= 31,
      line);
}

ViStatus wt4400_setTime(ViSession handle, int16_t hour, int16_t minute, int16_t second) {
  char line[64];
  std::snprintf(line, sizeof line, ":SYST:TIME %d,%d,%d", hour, minute, second);
  return GuardedSetup(
      handle, hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59,
      line);
}
