#include <array>
#include <cmath>

#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "instruments/InstrumentState.h"

// The sequencers' rules that are pure arithmetic or table look-ups: RX channel table and
// correction, GMAGIC readings and correction, battery acceptance.
namespace {

constexpr std::array<int, RX_CHANNEL_COUNT> RX_CHANNELS{
    1, 20, 40, 62, 80, 100, 124, 512, 585, 660, 700, 790, 835, 885, 975, 1000, 1023};
constexpr int RX_LAST_INDEX = RX_CHANNEL_COUNT - 1;
constexpr double RX_TARGET_LEVEL = 50.0;
constexpr double GMAGIC_TARGET_LEVEL = 55.0;

}  // namespace

int RxChannelOfIndex(int index) {
  if (index < 0 || index > RX_LAST_INDEX) return 0;
  return RX_CHANNELS[static_cast<size_t>(index)];
}

void SetRxChannel() {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  const RfConfig& rf = RfConfiguration();
  if (cal.RxIndex < 0 || cal.RxIndex > RX_LAST_INDEX) return;
  switch (cal.RxIndex) {
    case 0:
      inst.BandCode = BAND_GSM900;
      inst.PathLoss = rf.GsmPathLoss[2];
      inst.BchChannel = rf.GsmBchChannel;
      cal.RxGroupEnd = 6;
      inst.MsPowerLevel = 10;
      break;
    case 7:
      inst.BandCode = BAND_DCS1800;
      inst.PathLoss = rf.DcsPathLoss[2];
      cal.RxGroupEnd = 13;
      inst.MsPowerLevel = 5;
      break;
    case 14:
      inst.BandCode = BAND_GSM900;
      inst.PathLoss = rf.GsmPathLoss[2];
      cal.RxGroupEnd = 16;
      inst.MsPowerLevel = 10;
      break;
    default:
      break;
  }
  inst.TchChannel = RX_CHANNELS[static_cast<size_t>(cal.RxIndex)];
}

bool RxLevelUsable(double reportedLevel) {
  // A test set without a report answers 9.91E+37; such a value must fail the channel, not
  // wrap into a plausible correction.
  return std::isfinite(reportedLevel) && std::fabs(reportedLevel) < 10000.0;
}

int16_t RxCorrection(int16_t current, double reportedLevel) {
  if (!RxLevelUsable(reportedLevel)) return current;
  const int step = 2 * static_cast<int>(std::trunc(RX_TARGET_LEVEL - reportedLevel));
  return static_cast<int16_t>(static_cast<uint16_t>(current + step));
}

void StoreRssiReading(double reading) {
  CalState& cal = Cal();
  InstrumentState& inst = Instruments();
  if (inst.CwOffsetSelect == 0) cal.RssiReading1 = reading;
  if (inst.CwOffsetSelect == 1) cal.RssiReading2 = reading;
  const int before = inst.CwOffsetSelect;
  ++inst.CwOffsetSelect;
  if (before == 1) {
    cal.ReadingsDone = 1;
    inst.CwOffsetSelect = 0;
  }
}

int GmagicCorrection(int value, double reading1, double reading2) {
  const double mean = (reading1 + reading2) / 2.0;
  return static_cast<int>(std::trunc(value + 2.0 * (GMAGIC_TARGET_LEVEL - mean)));
}

bool BatteryAccepts(int reading, int prev1, int prev2) {
  return prev2 >= prev1 && prev1 >= reading && prev2 >= reading && reading >= BATTERY_WINDOW_LOW &&
         reading <= BATTERY_WINDOW_HIGH;
}
