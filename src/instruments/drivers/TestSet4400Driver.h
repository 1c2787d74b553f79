#pragma once

#include <cstdint>

#include "platform/visa/VisaTypes.h"

// The wt4400 operations the test-set code uses, behind an interface so that a test can record
// the order of calls. The default instance forwards to the wt4400_* functions.
class TestSet4400Driver {
 public:
  virtual ~TestSet4400Driver() = default;
  virtual ViStatus Init(const char* resource, int16_t idQuery, int16_t reset,
                        ViSession* handle) = 0;
  virtual ViStatus Close(ViSession handle) = 0;
  virtual ViStatus SetIoMode(ViSession handle, int16_t ioMode, int16_t traceMode,
                             const char* traceFile, int16_t fileMode) = 0;
  virtual ViStatus Trace(ViStatus status, const char* operation, const char* message,
                         ViSession handle) = 0;
  virtual ViStatus Write(ViSession handle, const char* command) = 0;
  virtual ViStatus Query(ViSession handle, const char* command, char* reply, int16_t maxCount) = 0;
  virtual ViStatus ResetAndWait(ViSession handle) = 0;
  virtual ViStatus ErrorMessage(ViStatus status, char* text) = 0;  // text: 256 bytes
  virtual ViStatus SelectSystem(ViSession handle, int16_t mode) = 0;
  virtual ViStatus SetCoupling(ViSession handle, const char* tableName, int16_t state) = 0;
  virtual ViStatus ConfigureGenerator(ViSession handle, double frequencyMHz, double levelDbm,
                                      int16_t modulation, int16_t trainingSequenceState,
                                      int16_t trainingSequence, int16_t bitPattern,
                                      int16_t signalType, int16_t burstTimeslot) = 0;
  virtual ViStatus WaitConnected(ViSession handle, double timeoutSeconds) = 0;
  virtual ViStatus SetStatistic(ViSession handle, int16_t selector) = 0;
  virtual ViStatus MeasureTxPower(ViSession handle, double* dbm, int16_t count) = 0;
};
