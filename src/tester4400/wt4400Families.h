#pragma once

#include <cstdint>

#include "tester4400/wt4400.h"

// The 4400 driver's further families: the station does not call them, but they follow the same
// rules as the operations in wt4400.h. Each starts with the slot guard, checks its numbers
// (-108 before anything is sent), joins optional settings into one line, ends set-ups with
// "*OPC?" where the tester expects it, and parses measurement replies (-115 when they do not
// parse; simulated slots give 0.0 without I/O). Outputs are written only on success.

// Generator with frequency and level only (0 leaves either unchanged).
ViStatus wt4400_configureGeneratorFrequencyLevel(ViSession handle, double frequencyMHz,
                                                 double levelDbm);

// ---- Cell identity
enum Wt4400CellParameter : int16_t {
  WT4400_CELL_MCC = 1,  // 0..999
  WT4400_CELL_MNC,      // 0..999
  WT4400_CELL_LAC,      // 0..65535
  WT4400_CELL_NCC,      // 0..7
  WT4400_CELL_BCC,      // 0..7
  WT4400_CELL_CBA,      // 0..1 (cell barred)
  WT4400_CELL_CI,       // 0..65535
  WT4400_CELL_DRX,      // 2..9 (paging multiframes)
};
ViStatus wt4400_setCellParameter(ViSession handle, int16_t parameter, int32_t value);
// MCC and MNC in one line ("%s %d;%s %d").
ViStatus wt4400_setNetworkCode(ViSession handle, int32_t mcc, int32_t mnc);

// ---- Cell traffic (cached like wt4400_setTraffic)
ViStatus wt4400_setCellLevel(ViSession handle, double levelDbm);
ViStatus wt4400_setBchAndPowerLevel(ViSession handle, int16_t bchArfcn, int16_t powerControlLevel);
ViStatus wt4400_setBch(ViSession handle, int16_t bchArfcn);

// ---- Signalling and call control (bit 4 of ":STAT:OPER:SIGN:COND?" = call connected)
ViStatus wt4400_originateAndWait(ViSession handle, double timeoutSeconds);
ViStatus wt4400_originate(ViSession handle);
ViStatus wt4400_releaseAndWait(ViSession handle);  // waits up to 100 s for the release
// The register value; a failed query gives -400.
ViStatus wt4400_readSignallingState(ViSession handle, int32_t* state);
// Timeslot 2..6 (sent only when it differs from the cached one), then ":CALL:RSIG" and the wait.
ViStatus wt4400_signalOnTimeslot(ViSession handle, int16_t timeslot, double timeoutSeconds);

// ---- Mobile information
// RX level, RX quality, timing advance; polled every 0.1 s until the RX level is not 0, at most
// 30 polls, else -116.
ViStatus wt4400_readMobileReport(ViSession handle, int32_t* rxLevel, int32_t* rxQuality,
                                 int32_t* timingAdvance);
enum Wt4400MobileItem : int16_t {
  WT4400_MS_EFR_CAPABILITY = 1,  // ":CALL:MSINFO:EFRC?"
  WT4400_MS_IMSI,
  WT4400_MS_IMEI,
  WT4400_MS_CLASSMARK,
  WT4400_MS_NUMBER,
};
ViStatus wt4400_readMobileInfo(ViSession handle, int16_t item, char* text, int16_t maxCount);

// ---- RF analyser (0 leaves a setting unchanged)
enum Wt4400RangeMode : int16_t {
  WT4400_RANGE_AUTO = 1,
  WT4400_RANGE_FIX,
  WT4400_RANGE_UP,
  WT4400_RANGE_DOWN,
  WT4400_RANGE_NO,
  WT4400_RANGE_FORCE
};
enum Wt4400TriggerMode : int16_t {
  WT4400_TRIGGER_LEVEL = 1,
  WT4400_TRIGGER_FRAME,
  WT4400_TRIGGER_EXT_RISING,
  WT4400_TRIGGER_EXT_FALLING
};
ViStatus wt4400_configureAnalyser(ViSession handle, double frequencyMHz, int16_t rangeMode,
                                  double rangeLevelDbm, int16_t triggerMode,
                                  int16_t triggerTimeslot);

// ---- Spectrum
// span 1..3: 400 kHz, 1 MHz, 3.6 MHz; resolution 1..4: 2, 5, 10, 30 kHz.
ViStatus wt4400_setSpectrumSpan(ViSession handle, int16_t span, int16_t resolution);
// averages 1: one sweep (measure and fetch); 2..1000: averaged sweep.
ViStatus wt4400_measureSpectrum(ViSession handle, int16_t averages);
ViStatus wt4400_readSpectrumValue(ViSession handle, double offsetHz, double* dbm);

// ---- Audio generator and analyser
ViStatus wt4400_setAudioGenerator(ViSession handle, int16_t on);
ViStatus wt4400_routeAudioToCodec(ViSession handle);
ViStatus wt4400_configureAudioGenerator(ViSession handle, double afLevel, double rfLevel,
                                        double frequencyHz);
enum Wt4400AudioShape : int16_t { WT4400_SHAPE_RECT = 1, WT4400_SHAPE_TRI, WT4400_SHAPE_PULSE };
ViStatus wt4400_setAudioShape(ViSession handle, int16_t shape);
ViStatus wt4400_setAudioInput(ViSession handle, int16_t auxiliary);  // 0 AF, 1 AUX
ViStatus wt4400_setAudioCoupling(ViSession handle, int16_t dc);      // 0 AC, 1 DC
ViStatus wt4400_measureAudioSpectrum(ViSession handle, int16_t index, double* value);

// ---- Bit error rate
ViStatus wt4400_setLoop(ViSession handle, int16_t on, double timeoutSeconds);
ViStatus wt4400_setBerLoopType(ViSession handle, int16_t fast);  // 0 NONR, 1 FAST
ViStatus wt4400_setBerCount(ViSession handle, int32_t bits);
enum Wt4400BerPattern : int16_t {
  WT4400_BER_ONEZERO = 1,
  WT4400_BER_ZEROONE,
  WT4400_BER_PRBS9,
  WT4400_BER_PRBS23
};
ViStatus wt4400_setBerBitPattern(ViSession handle, int16_t pattern);
enum Wt4400BerKind : int16_t { WT4400_BER_ALL = 1, WT4400_BER_RESIDUAL, WT4400_BER_FAST };
ViStatus wt4400_measureBer(ViSession handle, int16_t kind, double values[3]);

// ---- GPRS
ViStatus wt4400_setGprsMultislot(ViSession handle, int16_t configuration);
ViStatus wt4400_setGprsMultislotResolution(ViSession handle, int16_t resolution);
ViStatus wt4400_setGprsBlerCount(ViSession handle, int32_t blocks);
ViStatus wt4400_measureGprsBler(ViSession handle, double values[3]);
ViStatus wt4400_setGprsLevel(ViSession handle, double levelDbm);
// The levels (dBm, -120..-10) of the multislot configuration's timeslots, 1..8 of them, and the
// level of the timeslots it does not use.
ViStatus wt4400_setGprsMultislotLevels(ViSession handle, const double* levelsDbm, int16_t count);
ViStatus wt4400_setGprsUnusedSlotLevel(ViSession handle, double levelDbm);
// A four-entry slot list (timeslots 0..7) for the GPRS set-up named by header (":CONF:GPRS:..."),
// sent as "%s %d,%d,%d,%d".
ViStatus wt4400_setGprsSlotList(ViSession handle, const char* header, const int16_t slots[4]);
ViStatus wt4400_setGprsPdtch(ViSession handle, int16_t arfcn);
enum Wt4400GprsMode : int16_t {
  WT4400_GPRS_TX = 1,
  WT4400_GPRS_BCS,
  WT4400_GPRS_USF,
  WT4400_GPRS_BERT,
  WT4400_GPRS_STOP
};
// Sets the mode and waits (up to the time-out) until the GPRS signalling register is not 0
// (0 for STOP).
ViStatus wt4400_setGprsCallMode(ViSession handle, int16_t mode, double timeoutSeconds);
// The nineteen values of ":MEAS:GPRS:MULT:RFTX:ALL?" (the seventh is an integer count).
ViStatus wt4400_measureGprsTxAll(ViSession handle, double values[19]);

// ---- TX template limits
ViStatus wt4400_setTemplateLimitsAuto(ViSession handle);
ViStatus wt4400_setTemplateLowerLimit(ViSession handle, int16_t point, double levelDb);
// The whole lower (upper 0) or upper (upper 1) limit line, count points of -100..10 dB (1..32).
ViStatus wt4400_setTemplateLimitList(ViSession handle, int16_t upper, const double* levelsDb,
                                     int16_t count);
ViStatus wt4400_setTemplateCorners(ViSession handle, const double corners[8]);

// ---- Clock: date "YYYY,MM,DD" and time "HH,MM,SS" as the tester writes them; the token
// WT4400_NO_CHANGE leaves either as it is.
inline constexpr const char* WT4400_NO_CHANGE = "NoChangeS";
ViStatus wt4400_readDate(ViSession handle, char* text, int16_t maxCount);
ViStatus wt4400_readTime(ViSession handle, char* text, int16_t maxCount);
ViStatus wt4400_setClock(ViSession handle, const char* date, const char* time);  // one line
ViStatus wt4400_setDate(ViSession handle, const char* date);
ViStatus wt4400_setTime(ViSession handle, const char* time);

// ---- Measurement family
enum Wt4400Quantity : int16_t {
  WT4400_TX_POWER = 1,
  WT4400_TX_POWER_FPOW,
  WT4400_FREQUENCY_ERROR,
  WT4400_PHASE_ERROR_RMS,
  WT4400_PHASE_ERROR_PEAK,
  WT4400_POWER_TEMPLATE,
  WT4400_ACP_MODULATION,  // array form always averages
  WT4400_ACP_TRANSIENT,   // array form always takes the maximum
};
// count 1: single measure and fetch; 2..1000: array measurement, then the slot's statistic.
ViStatus wt4400_measure(ViSession handle, int16_t quantity, int16_t count, double* value);
// Array frequency error read with "CALC:MMAX?" as two values.
ViStatus wt4400_measureFrequencyErrorMax(ViSession handle, int16_t count, double* first,
                                         double* second);
// The first valueCount values of ":FETCH:RFTX:ALL?" (at most 32).
ViStatus wt4400_measureTxAll(ViSession handle, double* values, int16_t valueCount);
// The six values of the AF analyser.
ViStatus wt4400_measureAudioAll(ViSession handle, double values[6]);
