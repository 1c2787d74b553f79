#pragma once

#include <array>

#include "instruments/drivers/ScpiText.h"

// Every SCPI text the 8960 stand-in sends, by role: correct a command here and nowhere else.
enum class Scpi8960 {
  IDENTIFY,
  RESET,
  WAIT_COMPLETE,
  CLEAR,
  ERROR_QUERY,
  CELL_BAND,    // band name
  TCH_BAND,     // band name
  BCH_ARFCN,    // band name, ARFCN
  TCH_ARFCN,    // band name, ARFCN
  MS_TX_LEVEL,  // band name, level
  CELL_POWER,   // dBm
  PATH_GAIN,    // dB, negative for a loss
  PATH_GAIN_ON,
  OPERATING_MODE,  // mode name
  INITIATE,        // measurement list "TXPower;PFERror"
  ORIGINATE,
  END_CALL,
  DOWNLINK_BCH,     // back to the signalling cell after a CW tone
  CONNECT_TIMEOUT,  // seconds
  CONNECTED,
  TX_POWER,
  COUNT
};

inline constexpr std::array<ScpiEntry<Scpi8960>, static_cast<size_t>(Scpi8960::COUNT)> SCPI_8960{{
    {Scpi8960::IDENTIFY, "*IDN?", true},
    {Scpi8960::RESET, "*RST", true},
    {Scpi8960::WAIT_COMPLETE, "*OPC?", true},
    {Scpi8960::CLEAR, "*CLS", true},
    {Scpi8960::ERROR_QUERY, "SYSTem:ERRor?", true},
    {Scpi8960::CELL_BAND, "CALL:CELL:BAND {}", true},
    {Scpi8960::TCH_BAND, "CALL:TCHannel:BAND {}", true},
    {Scpi8960::BCH_ARFCN, "CALL:BCHannel:ARFCn:{} {}", false},
    {Scpi8960::TCH_ARFCN, "CALL:TCHannel:ARFCn:{} {}", true},
    {Scpi8960::MS_TX_LEVEL, "CALL:MS:TXLevel:{} {}", true},
    {Scpi8960::CELL_POWER, "CALL:POWer {}", true},
    {Scpi8960::PATH_GAIN, "SYSTem:CORRection:SGAin {}", true},
    {Scpi8960::PATH_GAIN_ON, "SYSTem:CORRection:STATe ON", true},
    {Scpi8960::OPERATING_MODE, "CALL:OPERating:MODE {}", true},
    {Scpi8960::INITIATE, "INITiate:{}", false},
    {Scpi8960::ORIGINATE, "CALL:ORIGinate", true},
    {Scpi8960::END_CALL, "CALL:END", true},
    {Scpi8960::DOWNLINK_BCH, "CALL:FUNCtion:DOWNlink BCH", true},
    {Scpi8960::CONNECT_TIMEOUT, "CALL:CONNected:TIMeout {}", true},
    {Scpi8960::CONNECTED, "CALL:CONNected:STATe?", true},
    {Scpi8960::TX_POWER, "READ:TXPower?", true},
}};
static_assert(RowsInRoleOrder(SCPI_8960));

// Band codes of the driver and the 8960's band names.
inline constexpr std::array<const char*, 6> BANDS_8960{nullptr, "PGSM", "EGSM",
                                                       "DCS",   "PCS",  "GSM850"};
// Measurement codes of the driver's selection (48) and the 8960's measurement names.
struct Measurement8960 {
  int code;
  const char* name;
};
inline constexpr std::array<Measurement8960, 2> MEASUREMENTS_8960{{{6, "TXPower"}, {7, "PFERror"}}};
// Operating modes (71): 0 active cell (calls), 1 test mode.
inline constexpr std::array<const char*, 2> OPERATING_MODES_8960{"CALL", "TEST"};

constexpr const char* Scpi(Scpi8960 role) {
  return ScpiTextOf(SCPI_8960, role);
}
