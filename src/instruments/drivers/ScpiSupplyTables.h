#pragma once

#include <array>

#include "instruments/drivers/ScpiText.h"

// Every SCPI text the supply stand-ins send, one table per model: correct a command here and
// nowhere else.
enum class ScpiSupply {
  IDENTIFY,
  RESET,
  WAIT_COMPLETE,
  CLEAR,
  ERROR_QUERY,
  SELECT_OUTPUT,    // E3631A: output number
  VOLTAGE,          // volts
  CURRENT,          // amps
  OUTPUT,           // ON / OFF
  MEASURE_CURRENT,  // E3631A: output name
  COUNT
};

using SupplyTable = std::array<ScpiEntry<ScpiSupply>, static_cast<size_t>(ScpiSupply::COUNT)>;

// A row's comment names the user's guide page it was checked against; rows marked false have
// none read yet (the common commands and the error queue are IEEE 488.2 / SCPI forms).
inline constexpr SupplyTable SCPI_E3631A{{
    {ScpiSupply::IDENTIFY, "*IDN?", false},
    {ScpiSupply::RESET, "*RST", false},
    {ScpiSupply::WAIT_COMPLETE, "*OPC?", false},
    {ScpiSupply::CLEAR, "*CLS", false},
    {ScpiSupply::ERROR_QUERY, "SYSTem:ERRor?", false},
    // E3631A User's Guide, Table 4-1, "Programming Ranges and Output Identifiers", gives the
    // output numbers 1, 2, 3 (easymanua.ls/agilent-technologies/e3631a/manual?p=74); the page
    // of the command itself is not read yet.
    {ScpiSupply::SELECT_OUTPUT, "INSTrument:NSELect {}", false},
    // E3631A User's Guide, "Output Setting and Operation Commands", page 80
    // (easymanua.ls/agilent-technologies/e3631a/manual?p=80):
    // [SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude], the level of the output selected with
    // INSTrument.
    {ScpiSupply::VOLTAGE, "VOLTage {}", true},
    // E3631A User's Guide, "Output Setting and Operation Commands": the current limit of the
    // output selected with INSTrument; OUTPut[:STATe] switches all three outputs.
    {ScpiSupply::CURRENT, "CURRent {}", true},
    {ScpiSupply::OUTPUT, "OUTPut {}", true},
    {ScpiSupply::MEASURE_CURRENT, "MEASure:CURRent? {}", false},
}};
static_assert(RowsInRoleOrder(SCPI_E3631A));
// E3631A output numbers 1..3, their names and programming ranges (E3631A User's Guide,
// Table 4-1, page 74): the -25V output is programmed in negative volts, 0 to -25.75 V.
struct E3631AOutput {
  const char* name;
  double minVolts;
  double maxVolts;
  double maxAmps;
};
inline constexpr std::array<E3631AOutput, 4> E3631A_OUTPUTS{{{nullptr, 0, 0, 0},
                                                             {"P6V", 0, 6.18, 5.15},
                                                             {"P25V", 0, 25.75, 1.03},
                                                             {"N25V", -25.75, 0, 1.03}}};

inline constexpr SupplyTable SCPI_E3632A{{
    {ScpiSupply::IDENTIFY, "*IDN?", false},
    {ScpiSupply::RESET, "*RST", false},
    {ScpiSupply::WAIT_COMPLETE, "*OPC?", false},
    {ScpiSupply::CLEAR, "*CLS", false},
    {ScpiSupply::ERROR_QUERY, "SYSTem:ERRor?", false},
    {ScpiSupply::SELECT_OUTPUT, "", true},  // one output
    // E3632A User's Guide, "Output Settings and Operation Commands", page 88
    // (easymanua.ls/keysight/e3632a/manual?p=110), and E3633A/E3634A User's Guide, "Output
    // Setting and Operation Commands", page 75 (easymanua.ls/agilent-technologies/e3634a/
    // manual?p=88): VOLTage {<voltage>|MIN|MAX|UP|DOWN}, the immediate level of the output.
    {ScpiSupply::VOLTAGE, "VOLTage {}", true},
    // E3632A User's Guide, "Introduction to the SCPI Language" (CURRent {<current>|MIN|MAX|...},
    // CURR or CURRENT) and E3633A/E3634A User's Guide, "Output Setting and Operation Commands".
    {ScpiSupply::CURRENT, "CURRent {}", true},
    {ScpiSupply::OUTPUT, "OUTPut {}", false},
    {ScpiSupply::MEASURE_CURRENT, "MEASure:CURRent?", false},
}};
static_assert(RowsInRoleOrder(SCPI_E3632A));
// The widest of the E3632A's and E3633A's ranges; the instrument refuses what its own lacks.
inline constexpr double E3632A_MAX_VOLTS = 30.9;
inline constexpr double E3632A_MAX_AMPS = 20.6;

// No page of the 66311B's user's guide read yet: every line is unconfirmed.
inline constexpr SupplyTable SCPI_66311B{{
    {ScpiSupply::IDENTIFY, "*IDN?", false},
    {ScpiSupply::RESET, "*RST", false},
    {ScpiSupply::WAIT_COMPLETE, "*OPC?", false},
    {ScpiSupply::CLEAR, "*CLS", false},
    {ScpiSupply::ERROR_QUERY, "SYSTem:ERRor?", false},
    {ScpiSupply::SELECT_OUTPUT, "", true},  // one output
    {ScpiSupply::VOLTAGE, "VOLT {}", false},
    {ScpiSupply::CURRENT, "CURR {}", false},
    {ScpiSupply::OUTPUT, "OUTP {}", false},
    {ScpiSupply::MEASURE_CURRENT, "MEAS:CURR?", false},
}};
static_assert(RowsInRoleOrder(SCPI_66311B));
inline constexpr double HP66311B_MAX_VOLTS = 15.535;
inline constexpr double HP66311B_MAX_AMPS = 3.0712;

constexpr const char* Scpi(const SupplyTable& table, ScpiSupply role) {
  return ScpiTextOf(table, role);
}
