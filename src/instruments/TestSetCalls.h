#pragma once

#include <initializer_list>
#include <string>

#include "instruments/InstrumentState.h"
#include "instruments/drivers/InstrumentDrivers.h"

// Plumbing shared by the test-set and supply operations (not for callers outside instruments/).

inline TestSet8960Driver& Driver8960() {
  return *Drivers().testSet8960;
}
inline TestSet4400Driver& Driver4400() {
  return *Drivers().testSet4400;
}

// One driver call of an operation, made with the handle current when it runs. IGNORED marks
// the calls whose status the operation deliberately does not check.
enum class StatusUse { CHECKED, IGNORED };
struct TestSetCall {
  ViStatus (*call)(ViSession handle);
  StatusUse use = StatusUse::CHECKED;
};

// Makes the calls in order, passing each checked status to CheckTestSetStatus. Once the test
// set has been dropped under the operation the remaining calls are not made: they would only
// go to a closed session. Returns the status of the last call made.
ViStatus RunTestSetCalls(std::initializer_list<TestSetCall> calls);

// For the operations that need an open test set: false (and InstrumentFault raised) without.
bool TestSetOpenOrFault();

// A message box of this layer (the notifier; the debug log when none is installed).
void NotifyOperator(const std::string& text);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
