#pragma once

#include <array>
#include <cstdint>

#include "platform/visa/VisaTypes.h"

class EventLoop;
class Notifier;

// Instrument selectors as the RF configuration dialog sets them.
constexpr int32_t TESTSET_NONE = 0;
constexpr int32_t TESTSET_8960 = 1;
constexpr int32_t TESTSET_4400 = 2;
constexpr int32_t SUPPLY_NONE = 0;
constexpr int32_t SUPPLY_66311B = 4;
constexpr int32_t SUPPLY_E3631A = 5;
constexpr int32_t SUPPLY_E3632A = 6;  // E3632A or E3633A

constexpr int16_t BAND_GSM900 = 2;
constexpr int16_t BAND_DCS1800 = 3;

constexpr const char* RESOURCE_8960 = "GPIB0::14::INSTR";
constexpr const char* RESOURCE_4400 = "GPIB0::4";
constexpr const char* RESOURCE_SUPPLY = "GPIB::5::INSTR";

// The process-wide instrument state shared by the session code, the test-set and supply
// operations and the calibration sequencers (one thread, no locks).
struct InstrumentState {
  int32_t TestSetType = TESTSET_NONE;
  int32_t SupplyType = SUPPLY_NONE;
  ViSession TestSetHandle = 0;  // 8960: VISA session; 4400: driver slot number
  ViSession SupplyHandle = 0;
  int32_t InstrumentFault = 0;  // also the calibration failure flag
  uint16_t TestSetErrorCount = 0;
  bool DroppingTestSet = false;  // a drop is under way: no second one
  // An instrument stopped answering or its connection closed (set with InstrumentFault): the
  // step fails at once instead of sitting out its waits. Cleared by the stop.
  bool InstrumentLost = false;
  // The selector in force when the open handle was opened: the handle belongs to that driver
  // even if the RF configuration changes the selector meanwhile (0 when not known).
  int32_t OpenTestSetType = TESTSET_NONE;
  int32_t OpenSupplyType = SUPPLY_NONE;

  // Working variables the calibration steps fill before calling the test-set operations.
  int16_t BandCode = 0;
  int32_t BchChannel = 0;
  int32_t TchChannel = 0;
  int32_t MsPowerLevel = 0;  // DCS held plus 100
  double PathLoss = 0.0;
  int32_t CwOffsetSelect = 0;
  double TxPowerReading = 0.0;
  double RxLevelReading = 0.0;

  // Where message boxes go and how the supply's settling wait passes (not owned).
  Notifier* notifier = nullptr;
  EventLoop* loop = nullptr;
};

// RF configuration: all 0 until the RF configuration dialog is confirmed. Index [1..3] is the
// sub-band; [0] is unused.
struct RfConfig {
  int32_t GsmBchChannel = 0;
  std::array<int32_t, 4> GsmTchChannel{};
  std::array<double, 4> GsmPathLoss{};
  int32_t DcsBchChannel = 0;
  std::array<int32_t, 4> DcsTchChannel{};
  std::array<double, 4> DcsPathLoss{};
};

// Sequencer state that the session code also moves (open/reset/idle set CalStep to 41 and the
// sub-band counters to 0; a dropped test set sets CalStep and CalLastState to 0).
struct SequencerState {
  int CalStep = 41;
  int CalLastState = 0;
  int GsmSubBand = 0;
  int DcsSubBand = 0;
};

// A status that says the instrument is no longer there (no answer within the time-out, the
// connection closed, the resource gone), as opposed to an error the instrument reported.
bool InstrumentGone(ViStatus status);

InstrumentState& Instruments();
RfConfig& RfConfiguration();
SequencerState& Sequencer();
void ResetInstrumentState();  // fresh state of all three (tests)

// The dialog's 16 values in their order: GSM BCH, PGSM1..3 TCH, GSM loss middle, left, right,
// DCS BCH, DCS1..3 TCH, DCS loss middle, left, right, test set type, supply type.
void ApplyRfConfig(const std::array<double, 16>& values);
// What the dialog hands over when confirmed untouched.
std::array<double, 16> DefaultRfConfigValues();
