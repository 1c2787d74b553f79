#pragma once

#include <span>

// The TX power (APC) level tables of both bands and the bisection search shared by the GSM and
// DCS sequencers. They work on the process-wide CalState and InstrumentState.

struct ApcLevelRow {
  int level;         // as held: GSM 5..19, DCS 100..115
  double target;     // dBm
  double tolerance;  // dB; 0 keeps the tolerance of the level before
  int step;          // start DAC value at the band's first level, else the drop from the last
  int halfWidth;     // bracket = ApcDac +- halfWidth
};

std::span<const ApcLevelRow> GsmLevelTable();
std::span<const ApcLevelRow> DcsLevelTable();
// The row of a level as held, or nullptr for levels without one (0..4, 129..131, ...).
const ApcLevelRow* FindApcLevelRow(int level);

// Loads the row of MsPowerLevel: TargetPower, PowerTolerance (where the row sets it), ApcDac
// and its bracket; at the band's first level also the sub-band's channel and path loss, the
// BCH channel, the band code and LastLevel.
void SetLevelParameters();
// One step of the search: compares TxPowerReading with TargetPower and moves ApcDac.
void UpdateApcSearch();

// The APC write command of a sub-band (1..3) of a band, with the value appended:
// GSM "txpw 4 ", "spw 21 ", "spw 22 "; DCS "txpw 4 ", "spw 31 ", "spw 32 ".
const char* ApcCommandPrefix(bool dcs, int subBand);
