#pragma once

#include <cstdint>

// The calibration sequencers: state machines over the process-wide calibration state. Each call
// advances as far as it can, encodes at most one command (never transmits it) and returns the
// new CalStep: 2, 3 or 4 when a command waits to be sent, 41 finished, 42 failed, any other
// value a state to continue with at once. Entered with 41 or 42, a sequencer starts afresh.

// Battery states the window acts on: the clock command is its own (44), and the runner shows
// its processing text when the step reaches the ADC mode (35).
constexpr int BATTERY_STATE_ADC_MODE = 35;
constexpr int BATTERY_STATE_CLOCK = 44;

int GsmApcStep();
int DcsApcStep();
int RxCalStep();
int GmagicStep();
int BatteryStep();

// RX channel table: loads the row of RxIndex (and the band set-up at a group's first row).
void SetRxChannel();
int RxChannelOfIndex(int index);  // ARFCN of table row index, 0 outside 0..16
// RxCurrentValue + 2 x trunc(50 - reading), in 16 bits; a reading that is no level at all
// (not finite, or absurd) leaves the value and is refused by RxLevelUsable.
bool RxLevelUsable(double reportedLevel);
int16_t RxCorrection(int16_t current, double reportedLevel);

// GMAGIC: files one received-level reading; the second of a band sets ReadingsDone.
void StoreRssiReading(double reading);
// trunc(value + 2 x (55 - mean of the two readings)).
int GmagicCorrection(int value, double reading1, double reading2);

// Battery: whether reading r with the two before it is taken as the reference.
bool BatteryAccepts(int reading, int prev1, int prev2);
