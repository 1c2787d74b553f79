#include "instruments/drivers/InstrumentDrivers.h"
#include "tester4400/wt4400.h"

namespace {
class Wt4400Driver final : public TestSet4400Driver {
 public:
  ViStatus Init(const char* resource, int16_t idQuery, int16_t reset, ViSession* h) override {
    return wt4400_init(resource, idQuery, reset, h);
  }
  ViStatus Close(ViSession h) override { return wt4400_close(h); }
  ViStatus SetIoMode(ViSession h, int16_t io, int16_t trace, const char* file,
                     int16_t fileMode) override {
    return wt4400_setIoMode(h, io, trace, file, fileMode);
  }
  ViStatus Trace(ViStatus status, const char* op, const char* msg, ViSession h) override {
    return wt4400_trace(status, op, msg, h);
  }
  ViStatus Write(ViSession h, const char* command) override { return wt4400_write(h, command); }
  ViStatus Query(ViSession h, const char* command, char* reply, int16_t maxCount) override {
    return wt4400_query(h, command, reply, maxCount);
  }
  ViStatus ResetAndWait(ViSession h) override { return wt4400_resetAndWait(h); }
  ViStatus ErrorMessage(ViStatus status, char* text) override {
    return wt4400_errorMessage(status, text);
  }
  ViStatus SelectSystem(ViSession h, int16_t mode) override { return wt4400_selectSystem(h, mode); }
  ViStatus SetCoupling(ViSession h, const char* table, int16_t state) override {
    return wt4400_setCoupling(h, table, state);
  }
  ViStatus ConfigureGenerator(ViSession h, double mhz, double dbm, int16_t modulation,
                              int16_t tseqState, int16_t tseq, int16_t bitPattern,
                              int16_t signalType, int16_t timeslot) override {
    return wt4400_configureGenerator(h, mhz, dbm, modulation, tseqState, tseq, bitPattern,
                                     signalType, timeslot);
  }
  ViStatus WaitConnected(ViSession h, double seconds) override {
    return wt4400_waitConnected(h, seconds);
  }
  ViStatus SetStatistic(ViSession h, int16_t selector) override {
    return wt4400_setStatistic(h, selector);
  }
  ViStatus MeasureTxPower(ViSession h, double* dbm, int16_t count) override {
    return wt4400_measureTxPower(h, dbm, count);
  }
};
}  // namespace

std::shared_ptr<TestSet4400Driver> MakeWt4400Driver() {
  return std::make_shared<Wt4400Driver>();
}
