#pragma once

#include <cstdint>
#include <string>

#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"

// What the GSM and DCS TX power sequencers do alike, driven by one row per band (each sequencer
// holds its own, with its state numbers): the APC write
// of the current sub-band, the table a settled value goes to, the move to the next level,
// sub-band or top-level fill, and the end of a fill (internal to the calibration library).
struct ApcBand {
  const char* name;  // in progress lines
  bool dcs;
  int firstLevel;   // as held: GSM 5, DCS 100
  int levelOffset;  // table column and shown level = held level - offset
  int fillFirst;    // the top-level fill writes the first level's value to fillFirst..
  int fillEnd;      // ..fillEnd - 1
  int SequencerState::*subBand;
  int CalState::*fillPending;
  std::array<std::array<int, APC_TABLE_LEVELS>, APC_TABLE_ROWS> CalState::*table;
  // The band's sequencer states the shared moves go to.
  int stateLevel;
  int stateSubBand;
  int stateEvaluate;
  int stateFillLevel;
  int stateRfDisable;
};

// "txpw 4 " / "spw 21 " ... followed by ApcDac, for the band's current sub-band.
std::string ApcWriteLine(const ApcBand& band);
// ApcDac into the band's table at a level as held (out-of-range levels are left out).
void StoreApc(const ApcBand& band, int level);
// After a TX power reading: the next APC write of the search, or, once the level has settled,
// its value stored and the next level, fill, sub-band or the end of the band.
int EvaluateApcLevel(const ApcBand& band);
// The answer to a fill write: the next fill level, or back to the level after the first.
int AfterFillWrite(const ApcBand& band);
