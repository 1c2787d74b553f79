#pragma once

#include "instruments/drivers/VxiPnpDriver.h"

// The three supply drivers, by the numbers of their exports (1 init, 2 close, 3 reset,
// 5 error query, 6 error message, 12 clear are those of VxiPnpDriver). Voltages in V, currents
// in A. Each operation checks the instrument's error queue afterwards.

// E3631A: outputs 1 (P6V), 2 (P25V), 3 (N25V).
class E3631ADriver : public VxiPnpDriver {
 public:
  virtual ViStatus SetVoltage(ViSession vi, ViInt32 output, ViReal64 volts) = 0;      // 29
  virtual ViStatus SetCurrentLimit(ViSession vi, ViInt32 output, ViReal64 amps) = 0;  // 30
  virtual ViStatus MeasureCurrent(ViSession vi, ViInt32 output, ViReal64* amps) = 0;  // 31
  virtual ViStatus OutputOn(ViSession vi, ViBoolean on) = 0;  // 33: all outputs
};

// E3632A and E3633A (one output).
class E3632ADriver : public VxiPnpDriver {
 public:
  virtual ViStatus SetVoltage(ViSession vi, ViReal64 volts) = 0;      // 26
  virtual ViStatus SetCurrentLimit(ViSession vi, ViReal64 amps) = 0;  // 27
  virtual ViStatus MeasureCurrent(ViSession vi, ViReal64* amps) = 0;  // 28
  virtual ViStatus OutputOn(ViSession vi, ViBoolean on) = 0;          // 30
};

// 66311B (named exports hp663x2_*).
class Hp66311BDriver : public VxiPnpDriver {
 public:
  // hp663x2_outputVoltCurr: sets voltage and current limit and makes sure the output is on,
  // since nothing else of the station ever switches this model's output on.
  virtual ViStatus OutputVoltCurr(ViSession vi, ViReal64 volts, ViReal64 amps) = 0;
  // The current reading this model's driver interface lacks (MEAS:CURR?).
  virtual ViStatus MeasureCurrent(ViSession vi, ViReal64* amps) = 0;
};
