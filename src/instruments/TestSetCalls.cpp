#include "instruments/TestSetCalls.h"

#include <cstdarg>
#include <cstdio>

#include "instruments/TestSet.h"
#include "platform/Notifier.h"

ViStatus RunTestSetCalls(std::initializer_list<TestSetCall> calls) {
  InstrumentState& s = Instruments();
  const bool wasOpen = s.TestSetHandle != 0;
  ViStatus last = VI_SUCCESS;
  for (const TestSetCall& c : calls) {
    const ViSession handle = s.TestSetHandle;
    last = c.call(handle);
    // A status the operation ignores is still checked when it says the test set is gone: its
    // value (a reading of nothing) must not pass for an answer.
    if (c.use == StatusUse::CHECKED || InstrumentGone(last)) CheckTestSetStatus(handle, last);
    if (wasOpen && s.TestSetHandle == 0) break;
  }
  return last;
}

bool TestSetOpenOrFault() {
  if (Instruments().TestSetHandle != 0) return true;
  Instruments().InstrumentFault = 1;
  return false;
}

void NotifyOperator(const std::string& text) {
  if (Notifier* n = Instruments().notifier) {
    n->Message(text);
  } else {
    DebugLog(text);
  }
}

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}
