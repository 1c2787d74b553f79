#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/visa/VisaTypes.h"

// Instrument driver for the 4400 GSM tester: SCPI over VISA with its own table of seven slots.
// The handle callers hold is the slot number (1..7), not the VISA session. Statuses follow
// VXIplug&play: 0 success, negative error, positive warning.

constexpr int WT4400_SLOTS = 7;
constexpr ViStatus WT4400_NO_FREE_SLOT = static_cast<ViStatus>(0xBFFF003C);
constexpr ViStatus WT4400_OUT_OF_RANGE = -108;
constexpr ViStatus WT4400_STATE_TIMEOUT = -114;
constexpr ViStatus WT4400_PARSE_ERROR = -115;
constexpr ViStatus WT4400_INSTR_ERROR_BASE = static_cast<ViStatus>(0xBFFE8000);

// Session, I/O and errors.
ViStatus wt4400_init(const char* resource, int16_t idQuery, int16_t reset, ViSession* handle);
ViStatus wt4400_close(ViSession handle);
ViStatus wt4400_setIoMode(ViSession handle, int16_t ioMode, int16_t traceMode,
                          const char* traceFile, int16_t fileMode);
ViStatus wt4400_getIoMode(ViSession handle, int16_t* simulation, int16_t* checkOff,
                          int16_t* inCheck);
ViStatus wt4400_trace(ViStatus status, const char* operation, const char* message,
                      ViSession handle);
// Where trace mode 1 ("console") prints: stdout unless the program sends it elsewhere (a
// command-line tool keeps stdout for its results); nullptr drops console lines.
void wt4400_setConsole(FILE* stream);
ViStatus wt4400_write(ViSession handle, const char* command);
ViStatus wt4400_writeAndCheck(ViSession handle, const char* command);
ViStatus wt4400_read(char* reply, int16_t maxCount, ViSession handle);
ViStatus wt4400_query(ViSession handle, const char* command, char* reply, int16_t maxCount);
ViStatus wt4400_queryAndCheck(ViSession handle, const char* command, char* reply);
ViStatus wt4400_setTimeout(ViSession handle, double seconds);
ViStatus wt4400_identify(ViSession handle, char* reply, int16_t maxCount);
ViStatus wt4400_reset(ViSession handle);
ViStatus wt4400_resetAndWait(ViSession handle);
ViStatus wt4400_checkErrorQueue(ViSession handle);
ViStatus wt4400_errorMessage(ViStatus status, char* text);                 // text: 256 bytes
ViStatus wt4400_errorText(ViSession handle, ViStatus status, char* text);  // text: 300 bytes
ViStatus wt4400_revision(ViSession handle, char* driverRevision, char* instrumentRevision);
// The instruments VISA finds ("?*INSTR"), each in its short form ("GPIB0::4", "ASRL1"), joined
// by ','. listSize is the buffer's size, kept so the list can never overrun it; a list that does
// not fit ends at the last whole entry and gives VI_SUCCESS_MAX_CNT.
ViStatus wt4400_findInstruments(char* list, int32_t listSize);

// Configuration and measurements the station uses.
ViStatus wt4400_selectSystem(ViSession handle, int16_t mode);
ViStatus wt4400_setCoupling(ViSession handle, const char* tableName, int16_t state);
ViStatus wt4400_configureGenerator(ViSession handle, double frequencyMHz, double levelDbm,
                                   int16_t modulation, int16_t trainingSequenceState,
                                   int16_t trainingSequence, int16_t bitPattern, int16_t signalType,
                                   int16_t burstTimeslot);
ViStatus wt4400_waitConnected(ViSession handle, double timeoutSeconds);
ViStatus wt4400_setStatistic(ViSession handle, int16_t selector);
ViStatus wt4400_measureTxPower(ViSession handle, double* dbm, int16_t count);
ViStatus wt4400_setTraffic(ViSession handle, double cellLevelDbm, int16_t powerControlLevel,
                           int16_t tchArfcn);
// Further families (cell identity, analyser, spectrum, audio, BER, GPRS, template limits,
// clock) are declared in wt4400Families.h.

void ResetWt4400State();  // every slot free (tests)
