#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tester4400/wt4400.h"

// The driver's own tables, shared by its source files only.
namespace wt4400 {

// Last values sent for the cached settings; "unknown" until sent, and again after a reset.
struct SettingCache {
  bool levelKnown = false;
  double cellLevelDbm = 0.0;
  int tchArfcn = -1;
  int powerControlLevel = -1;
  int timeslot = -1;
};

struct Slot {
  int16_t interfaceCode = 0;  // 100 + GPIB board; 0 = free
  int16_t primaryAddress = 0;
  int16_t secondaryAddress = 0;
  std::string keyText1;  // empty for GPIB resources
  std::string keyText2;
  ViSession session = 0;
  int16_t simulation = 0;  // 1: no I/O at all
  int16_t checkOff = 0;    // 0: error queue read after operations (error-checking mode)
  int16_t traceMode = 0;   // 0 off, 1 console, 2 file
  std::string traceFile;   // at most TRACE_FILE_MAX characters
  int32_t timeoutMs = 0;
  int32_t lastErrorCode = 0;
  std::string lastErrorText;  // at most ERROR_TEXT_MAX characters
  int16_t inCheck = 0;
  int16_t statistic = 0;  // 0 average, 1 minimum, 2 maximum
  SettingCache cache;
};

constexpr size_t TRACE_FILE_MAX = 50;
constexpr size_t ERROR_TEXT_MAX = 265;
constexpr size_t COMMAND_MAX = 1023;
constexpr size_t QUERY_COMMAND_MAX = 255;
constexpr int16_t QUERY_REPLY_MAX = 1024;
constexpr const char* DRIVER_REVISION = "1.0.0";

// Every slot of the process; index 0 is never used.
struct Wt4400State {
  std::array<Slot, WT4400_SLOTS + 1> slots;
};
Wt4400State& State();

// The slot of a handle, or nullptr outside 1..7.
Slot* SlotOf(ViSession handle);
// The slot guard: a simulated slot passes, a handle outside 1..7 is parameter 1, a free slot
// an invalid session.
ViStatus Guard(ViSession handle);
// Error-checking mode: the error queue is read after checked operations.
inline bool Checking(const Slot& slot) {
  return slot.checkOff == 0 && slot.simulation == 0;
}
// 0xBFFE0000 .. 0xBFFF0000: statuses made from an instrument error code.
inline bool IsInstrumentError(ViStatus status) {
  return status >= static_cast<ViStatus>(0xBFFE0000) && status < static_cast<ViStatus>(0xBFFF0000);
}
void ClearSlot(ViSession handle);

// Replies parsed as the driver reads them. ParseNumbers reads count numbers as "%lf%*1s%lf"
// does: each separated from the next by one character, anything after the last (a unit) not
// looked at. False when one is missing or malformed, and for what is no reading at all: not
// finite, hexadecimal, or the SCPI not-a-number value 9.91E+37.
bool ParseNumbers(const char* reply, double* values, int count);
// Integers as "%d%*1s%d" reads them, each within 32 bits (false rather than wrapping).
bool ParseIntegers(const char* reply, int32_t* values, int count);
bool ParseInteger(const char* reply, long* value);
// "%hd" as scanf reads it (blanks, sign, digits; the rest not looked at); false when there is no
// number or it does not fit 16 bits.
bool ScanShort(std::string_view text, int16_t* value);

// Polls a status register query every 0.1 s (at most polls times) until (value & bit) is set
// (wantSet) or clear; WT4400_STATE_TIMEOUT when it never is.
ViStatus PollRegister(ViSession handle, const char* query, long bit, bool wantSet, int polls);
// Polls for a time-out given in seconds: 10 polls per second; -108 for a negative or huge one.
ViStatus PollsForTimeout(double seconds, int* polls);

// "*OPC?" through wt4400_queryAndCheck, the reply not examined.
ViStatus WaitComplete(ViSession handle);

}  // namespace wt4400

namespace wt4400 {
// The console of trace mode 1 (wt4400_setConsole); nullptr when console lines are dropped.
FILE* ConsoleStream();

// A query whose reply holds count numbers (at most 32); simulated slots give zeros.
ViStatus QueryValues(ViSession handle, const char* query, double* values, int count);
// A set-up line followed by "*OPC?"; with acceptMinus310 the tester's -310 counts as done.
ViStatus SetupLine(ViSession handle, const std::string& line, bool acceptMinus310 = false);
// The slot guard, then the range test (-108 when valuesOk is false), then SetupLine.
ViStatus GuardedSetup(ViSession handle, bool valuesOk, const std::string& line);
}  // namespace wt4400
