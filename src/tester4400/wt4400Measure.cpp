#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tester4400/wt4400Families.h"
#include "tester4400/wt4400Internal.h"

namespace wt4400 {

namespace {

void SkipBlanks(const char*& p) {
  while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
}

// The separator of "%*1s": blanks, then exactly one character.
bool SkipSeparator(const char*& p) {
  SkipBlanks(p);
  if (*p == '\0') return false;
  ++p;
  return true;
}

// One "%lf" conversion, without the forms no instrument sends as a reading (strtod would take
// "nan", "inf" and hexadecimal too).
bool ScanReal(const char*& p, double* value) {
  SkipBlanks(p);
  const char* q = p;
  if (*q == '+' || *q == '-') ++q;
  const bool digitFirst = std::isdigit(static_cast<unsigned char>(q[0])) ||
                          (q[0] == '.' && std::isdigit(static_cast<unsigned char>(q[1])));
  if (!digitFirst || (q[0] == '0' && (q[1] == 'x' || q[1] == 'X'))) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(p, &end);
  if (end == p || errno == ERANGE) return false;
  p = end;
  *value = v;
  return true;
}

// One "%d" conversion, refused when it does not fit 32 bits.
bool ScanInt32(const char*& p, int32_t* value) {
  SkipBlanks(p);
  const char* q = p;
  if (*q == '+' || *q == '-') ++q;
  if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(p, &end, 10);
  if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  p = end;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

bool ParseNumbers(const char* reply, double* values, int count) {
  if (reply == nullptr) return false;
  const char* p = reply;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !SkipSeparator(p)) return false;
    double value = 0.0;
    if (!ScanReal(p, &value)) return false;
    // 9.91E+37 is SCPI's "no value"; a measurement it is not.
    if (!std::isfinite(value) || std::fabs(value) >= 9.9e37) return false;
    values[i] = value;
  }
  return true;
}

bool ParseIntegers(const char* reply, int32_t* values, int count) {
  if (reply == nullptr) return false;
  const char* p = reply;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !SkipSeparator(p)) return false;
    if (!ScanInt32(p, &values[i])) return false;
  }
  return true;
}

bool ParseInteger(const char* reply, long* value) {
  int32_t parsed = 0;
  if (!ParseIntegers(reply, &parsed, 1)) return false;
  *value = parsed;
  return true;
}

}  // namespace wt4400

namespace {

using wt4400::SlotOf;

struct MeasureCommands {
  const char* measure;    // single form: measure command ...
  const char* fetch;      // ... and fetch query
  const char* array;      // array query, sent with the count
  const char* statistic;  // fixed statistic query, or nullptr for the slot's selector
};

const char* SlotStatistic(ViSession handle) {
  switch (SlotOf(handle)->statistic) {
    case 0:
      return "CALC:MAV?";
    case 1:
      return "CALC:MMIN?";
    case 2:
      return "CALC:MMAX?";
    default:
      return nullptr;
  }
}

ViStatus QueryNumbers(ViSession handle, const char* query, double* values, int count) {
  char reply[wt4400::QUERY_REPLY_MAX] = {};
  const ViStatus status = wt4400_query(handle, query, reply, sizeof reply);
  if (status < VI_SUCCESS) return status;
  double parsed[32];
  if (count > 32 || !wt4400::ParseNumbers(reply, parsed, count)) return WT4400_PARSE_ERROR;
  std::memcpy(values, parsed, sizeof(double) * static_cast<size_t>(count));
  return VI_SUCCESS;
}

ViStatus Measure(ViSession handle, const MeasureCommands& commands, int16_t count, double* values,
                 int valueCount) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (values == nullptr) return VI_ERROR_PARAMETER3;
  // Count 1 is the single form; any other count goes to the tester as the array size, and the
  // tester judges it.
  const char* statistic = commands.statistic ? commands.statistic : SlotStatistic(handle);
  if (count != 1 && statistic == nullptr) return WT4400_OUT_OF_RANGE;
  if (SlotOf(handle)->simulation != 0) {
    for (int i = 0; i < valueCount; ++i) values[i] = 0.0;
    return VI_SUCCESS;
  }
  ViStatus status;
  if (count == 1) {
    status = wt4400_write(handle, commands.measure);
    if (status < VI_SUCCESS) return status;
    return QueryNumbers(handle, commands.fetch, values, valueCount);
  }
  const std::string array = std::string(commands.array) + " " + std::to_string(count);
  status = wt4400_write(handle, array.c_str());
  if (status < VI_SUCCESS) return status;
  status = wt4400::WaitComplete(handle);
  if (status < VI_SUCCESS) return status;
  return QueryNumbers(handle, statistic, values, valueCount);
}

const MeasureCommands* CommandsOf(int16_t quantity) {
  static const MeasureCommands TABLE[] = {
      {":MEAS:RFTX:POW", ":FETCH:RFTX:POW?", ":MEAS:ARR:RFTX:POW?", nullptr},
      {":MEAS:RFTX:FPOW", ":FETCH:RFTX:FPOW?", ":MEAS:ARR:RFTX:FPOW?", nullptr},
      {":MEAS:RFTX:FREQ", ":FETCH:RFTX:FREQ?", ":MEAS:ARR:RFTX:FREQ?", nullptr},
      {":MEAS:RFTX:PRMS", ":FETCH:RFTX:PRMS?", ":MEAS:ARR:RFTX:PRMS?", nullptr},
      {":MEAS:RFTX:PPEA", ":FETCH:RFTX:PPEA?", ":MEAS:ARR:RFTX:PPEA?", nullptr},
      {":MEAS:RFTX:TEMP", ":FETCH:RFTX:TEMP?", ":MEAS:ARR:RFTX:TEMP?", nullptr},
      {":MEAS:RFSP:ACPM:MOD", ":FETCH:RFSP:ACPM:MOD?", ":MEAS:ARR:RFSP:ACPM:MOD?", ":CALC:MAV?"},
      {":MEAS:RFSP:ACPM:TRAN", ":FETCH:RFSP:ACPM:TRAN?", ":MEAS:ARR:RFSP:ACPM:TRAN?",
       ":CALC:MMAX?"},
  };
  if (quantity < WT4400_TX_POWER || quantity > WT4400_ACP_TRANSIENT) return nullptr;
  return &TABLE[quantity - WT4400_TX_POWER];
}

}  // namespace

ViStatus wt4400_measureTxPower(ViSession handle, double* dbm, int16_t count) {
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) return guard;
  if (dbm == nullptr) return VI_ERROR_PARAMETER2;
  return Measure(handle, *CommandsOf(WT4400_TX_POWER), count, dbm, 1);
}

ViStatus wt4400_measure(ViSession handle, int16_t quantity, int16_t count, double* value) {
  const MeasureCommands* commands = CommandsOf(quantity);
  if (commands == nullptr) return WT4400_OUT_OF_RANGE;
  return Measure(handle, *commands, count, value, 1);
}

ViStatus wt4400_measureFrequencyErrorMax(ViSession handle, int16_t count, double* first,
                                         double* second) {
  if (first == nullptr || second == nullptr) return VI_ERROR_PARAMETER3;
  const MeasureCommands commands = {":MEAS:RFTX:FREQ", ":FETCH:RFTX:FREQ?", ":MEAS:ARR:RFTX:FREQ?",
                                    "CALC:MMAX?"};
  if (count < 2) return WT4400_OUT_OF_RANGE;  // an array measurement by nature
  double values[2];
  const ViStatus status = Measure(handle, commands, count, values, 2);
  if (status >= VI_SUCCESS) {
    *first = values[0];
    *second = values[1];
  }
  return status;
}

ViStatus wt4400_measureTxAll(ViSession handle, double* values, int16_t valueCount) {
  if (valueCount < 1 || valueCount > 32) return WT4400_OUT_OF_RANGE;
  const MeasureCommands commands = {":MEAS:RFTX:ALL", ":FETCH:RFTX:ALL?", ":MEAS:ARR:RFTX:ALL?",
                                    nullptr};
  return Measure(handle, commands, 1, values, valueCount);
}

ViStatus wt4400_measureAudioAll(ViSession handle, double values[6]) {
  const MeasureCommands commands = {":MEAS:AFAN:ALL", ":FETCH:AFAN:ALL?", ":MEAS:ARR:AFAN:ALL?",
                                    nullptr};
  return Measure(handle, commands, 1, values, 6);
}

namespace wt4400 {

// Shared by the families: a query whose reply holds count numbers.
ViStatus QueryValues(ViSession handle, const char* query, double* values, int count) {
  if (SlotOf(handle)->simulation != 0) {
    for (int i = 0; i < count; ++i) values[i] = 0.0;
    return VI_SUCCESS;
  }
  return QueryNumbers(handle, query, values, count);
}

}  // namespace wt4400
