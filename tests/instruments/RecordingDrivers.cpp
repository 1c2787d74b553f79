#include "RecordingDrivers.h"

#include <cstdio>
#include <cstring>

#include "instruments/InstrumentState.h"

namespace testing_instruments {

ViStatus CallLog::Status(const std::string& op) {
  auto it = scripted.find(op);
  if (it == scripted.end() || it->second.empty()) return VI_SUCCESS;
  const ViStatus s = it->second.front();
  it->second.pop_front();
  return s;
}

void CallLog::Fail(const std::string& op, ViStatus status, int times) {
  for (int i = 0; i < times; ++i) scripted[op].push_back(status);
}

void CallLog::Record(const std::string& op, const std::vector<std::string>& args) {
  std::string line = op + "(";
  for (size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + args[i];
  calls.push_back(line + ")");
}

std::string Num(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.12g", value);
  return text;
}

namespace {
std::string N(long value) {
  return std::to_string(value);
}
std::string S(const char* text) {
  return text ? text : "(null)";
}
void Text(char* out, const std::string& text) {
  if (out) std::snprintf(out, 256, "%s", text.c_str());
}

// The operations every VXIplug&play double shares, logged under prefix.
template <typename Base>
class RecordingVxi : public Base {
 public:
  RecordingVxi(CallLog& log, std::string prefix) : log_(log), prefix_(std::move(prefix)) {}
  ViStatus Init(const char* resource, ViBoolean idQuery, ViBoolean reset, ViSession* vi) override {
    *vi = log_.handle;
    return Log("Init", {S(resource), N(idQuery), N(reset)});
  }
  ViStatus Close(ViSession vi) override { return Log("Close", {N(vi)}); }
  ViStatus Reset(ViSession vi) override { return Log("Reset", {N(vi)}); }
  ViStatus ErrorQuery(ViSession vi, ViInt32* code, char* text) override {
    *code = -113;
    Text(text, "Undefined header");
    return Log("ErrorQuery", {N(vi)});
  }
  ViStatus ErrorMessage(ViSession vi, ViStatus status, char* text) override {
    Text(text, "message for " + N(status));
    return Log("ErrorMessage", {N(vi), N(status)});
  }
  ViStatus Clear(ViSession vi) override { return Log("Clear", {N(vi)}); }
  std::string Identity(ViSession) override { return log_.identity; }

 protected:
  ViStatus Log(const std::string& op, const std::vector<std::string>& args) {
    log_.Record(prefix_ + op, args);
    return log_.Status(prefix_ + op);
  }
  CallLog& log_;
  std::string prefix_;
};

class Recording8960 final : public RecordingVxi<TestSet8960Driver> {
 public:
  explicit Recording8960(CallLog& log) : RecordingVxi(log, "") {}
  ViStatus SendCommand(ViSession vi, const char* c) override {
    return Log("SendCommand", {N(vi), S(c)});
  }
  ViStatus SendCommandReal(ViSession vi, const char* c, ViReal64 v) override {
    return Log("SendCommandReal", {N(vi), S(c), Num(v)});
  }
  ViStatus QueryReal(ViSession vi, const char* q, ViReal64* v) override {
    *v = log_.real;
    return Log("QueryReal", {N(vi), S(q)});
  }
  ViStatus EndOfTest(ViSession vi) override { return Log("EndOfTest", {N(vi)}); }
  ViStatus ReadTxPower(ViSession vi, ViReal64 t, ViInt32* integrity, ViReal64* dbm) override {
    *integrity = 0;
    *dbm = log_.real;
    return Log("ReadTxPower", {N(vi), Num(t)});
  }
  ViStatus SelectMeasurements(ViSession vi, ViInt32 count, const ViInt16* codes) override {
    std::vector<std::string> args{N(vi), N(count)};
    for (ViInt32 i = 0; i < count; ++i) args.push_back(N(codes[i]));
    return Log("SelectMeasurements", args);
  }
  ViStatus TchChannel(ViSession vi, ViInt32 arfcn, ViInt16 band, ViInt32 now) override {
    return Log("TchChannel", {N(vi), N(arfcn), N(band), N(now)});
  }
  ViStatus MsTxLevel(ViSession vi, ViInt32 pcl, ViInt16 band, ViInt32 now) override {
    return Log("MsTxLevel", {N(vi), N(pcl), N(band), N(now)});
  }
  ViStatus BchChannel(ViSession vi, ViInt32 cell, ViInt32 arfcn, ViInt16 band,
                      ViInt32 now) override {
    return Log("BchChannel", {N(vi), N(cell), N(arfcn), N(band), N(now)});
  }
  ViStatus CellBand(ViSession vi, ViInt32 cell, ViInt16 band) override {
    return Log("CellBand", {N(vi), N(cell), N(band)});
  }
  ViStatus TchBand(ViSession vi, ViInt16 band) override { return Log("TchBand", {N(vi), N(band)}); }
  ViStatus OperatingMode(ViSession vi, ViInt32 mode) override {
    return Log("OperatingMode", {N(vi), N(mode)});
  }
  ViStatus PathLoss(ViSession vi, ViReal64 db) override {
    return Log("PathLoss", {N(vi), Num(db)});
  }
  ViStatus CellPower(ViSession vi, ViInt32 cell, ViReal64 dbm, ViInt32 o1, ViInt32 o2) override {
    return Log("CellPower", {N(vi), N(cell), Num(dbm), N(o1), N(o2)});
  }
  ViStatus WaitCallConnected(ViSession vi, ViReal64 seconds) override {
    const ViStatus status = Log("WaitCallConnected", {N(vi), Num(seconds)});
    if (log_.onWait) log_.onWait("WaitCallConnected", seconds, status);
    return status;
  }
  ViStatus OriginateCall(ViSession vi) override { return Log("OriginateCall", {N(vi)}); }
};

class RecordingE3631A final : public RecordingVxi<E3631ADriver> {
 public:
  explicit RecordingE3631A(CallLog& log) : RecordingVxi(log, "E3631A.") {}
  ViStatus SetVoltage(ViSession vi, ViInt32 out, ViReal64 v) override {
    return Log("SetVoltage", {N(vi), N(out), Num(v)});
  }
  ViStatus SetCurrentLimit(ViSession vi, ViInt32 out, ViReal64 a) override {
    return Log("SetCurrentLimit", {N(vi), N(out), Num(a)});
  }
  ViStatus MeasureCurrent(ViSession vi, ViInt32 out, ViReal64* a) override {
    *a = log_.real;
    return Log("MeasureCurrent", {N(vi), N(out)});
  }
  ViStatus OutputOn(ViSession vi, ViBoolean on) override { return Log("OutputOn", {N(vi), N(on)}); }
};

class RecordingE3632A final : public RecordingVxi<E3632ADriver> {
 public:
  explicit RecordingE3632A(CallLog& log) : RecordingVxi(log, "E3632A.") {}
  ViStatus SetVoltage(ViSession vi, ViReal64 v) override {
    return Log("SetVoltage", {N(vi), Num(v)});
  }
  ViStatus SetCurrentLimit(ViSession vi, ViReal64 a) override {
    return Log("SetCurrentLimit", {N(vi), Num(a)});
  }
  ViStatus MeasureCurrent(ViSession vi, ViReal64* a) override {
    *a = log_.real;
    return Log("MeasureCurrent", {N(vi)});
  }
  ViStatus OutputOn(ViSession vi, ViBoolean on) override { return Log("OutputOn", {N(vi), N(on)}); }
};

class Recording66311B final : public RecordingVxi<Hp66311BDriver> {
 public:
  explicit Recording66311B(CallLog& log) : RecordingVxi(log, "66311B.") {}
  ViStatus OutputVoltCurr(ViSession vi, ViReal64 v, ViReal64 a) override {
    return Log("OutputVoltCurr", {N(vi), Num(v), Num(a)});
  }
  ViStatus MeasureCurrent(ViSession vi, ViReal64* a) override {
    *a = log_.real;
    return Log("MeasureCurrent", {N(vi)});
  }
};

class Recording4400 final : public TestSet4400Driver {
 public:
  explicit Recording4400(CallLog& log) : log_(log) {}
  ViStatus Init(const char* r, int16_t id, int16_t reset, ViSession* h) override {
    *h = log_.handle;
    return Log("wt4400_init", {S(r), N(id), N(reset)});
  }
  ViStatus Close(ViSession h) override { return Log("wt4400_close", {N(h)}); }
  ViStatus SetIoMode(ViSession h, int16_t io, int16_t trace, const char* file,
                     int16_t mode) override {
    return Log("wt4400_setIoMode", {N(h), N(io), N(trace), S(file), N(mode)});
  }
  ViStatus Trace(ViStatus status, const char* op, const char* msg, ViSession h) override {
    return Log("wt4400_trace", {N(status), S(op), S(msg), N(h)});
  }
  ViStatus Write(ViSession h, const char* c) override { return Log("wt4400_write", {N(h), S(c)}); }
  ViStatus Query(ViSession h, const char* c, char* reply, int16_t max) override {
    std::snprintf(reply, static_cast<size_t>(max), "%s", log_.reply4400.c_str());
    return Log("wt4400_query", {N(h), S(c), N(max)});
  }
  ViStatus ResetAndWait(ViSession h) override { return Log("wt4400_resetAndWait", {N(h)}); }
  ViStatus ErrorMessage(ViStatus status, char* text) override {
    Text(text, "text for " + N(status));
    return Log("wt4400_errorMessage", {N(status)});
  }
  ViStatus SelectSystem(ViSession h, int16_t mode) override {
    return Log("wt4400_selectSystem", {N(h), N(mode)});
  }
  ViStatus SetCoupling(ViSession h, const char* table, int16_t state) override {
    return Log("wt4400_setCoupling", {N(h), S(table), N(state)});
  }
  ViStatus ConfigureGenerator(ViSession h, double mhz, double dbm, int16_t mod, int16_t tss,
                              int16_t ts, int16_t bits, int16_t type, int16_t slot) override {
    return Log("wt4400_configureGenerator",
               {N(h), Num(mhz), Num(dbm), N(mod), N(tss), N(ts), N(bits), N(type), N(slot)});
  }
  ViStatus WaitConnected(ViSession h, double seconds) override {
    const ViStatus status = Log("wt4400_waitConnected", {N(h), Num(seconds)});
    if (log_.onWait) log_.onWait("wt4400_waitConnected", seconds, status);
    return status;
  }
  ViStatus SetStatistic(ViSession h, int16_t selector) override {
    return Log("wt4400_setStatistic", {N(h), N(selector)});
  }
  ViStatus MeasureTxPower(ViSession h, double* dbm, int16_t count) override {
    *dbm = log_.real;
    return Log("wt4400_measureTxPower", {N(h), N(count)});
  }

 private:
  ViStatus Log(const std::string& op, const std::vector<std::string>& args) {
    log_.Record(op, args);
    return log_.Status(op);
  }
  CallLog& log_;
};
}  // namespace

void InstallRecordingDrivers(CallLog& log) {
  InstrumentDrivers& d = Drivers();
  d.testSet8960 = std::make_shared<Recording8960>(log);
  d.testSet4400 = std::make_shared<Recording4400>(log);
  d.e3631a = std::make_shared<RecordingE3631A>(log);
  d.e3632a = std::make_shared<RecordingE3632A>(log);
  d.hp66311b = std::make_shared<Recording66311B>(log);
}

void OpenDcsTestSet(int32_t type, const CallLog& log) {
  InstrumentState& s = Instruments();
  s.TestSetType = type;
  s.TestSetHandle = log.handle;
  s.BandCode = BAND_DCS1800;
  s.BchChannel = 512;
  s.TchChannel = 698;
  s.MsPowerLevel = 105;
  s.PathLoss = -1.7;
}

}  // namespace testing_instruments
