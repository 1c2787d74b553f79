#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Delay.h"
#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace wt4400 {

constexpr double POLL_INTERVAL_S = 0.1;
constexpr double MAX_WAIT_S = 3600.0;

ViStatus PollsForTimeout(double seconds, int* polls) {
  if (!(seconds >= 0.0 && seconds <= MAX_WAIT_S)) return WT4400_OUT_OF_RANGE;
  const long n = std::lround(seconds / POLL_INTERVAL_S);
  *polls = n < 1 ? 1 : static_cast<int>(n);
  return VI_SUCCESS;
}

ViStatus PollRegister(ViSession handle, const char* query, long bit, bool wantSet, int polls) {
  for (int n = 0; n < polls; ++n) {
    char reply[64] = {};
    const ViStatus status = wt4400_query(handle, query, reply, sizeof reply);
    if (status < VI_SUCCESS) return status;
    long value = 0;
    // A reply that is not a number is not the state waited for; the poll goes on.
    if (ParseInteger(reply, &value) && ((value & bit) != 0) == wantSet) return VI_SUCCESS;
    Delay(POLL_INTERVAL_S);
  }
  return WT4400_STATE_TIMEOUT;
}

ViStatus SetupLine(ViSession handle, const std::string& line, bool acceptMinus310) {
  ViStatus status = wt4400_write(handle, line.c_str());
  if (status < VI_SUCCESS) return status;
  status = WaitComplete(handle);
  if (acceptMinus310 && status == WT4400_INSTR_ERROR_BASE - 310) return VI_SUCCESS;
  return status;
}

ViStatus GuardedSetup(ViSession handle, bool valuesOk, const std::string& line) {
  const ViStatus guard = Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (!valuesOk) return WT4400_OUT_OF_RANGE;
  return SetupLine(handle, line);
}

}  // namespace wt4400

namespace {

using wt4400::SlotOf;

constexpr long CALL_CONNECTED_BIT = 4;
constexpr const char* SIGNALLING_QUERY = ":STAT:OPER:SIGN:COND?";
constexpr int RELEASE_POLLS = 1000;  // 100 s
constexpr int MOBILE_REPORT_POLLS = 30;
constexpr ViStatus NO_MOBILE_REPORT = -116;
constexpr ViStatus SIGNALLING_QUERY_FAILED = -400;

// Sends command (when given), then waits for the call-connected bit to be set or clear.
ViStatus SendAndWait(ViSession handle, const char* command, bool connected, int polls) {
  if (command != nullptr) {
    const ViStatus status = wt4400_write(handle, command);
    if (status < VI_SUCCESS) return status;
  }
  if (SlotOf(handle)->simulation != 0) return VI_SUCCESS;
  return wt4400::PollRegister(handle, SIGNALLING_QUERY, CALL_CONNECTED_BIT, connected, polls);
}

}  // namespace

ViStatus wt4400_waitConnected(ViSession handle, double timeoutSeconds) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  int polls = 0;
  const ViStatus range = wt4400::PollsForTimeout(timeoutSeconds, &polls);
  if (range < VI_SUCCESS) return range;
  return SendAndWait(handle, nullptr, true, polls);
}

ViStatus wt4400_originateAndWait(ViSession handle, double timeoutSeconds) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  int polls = 0;
  const ViStatus range = wt4400::PollsForTimeout(timeoutSeconds, &polls);
  if (range < VI_SUCCESS) return range;
  return SendAndWait(handle, ":CALL:BSOR", true, polls);
}

ViStatus wt4400_originate(ViSession handle) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  return wt4400_write(handle, ":CALL:BSOR");
}

ViStatus wt4400_releaseAndWait(ViSession handle) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  return SendAndWait(handle, ":CALL:BSR", false, RELEASE_POLLS);
}

ViStatus wt4400_readSignallingState(ViSession handle, int32_t* state) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (state == nullptr) return VI_ERROR_PARAMETER2;
  if (SlotOf(handle)->simulation != 0) {
    *state = 0;
    return VI_SUCCESS;
  }
  char reply[64] = {};
  if (wt4400_query(handle, SIGNALLING_QUERY, reply, sizeof reply) < VI_SUCCESS) {
    return SIGNALLING_QUERY_FAILED;
  }
  long value = 0;
  if (!wt4400::ParseInteger(reply, &value) || value < INT32_MIN || value > INT32_MAX) {
    return WT4400_PARSE_ERROR;
  }
  *state = static_cast<int32_t>(value);
  return VI_SUCCESS;
}

ViStatus wt4400_signalOnTimeslot(ViSession handle, int16_t timeslot, double timeoutSeconds) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (timeslot < 2 || timeslot > 6) return WT4400_OUT_OF_RANGE;
  int polls = 0;
  const ViStatus range = wt4400::PollsForTimeout(timeoutSeconds, &polls);
  if (range < VI_SUCCESS) return range;
  wt4400::SettingCache& cache = SlotOf(handle)->cache;
  if (cache.timeslot != timeslot) {
    const std::string line = "CONF:GSM:BS:TCH:TSL " + std::to_string(timeslot);
    const ViStatus status = wt4400_write(handle, line.c_str());
    if (status < VI_SUCCESS) {
      cache.timeslot = -1;
      return status;
    }
    cache.timeslot = timeslot;
  }
  return SendAndWait(handle, ":CALL:RSIG", true, polls);
}

ViStatus wt4400_readMobileReport(ViSession handle, int32_t* rxLevel, int32_t* rxQuality,
                                 int32_t* timingAdvance) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (rxLevel == nullptr || rxQuality == nullptr || timingAdvance == nullptr) {
    return VI_ERROR_PARAMETER2;
  }
  if (SlotOf(handle)->simulation != 0) {
    *rxLevel = *rxQuality = *timingAdvance = 0;
    return VI_SUCCESS;
  }
  for (int n = 0; n < MOBILE_REPORT_POLLS; ++n) {
    char reply[wt4400::QUERY_REPLY_MAX] = {};
    const ViStatus status = wt4400_query(handle, ":CALL:MSIN:RXL?;RXQ?;TADV?", reply, sizeof reply);
    if (status < VI_SUCCESS) return status;
    int32_t values[3] = {};
    if (!wt4400::ParseIntegers(reply, values, 3)) return WT4400_PARSE_ERROR;
    if (values[0] != 0) {
      *rxLevel = values[0];
      *rxQuality = values[1];
      *timingAdvance = values[2];
      return VI_SUCCESS;
    }
    Delay(0.1);
  }
  return NO_MOBILE_REPORT;
}

ViStatus wt4400_readMobileInfo(ViSession handle, int16_t item, char* text, int16_t maxCount) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  static const char* const QUERIES[] = {":CALL:MSINFO:EFRC?", ":CALL:MSIN:IMSI?",
                                        ":CALL:MSIN:IMEI?", ":CALL:MSIN:MSCL?", ":CALL:MSIN:NUMB?"};
  if (item < WT4400_MS_EFR_CAPABILITY || item > WT4400_MS_NUMBER) return WT4400_OUT_OF_RANGE;
  if (text == nullptr || maxCount < 1) return VI_ERROR_PARAMETER3;
  text[0] = '\0';
  return wt4400_query(handle, QUERIES[item - WT4400_MS_EFR_CAPABILITY], text, maxCount);
}

ViStatus wt4400_setLoop(ViSession handle, int16_t on, double timeoutSeconds) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (on != 0 && on != 1) return WT4400_OUT_OF_RANGE;
  int polls = 0;
  const ViStatus range = wt4400::PollsForTimeout(timeoutSeconds, &polls);
  if (range < VI_SUCCESS) return range;
  // The loop runs inside a call: closing it waits for the call to be up again.
  return SendAndWait(handle, on ? ":CALL:LOOP ON" : ":CALL:LOOP OFF", true, polls);
}

ViStatus wt4400_setGprsCallMode(ViSession handle, int16_t mode, double timeoutSeconds) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  static const char* const MODES[] = {"TX", "BCS", "USF", "BERT", "STOP"};
  if (mode < WT4400_GPRS_TX || mode > WT4400_GPRS_STOP) return WT4400_OUT_OF_RANGE;
  int polls = 0;
  const ViStatus range = wt4400::PollsForTimeout(timeoutSeconds, &polls);
  if (range < VI_SUCCESS) return range;
  const std::string line = std::string(":CALL:GPRS:MODE ") + MODES[mode - WT4400_GPRS_TX];
  const ViStatus status = wt4400_write(handle, line.c_str());
  if (status < VI_SUCCESS || SlotOf(handle)->simulation != 0) return status;
  return wt4400::PollRegister(handle, "STATUS:OPERATION:SIGNALLING:GPRS:COND?", ~0L,
                              mode != WT4400_GPRS_STOP, polls);
}
