#include "calibration/CalState.h"

#include "instruments/InstrumentState.h"
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
  // A step whose instrument went away fails at its next command; waiting for a handset or a
  // tone the lost instrument was to measure only delays that.
  const InstrumentState& s = Instruments();
  if (s.InstrumentFault && s.InstrumentLost) return;
  if (g_cal.loop) g_cal.loop->BusyWait(ms);
}

void CalMeasured(const char* what, double value) {
  if (g_cal.onMeasure) g_cal.onMeasure(what, value);
}

void CalProgress(const std::string& text) {
  if (g_cal.onProgress) g_cal.onProgress(text);
}
