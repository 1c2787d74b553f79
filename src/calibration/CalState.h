#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class EventLoop;

// Power levels as the sequencers hold them: GSM 0..19, DCS 100 + PCL.
constexpr int GSM_FIRST_LEVEL = 5;
constexpr int GSM_LAST_LEVEL = 19;
constexpr int DCS_FIRST_LEVEL = 100;
constexpr int DCS_LAST_LEVEL = 115;
constexpr int DCS_FILL_FIRST = 129;  // top-level fill of DCS: 129..131
constexpr int DCS_FILL_END = 132;

// Sequencer results and the states shared by every sequencer.
constexpr int CAL_COMMAND = 2;         // a command is encoded and awaits its answer
constexpr int CAL_COMMAND_ALT = 3;     // TX: "rfe 7"; RX: "se 100" (call set-up follows)
constexpr int CAL_COMMAND_RESUME = 4;  // a command to which no answer is awaited
constexpr int CAL_START = 5;
constexpr int CAL_DONE = 41;
constexpr int CAL_FAILED = 42;

// SearchState values of the APC search.
constexpr int SEARCH_SETTLED = 0;
constexpr int SEARCH_GO_LOWER = 5;
constexpr int SEARCH_GO_HIGHER = 6;
constexpr int SEARCH_MAX_CORRECTIONS = 70;

constexpr int RX_CHANNEL_COUNT = 17;
constexpr int APC_TABLE_ROWS = 4;
constexpr int APC_TABLE_LEVELS = 32;

constexpr int BATTERY_WINDOW_LOW = 613;
constexpr int BATTERY_WINDOW_HIGH = 628;
constexpr int GMAGIC_MIN = 185;
constexpr int GMAGIC_MAX = 206;
constexpr int RX_CORRECTION_LIMIT = 20;

// The calibration's own process-wide state (the sequencer variables that the instrument
// session code also moves live in SequencerState; the test-set working variables in
// InstrumentState). One thread touches it.
struct CalState {
  // TX power (APC) search
  int ApcDac = 0;
  int DacHigh = 0;
  int DacLow = 0;
  int SearchState = SEARCH_SETTLED;
  int SearchCount = 0;
  double TargetPower = 0.0;
  double PowerTolerance = 0.0;
  int LastLevel = 0;
  std::array<std::array<int, APC_TABLE_LEVELS>, APC_TABLE_ROWS> GsmApcTable{};
  std::array<std::array<int, APC_TABLE_LEVELS>, APC_TABLE_ROWS> DcsApcTable{};
  int FillGsmTopLevels = 0;
  int FillDcsTopLevels = 0;
  int ResumeLevel = 0;

  // RX channel calibration
  int RxIndex = 0;
  int RxGroupEnd = 0;
  int16_t RxCurrentValue = 0;
  int16_t RxNewValue = 0;
  std::array<int16_t, RX_CHANNEL_COUNT> RxCalTable{};

  // GMAGIC
  int GmagicValue = 0;
  double RssiReading1 = 0.0;
  double RssiReading2 = 0.0;
  int ReadingsDone = 0;
  std::string GmagicWriteText;  // at most 19 characters
  int GmagicResultGsm = 0;
  int GmagicResultDcs = 0;

  // Battery
  int BatteryReading = 0;
  int BatteryPrev1 = 1;
  int BatteryPrev2 = 0;

  std::string ResultMessage;  // text of the result message box (at most 95 characters)

  // Set by the window logic: where busy waits pass, and who hears of instrument readings
  // ("tx_power", "rx_level", "supply_current") and of every encoded command line.
  EventLoop* loop = nullptr;
  std::function<void(const char* what, double value)> onMeasure;
  std::function<void(const std::string& text)> onProgress;  // one line per settled result
  int LevelMeasurements = 0;    // TX power readings taken at the current level
  std::string LastCommandLine;  // the line most recently encoded by a sequencer
};

CalState& Cal();
void ResetCalState();  // a fresh process-wide state (tests)

// The sequencers' busy wait of ms milliseconds (nothing without a loop).
void CalWait(uint32_t ms);
// Encodes one command line for transmission and remembers it (trace, tests).
int CalEncode(const std::string& line);
// Reports an instrument reading, or a progress line, to the observer.
void CalMeasured(const char* what, double value);
void CalProgress(const std::string& text);
