#include "calibration/ApcSearch.h"

#include <array>
#include <cmath>

#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"

namespace {

constexpr int GSM_START_DAC = 580;
constexpr int DCS_START_DAC = 590;
constexpr int DAC_FLOOR = 100;
constexpr int DAC_CEILING = 800;
constexpr int DCS_CEILING_JUMP = 900;  // a DCS bracket widened past 800 opens up to 900
constexpr int GSM_UPWARD_WIDENING = 5;
constexpr int WIDENING_NUMERATOR = 500;
constexpr int DCS_LEVEL_OFFSET = 90;
// Readings and targets are decimal dB values; compare at the decimal boundary so that a
// deviation equal to the tolerance counts as outside it, as the station intends.
constexpr double BOUNDARY_EPSILON = 1e-9;
constexpr double NOT_A_READING = 9.9e37;

constexpr std::array<ApcLevelRow, 15> GSM_LEVELS{{
    {5, 31.7, 0.1, GSM_START_DAC, 50},
    {6, 31.0, 0.3, 8, 50},
    {7, 29.0, 0.0, 23, 50},
    {8, 27.0, 0.0, 23, 50},
    {9, 25.0, 0.0, 23, 50},
    {10, 23.0, 0.0, 20, 50},
    {11, 21.0, 0.0, 20, 50},
    {12, 19.0, 0.0, 17, 50},
    {13, 17.0, 0.0, 17, 50},
    {14, 15.0, 0.0, 11, 50},
    {15, 13.0, 0.0, 10, 50},
    {16, 11.0, 0.5, 12, 50},
    {17, 9.0, 0.0, 15, 50},
    {18, 7.0, 0.0, 15, 30},
    {19, 5.0, 0.0, 15, 30},
}};

constexpr std::array<ApcLevelRow, 16> DCS_LEVELS{{
    {100, 29.0, 0.1, DCS_START_DAC, 50},
    {101, 28.0, 0.3, 14, 50},
    {102, 26.0, 0.0, 20, 50},
    {103, 24.0, 0.0, 23, 50},
    {104, 22.0, 0.0, 23, 50},
    {105, 20.0, 0.0, 23, 50},
    {106, 18.0, 0.0, 20, 50},
    {107, 16.0, 0.0, 22, 50},
    {108, 14.0, 0.0, 19, 50},
    {109, 12.0, 0.0, 19, 50},
    {110, 10.0, 0.0, 15, 50},
    {111, 8.0, 0.0, 15, 50},
    {112, 6.0, 0.0, 12, 50},
    {113, 4.0, 0.0, 12, 30},
    {114, 2.3, 0.5, 8, 30},
    {115, 0.5, 0.0, 8, 15},
}};

bool IsGsmLevel(int level) {
  return level >= GSM_FIRST_LEVEL && level <= GSM_LAST_LEVEL;
}
bool IsDcsLevel(int level) {
  return level >= DCS_FIRST_LEVEL && level <= DCS_LAST_LEVEL;
}
bool ValidSubBand(int subBand) {
  return subBand >= 1 && subBand <= 3;
}

}  // namespace

std::span<const ApcLevelRow> GsmLevelTable() {
  return GSM_LEVELS;
}
std::span<const ApcLevelRow> DcsLevelTable() {
  return DCS_LEVELS;
}

const ApcLevelRow* FindApcLevelRow(int level) {
  if (IsGsmLevel(level)) return &GSM_LEVELS[static_cast<size_t>(level - GSM_FIRST_LEVEL)];
  if (IsDcsLevel(level)) return &DCS_LEVELS[static_cast<size_t>(level - DCS_FIRST_LEVEL)];
  return nullptr;
}

const char* ApcCommandPrefix(bool dcs, int subBand) {
  switch (subBand) {
    case 2:
      return dcs ? "spw 31 " : "spw 21 ";
    case 3:
      return dcs ? "spw 32 " : "spw 22 ";
    default:
      return "txpw 4 ";
  }
}

void SetLevelParameters() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  const RfConfig& rf = RfConfiguration();
  const int level = inst.MsPowerLevel;
  const ApcLevelRow* row = FindApcLevelRow(level);
  if (!row) return;
  const bool dcs = IsDcsLevel(level);
  const int subBand = dcs ? Sequencer().DcsSubBand : Sequencer().GsmSubBand;
  const int firstLevel = dcs ? DCS_FIRST_LEVEL : GSM_FIRST_LEVEL;

  cal.TargetPower = row->target;
  if (row->tolerance > 0.0) cal.PowerTolerance = row->tolerance;
  if (level == firstLevel) {
    cal.ApcDac = row->step;
  } else if (ValidSubBand(subBand)) {
    const auto& table = dcs ? cal.DcsApcTable : cal.GsmApcTable;
    const int previous = level - 1 - (dcs ? DCS_FIRST_LEVEL : 0);
    cal.ApcDac = table[static_cast<size_t>(subBand)][static_cast<size_t>(previous)] - row->step;
  }
  cal.DacHigh = cal.ApcDac + row->halfWidth;
  cal.DacLow = cal.ApcDac - row->halfWidth;

  if (level != firstLevel) return;
  if (ValidSubBand(subBand)) {
    const auto k = static_cast<size_t>(subBand);
    inst.TchChannel = dcs ? rf.DcsTchChannel[k] : rf.GsmTchChannel[k];
    inst.PathLoss = dcs ? rf.DcsPathLoss[k] : rf.GsmPathLoss[k];
  }
  inst.BchChannel = dcs ? rf.DcsBchChannel : rf.GsmBchChannel;
  inst.BandCode = dcs ? BAND_DCS1800 : BAND_GSM900;
  cal.LastLevel = dcs ? DCS_LAST_LEVEL : GSM_LAST_LEVEL;
}

void UpdateApcSearch() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  const int level = inst.MsPowerLevel;
  const double d = cal.TargetPower - inst.TxPowerReading;
  if (!IsGsmLevel(level) && !IsDcsLevel(level)) {
    cal.SearchState = SEARCH_SETTLED;
    cal.SearchCount = 0;
    return;
  }
  // No reading (a failed measurement, or the test set's 9.91E+37 for none) must not steer the
  // DAC: the step fails, as the RX step does for a level it cannot use.
  if (!std::isfinite(inst.TxPowerReading) || std::fabs(inst.TxPowerReading) >= NOT_A_READING) {
    cal.SearchState = SEARCH_SETTLED;
    cal.SearchCount = 0;
    inst.InstrumentFault = 1;
    return;
  }

  // Integer halving rounds toward zero, as C division does.
  if (d >= cal.PowerTolerance - BOUNDARY_EPSILON) {
    cal.DacLow = cal.ApcDac;
    cal.ApcDac = (cal.DacHigh + cal.DacLow) / 2;
    cal.SearchState = SEARCH_GO_HIGHER;
    ++cal.SearchCount;
  } else if (d <= -cal.PowerTolerance + BOUNDARY_EPSILON) {
    cal.DacHigh = cal.ApcDac;
    cal.ApcDac = (cal.DacHigh + cal.DacLow) / 2;
    cal.SearchState = SEARCH_GO_LOWER;
    ++cal.SearchCount;
  } else {
    cal.SearchCount = 0;
    cal.SearchState = SEARCH_SETTLED;
  }
  if (cal.SearchState != SEARCH_SETTLED) {
    if (level == GSM_FIRST_LEVEL) cal.FillGsmTopLevels = 1;
    if (level == DCS_FIRST_LEVEL) cal.FillDcsTopLevels = 1;
  }

  if (cal.SearchCount > SEARCH_MAX_CORRECTIONS) {
    cal.SearchState = SEARCH_SETTLED;
    cal.SearchCount = 0;
    inst.InstrumentFault = 1;
  }
  if (cal.DacHigh - cal.DacLow > 1) return;

  // The bracket has closed before the power was reached: open it on the side we are heading.
  const bool dcs = IsDcsLevel(level);
  const int widening = WIDENING_NUMERATOR / (dcs ? level - DCS_LEVEL_OFFSET : level);
  if (cal.SearchState == SEARCH_GO_LOWER) {
    cal.DacLow = cal.ApcDac - widening;
    if (cal.DacLow < DAC_FLOOR) cal.DacLow = DAC_FLOOR;
  } else if (cal.SearchState == SEARCH_GO_HIGHER) {
    if (dcs) {
      cal.DacHigh = cal.ApcDac + widening;
      if (cal.DacHigh > DAC_CEILING) cal.DacHigh = DCS_CEILING_JUMP;
    } else {
      cal.DacHigh = cal.ApcDac + GSM_UPWARD_WIDENING;
      if (cal.DacHigh > DAC_CEILING) cal.DacHigh = DAC_CEILING;
    }
  }
}
