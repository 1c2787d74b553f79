#pragma once

#include <array>

#include "instruments/drivers/ScpiText.h"

// Every SCPI text the 8960 stand-in sends, by role: correct a command here and nowhere else.
// The GSM application is the E1960A one: its operating mode is CALL|CELL|TEST, and the downlink
// function (CW, BCH, BCHTCH) is a test-mode setting. The comment of a row names the page it was
// checked against: of the GSM application's online reference, or of the E1960A reference manual
// or programming guide (revision A.04); rows marked false have none read yet.
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
  CONNECT_TIMEOUT,  // seconds
  CONNECT_ARM,
  CONNECTED,
  TX_POWER,
  COUNT
};

inline constexpr std::array<ScpiEntry<Scpi8960>, static_cast<size_t>(Scpi8960::COUNT)> SCPI_8960{{
    // E1960A reference manual, "Obtaining Identification Information *IDN?" (manualshive.com/
    // en/manual/agilent-technologies/8960-series-10/8960-series-10_reference-manual_2868627-558
    // .html): manufacturer, model ("8960 Series 10 E5515A"), serial number, firmware.
    {Scpi8960::IDENTIFY, "*IDN?", true},
    // The other IEEE 488.2 common commands and the SCPI error queue: no 8960 page found yet.
    {Scpi8960::RESET, "*RST", false},
    {Scpi8960::WAIT_COMPLETE, "*OPC?", false},
    {Scpi8960::CLEAR, "*CLS", false},
    {Scpi8960::ERROR_QUERY, "SYSTem:ERRor?", false},
    // "Band Selection Parameters": CALL[:CELL]:BAND[:SELected], CALL:TCHannel:BAND.
    {Scpi8960::CELL_BAND, "CALL:CELL:BAND {}", true},
    {Scpi8960::TCH_BAND, "CALL:TCHannel:BAND {}", true},
    // "CALL:BCHannel": CALL[:CELL]:BCHannel[:ARFCn]:(DCS|EGSM|...), EGSM 0-124 | 975-1023.
    {Scpi8960::BCH_ARFCN, "CALL:BCHannel:ARFCn:{} {}", true},
    // "CALL:TCHannel": CALL:TCHannel[:ARFCn]:(DCS|EGSM|...), DCS 512-885.
    {Scpi8960::TCH_ARFCN, "CALL:TCHannel:ARFCn:{} {}", true},
    // "CALL:MS" (wireless.agilent.com/rfcomms/refdocs/gsm/hpib_call_ms.html) and the E1960A
    // reference manual's CALL:MS page (manualshive.com/ru/manual/agilent-technologies/
    // 8960-series-10/2868627?page=262) show CALL:MS:TXLevel[:SELected] 0-31, "for the band
    // already selected"; the per-band form is on neither page read.
    {Scpi8960::MS_TX_LEVEL, "CALL:MS:TXLevel:{} {}", false},
    // "CALL:POWer" (rfmw.em.keysight.com/rfcomms/refdocs/gsm/hpib_call_power.html):
    // CALL[:CELL]:POWer[:SAMPlitude][:SELected], dBm optional, sets the cell power of the
    // selected format and turns it on.
    {Scpi8960::CELL_POWER, "CALL:POWer {}", true},
    // No GSM page on SYSTem:CORRection found. The 8960's "Amplitude Offset" page of another
    // application (wireless.agilent.com/rfcomms/refdocs/cdma2k/cdma2000_conf_meas.html) pairs
    // SYSTem:CORRection:SGAin values with SYSTem:CORRection:SFRequency points
    // (the table is kept through preset and power cycles) and turns them on with
    // SYSTem:CORRection:STATe ON: a single gain without frequency points is open.
    {Scpi8960::PATH_GAIN, "SYSTem:CORRection:SGAin {}", false},
    {Scpi8960::PATH_GAIN_ON, "SYSTem:CORRection:STATe ON", false},
    // "E1968A GSM/GPRS GPIB Command Changes": the E1960A's CALL[:CELL]:OPERating:MODE
    // CALL | CELL | TEST and CALL[:CELL]:FUNCtion:DOWNlink CW | BCH | BCHTCH (test mode only).
    {Scpi8960::OPERATING_MODE, "CALL:OPERating:MODE {}", true},
    // "INITiate Subsystem" (rfmw.em.keysight.com/rfcomms/refdocs/gsm/
    // hpib_initiate_description.html): INITiate:<measurement mnemonic>, several at once (TX
    // power and PFER started together); a ';' unit stays in INITiate.
    {Scpi8960::INITIATE, "INITiate:{}", true},
    // "Call Processing State Synchronization": CALL:ORIGINATE, which arms the change detector.
    {Scpi8960::ORIGINATE, "CALL:ORIGinate", true},
    // E1960A programming guide, "Step 4: Establish an Active Link with Mobile Station"
    // (easymanua.ls/agilent-technologies/8960-series/manual/829491?p=36): CALL:END ends the
    // processes of the current call origination.
    {Scpi8960::END_CALL, "CALL:END", true},
    // "CALL:CONNected" and "Step 4: Establish an Active Link with Mobile Station": the time-out
    // starts when the detector is armed; armed, the state query waits for a change.
    {Scpi8960::CONNECT_TIMEOUT, "CALL:CONNected:TIMeout {}", true},
    {Scpi8960::CONNECT_ARM, "CALL:CONNected:ARM", true},
    {Scpi8960::CONNECTED, "CALL:CONNected:STATe?", true},
    // E1960A reference manual, "READ", READ:TXPower[:ALL]? (manualshive.com/en/manual/
    // agilent-technologies/8960-series-10/2868627?page=369): integrity indicator (0 to 16),
    // then the average TX power (-100 to +100 dBm, or 9.91E+37).
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
// Operating modes (71): 0 test mode, where the TX and CW set-ups' downlink function applies (in
// active cell it is ignored), 1 active cell, where calls are made.
inline constexpr std::array<const char*, 2> OPERATING_MODES_8960{"TEST", "CALL"};
constexpr int OPERATING_MODE_ACTIVE_CELL = 1;

constexpr const char* Scpi(Scpi8960 role) {
  return ScpiTextOf(SCPI_8960, role);
}
