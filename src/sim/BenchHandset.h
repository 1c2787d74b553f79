#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "sim/Bench.h"
#include "sim/HandsetEeprom.h"

namespace sim {

// The simulated handset's state: its EEPROM and what it holds in RAM since it booted.
struct Bench::Handset {
  HandsetEeprom eeprom;

  // Test-mode protocol ("ti", "tms 1") and RF control ("rfe": 1 receiver, 2 transmitter,
  // 4 synthesiser).
  bool testInit = false;
  int testMode = 0;
  int rfEnable = 0;
  int txLevel = 5;  // "txpw 1": GSM 0-31, DCS held plus 100
  std::array<uint16_t, HandsetEeprom::RF_PARAM_COUNT> rfParams{};  // "rfpw"; 1 BCH, 2 TCH
  std::array<uint16_t, 32> rxParams{};                             // "rxpw"
  int rxCalChannel = 1;       // "spw 1": the channel "spr 11"/"spw 11" address
  int rxContChannel = 62;     // "spw 14"
  int agcValue = 0;           // "spw 15"
  bool rxContinuous = false;  // "se 30"

  // Signalling ("se 100" on, "se 101" off): the handset camps on the cell and takes calls.
  bool signalling = false;
  uint64_t signallingSinceMs = 0;

  uint32_t eepromAddress = 0;  // "spw 55"
  bool backlight = false;      // "se 53" / "se 54"
  int ledPattern = 0;          // "spw 56"
  int micLoop = 0;             // "spw 72"
  int speakerGain = 0;         // "spw 73"
  int speakerTone = 0;         // "spw 74"
  int lastLogicTest = 0;       // "se 50".."se 59"

  std::map<uint32_t, uint32_t> statsConfig;  // "scw"/"scr"
  std::map<uint16_t, uint16_t> memoryWords;  // "mpw"/"mpr"

  // Real-time clock: seconds since 2000-01-01 00:00:00 at rtcSetAtMs.
  int64_t rtcBaseSeconds = 0;
  uint64_t rtcSetAtMs = 0;

  // Answers nothing before this time (booting after power-up or "se 300").
  uint64_t readyAtMs = 0;
};

}  // namespace sim
