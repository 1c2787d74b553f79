#pragma once

#include "instruments/drivers/VxiPnpDriver.h"

// The 8960 (E5515B) instrument driver, by the numbers of its exports. Band codes: 1 PGSM,
// 2 EGSM, 3 DCS, 4 PCS, 5 GSM850. Every operation checks the instrument's error queue afterwards
// and returns VI_INSTR_ERROR_DETECTED when it holds an error.
class TestSet8960Driver : public VxiPnpDriver {
 public:
  // 1 Init, 2 Close, 3 Reset, 5 ErrorQuery, 6 ErrorMessage, 12 Clear: see VxiPnpDriver.
  virtual ViStatus SendCommand(ViSession vi, const char* command) = 0;                      // 23
  virtual ViStatus SendCommandReal(ViSession vi, const char* command, ViReal64 value) = 0;  // 30
  virtual ViStatus QueryReal(ViSession vi, const char* query, ViReal64* value) = 0;         // 31
  virtual ViStatus EndOfTest(ViSession vi) = 0;                                             // 38
  // 39: timeout in seconds (0: the session's), integrity (0 = normal) and power in dBm (NaN
  // when the set has no result).
  virtual ViStatus ReadTxPower(ViSession vi, ViReal64 timeoutSeconds, ViInt32* integrity,
                               ViReal64* dbm) = 0;
  // 48: measurement codes (6 TX power, 7 phase and frequency error).
  virtual ViStatus SelectMeasurements(ViSession vi, ViInt32 count, const ViInt16* codes) = 0;
  // 60, 64, 67: the last argument 1 applies the setting at once, during a call as well.
  virtual ViStatus TchChannel(ViSession vi, ViInt32 arfcn, ViInt16 band, ViInt32 now) = 0;
  virtual ViStatus MsTxLevel(ViSession vi, ViInt32 pcl, ViInt16 band, ViInt32 now) = 0;
  virtual ViStatus BchChannel(ViSession vi, ViInt32 cell, ViInt32 arfcn, ViInt16 band,
                              ViInt32 now) = 0;
  virtual ViStatus CellBand(ViSession vi, ViInt32 cell, ViInt16 band) = 0;  // 68
  virtual ViStatus TchBand(ViSession vi, ViInt16 band) = 0;                 // 69
  virtual ViStatus OperatingMode(ViSession vi, ViInt32 mode) = 0;  // 71: 0 test, 1 active cell
  virtual ViStatus PathLoss(ViSession vi, ViReal64 gainDb) = 0;    // 74: negative for a loss
  // 75: cell 1, level in dBm; the station passes 0, 0 for the two options (no others accepted).
  virtual ViStatus CellPower(ViSession vi, ViInt32 cell, ViReal64 dbm, ViInt32 option1,
                             ViInt32 option2) = 0;
  // 31: the value, NaN when the set has none (9.91E+37).
  // 87: 0 once a call is connected; VI_WARN_NOT_CONNECTED when none came up in time.
  virtual ViStatus WaitCallConnected(ViSession vi, ViReal64 seconds) = 0;
  virtual ViStatus OriginateCall(ViSession vi) = 0;  // 88
};

// A warning, not an error: the handset did not answer the call in time.
constexpr ViStatus VI_WARN_NOT_CONNECTED = 0x3FFC0D01;
