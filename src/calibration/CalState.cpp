#include "calibration/CalState.h"

#include "platform/EventLoop.h"

namespace {
CalState g_cal;
}

CalState& Cal() {
  return g_cal;
}

void ResetCalState() {
  g_cal = CalState{};
}

void CalWait(uint32_t ms) {
  if (g_cal.loop) g_cal.loop->BusyWait(ms);
}

void CalMeasured(const char* what, double value) {
  if (g_cal.onMeasure) g_cal.onMeasure(what, value);
}

void CalProgress(const std::string& text) {
  if (g_cal.onProgress) g_cal.onProgress(text);
}
