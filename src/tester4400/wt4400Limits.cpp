#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::GuardedSetup;

constexpr int16_t TEMPLATE_POINTS = 32;

std::string Format(const char* format, const char* first, const char* second) {
  char line[128];
  std::snprintf(line, sizeof line, format, first, second);
  return line;
}

struct Range {
  int low;
  int high;
};

// "YYYY,MM,DD" or "HH,MM,SS": three numbers joined by commas, the first of firstDigits digits
// at most, each within its range. Nothing else may be in the text: it goes into the command
// line as it is.
bool ClockText(const char* text, const std::array<Range, 3>& all, size_t firstDigits) {
  const std::string_view s(text, strnlen(text, 16));
  if (s.size() >= 16) return false;
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (pos >= s.size() || s[pos++] != ',')) return false;
    const size_t start = pos;
    int value = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
      value = value * 10 + (s[pos++] - '0');
    }
    const size_t digits = pos - start;
    if (digits == 0 || digits > (i == 0 ? firstDigits : 2)) return false;
    if (value < all[i].low || value > all[i].high) return false;
  }
  return pos == s.size();
}

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

ViStatus wt4400_setTemplateLimitList(ViSession handle, int16_t upper, const double* levelsDb,
                                     int16_t count) {
  bool ok =
      (upper == 0 || upper == 1) && levelsDb != nullptr && count >= 1 && count <= TEMPLATE_POINTS;
  std::string line = upper == 1 ? ":CALC:RFTX:TEMP:LIM:UPP " : ":CALC:RFTX:TEMP:LIM:LOW ";
  for (int16_t i = 0; ok && i < count; ++i) {
    ok = levelsDb[i] >= -100.0 && levelsDb[i] <= 10.0;
    char value[32];
    std::snprintf(value, sizeof value, i + 1 < count ? "%lf," : "%lf", levelsDb[i]);
    line += value;
  }
  return GuardedSetup(handle, ok, line);
}

ViStatus wt4400_readDate(ViSession handle, char* text, int16_t maxCount) {
  return QueryText(handle, (":SYST:" + std::string("DATE?")).c_str(), text, maxCount);
}

ViStatus wt4400_readTime(ViSession handle, char* text, int16_t maxCount) {
  return QueryText(handle, (":SYST:" + std::string("TIME?")).c_str(), text, maxCount);
}

ViStatus wt4400_setClock(ViSession handle, const char* date, const char* time) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (date == nullptr || time == nullptr) return VI_ERROR_PARAMETER2;
  const bool keepDate = std::strcmp(date, WT4400_NO_CHANGE) == 0;
  const bool keepTime = std::strcmp(time, WT4400_NO_CHANGE) == 0;
  if ((!keepDate && !ClockText(date, {{{1990, 2099}, {1, 12}, {1, 31}}}, 4)) ||
      (!keepTime && !ClockText(time, {{{0, 23}, {0, 59}, {0, 59}}}, 2))) {
    return WT4400_OUT_OF_RANGE;
  }
  std::string line;
  if (!keepDate) line = Format("%sDATE %s", ":SYST:", date);
  if (!keepTime) line = Format("%s:SYST:TIME %s", line.empty() ? "" : (line + ";").c_str(), time);
  if (line.empty()) return VI_SUCCESS;  // nothing to set
  return wt4400::SetupLine(handle, line);
}

ViStatus wt4400_setDate(ViSession handle, const char* date) {
  return wt4400_setClock(handle, date, WT4400_NO_CHANGE);
}

ViStatus wt4400_setTime(ViSession handle, const char* time) {
  return wt4400_setClock(handle, WT4400_NO_CHANGE, time);
}
