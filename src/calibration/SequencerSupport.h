#pragma once

#include <string>

#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"

// Shared moves of the sequencer state machines (internal to the calibration library).

// Encodes line as the command of state; the answer to it maps CalLastState to the next state.
inline int IssueCommand(int state, const std::string& line, int result) {
  CalEncode(line);
  Sequencer().CalLastState = state;
  Sequencer().CalStep = result;
  return result;
}

// Moves to state without a command; the runner calls the sequencer again at once.
inline int GoToState(int state) {
  Sequencer().CalStep = state;
  return state;
}

inline bool CalStepIsFresh() {
  const int step = Sequencer().CalStep;
  return step == CAL_DONE || step == CAL_FAILED;
}

inline bool CalStepIsAnswered() {
  const int step = Sequencer().CalStep;
  return step == CAL_COMMAND || step == CAL_COMMAND_ALT || step == CAL_COMMAND_RESUME;
}
