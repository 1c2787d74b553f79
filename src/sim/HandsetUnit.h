#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/Bench.h"

// The physical parameters of one simulated handset, drawn from the bench seed and the unit's
// index. Everything the station calibrates is a smooth, monotonic physical law plus a per-unit
// error; a good unit's errors lie inside what the calibration can correct, a defect pushes one
// quantity outside.
namespace sim {

// The 17 channels the RX calibration visits; the handset keeps one correction per channel.
constexpr std::array<int, 17> RX_CAL_CHANNELS = {1,   20,  40,  62,  80,  100, 124,  512, 585,
                                                 660, 700, 790, 835, 885, 975, 1000, 1023};
// Index of the correction the handset applies on arfcn (the nearest calibrated channel of the
// same group: PGSM, DCS, E-GSM); -1 for no channel.
int RxCalIndex(int arfcn);

// Output power against APC DAC for one band and sub-band. The DAC value is mapped onto the
// band's nominal curve: x = ref + (dac - ref) * scale + shift + ripple * sin(2 pi dac / period
// + phase); |ripple * 2 pi / period| < scale keeps x, and so the power, strictly rising.
struct TxCurve {
  double shift = 0;   // DAC steps; > 0 is a stronger unit
  double scale = 1;   // DAC steps of the unit per nominal step
  double ripple = 0;  // DAC steps
  double period = 100;
  double phase = 0;
  double offsetDb = 0;  // a weak power amplifier (TX defect)
};

struct HandsetUnit {
  int index = 0;
  UnitDefect defect = UnitDefect::NONE;

  std::array<TxCurve, 5> gsmTx{};  // sub-bands 1-3 and 4 (E-GSM); [0] unused
  std::array<TxCurve, 4> dcsTx{};  // sub-bands 1-3; [0] unused

  // Gain error of the receive chain (dB, added to the reported level) at each calibration
  // channel; other channels interpolate within their group.
  std::array<double, 17> rxGainErrorDb{};

  double trueGmagicGsm = 195;  // the stored GMAGIC that makes the power report exact
  double trueGmagicDcs = 195;

  double batteryAdcPerVolt = 620.0 / 4.18;
  double batterySettleMs = 2000;  // time constant of the battery-sense filter
  double batteryNoise = 0.2;      // ADC counts, sigma

  double idleCurrentA = 0.12;

  std::string imei;    // 15 digits, check digit by the Luhn rule
  std::string serial;  // 6 digits
  std::string hwVersion;
};

// Unit number index of the bench with this seed.
HandsetUnit DrawHandsetUnit(uint64_t benchSeed, int index);
// Pushes one quantity of the unit out of the correctable range (deterministic for the unit).
void ApplyDefect(HandsetUnit& unit, uint64_t benchSeed, UnitDefect defect);

// Nominal power (dBm) of a band at the curve position x.
double NominalTxDbm(int bandCode, double x);
// Antenna power of the unit at a DAC value.
double UnitTxDbm(const HandsetUnit& unit, int bandCode, int subBand, int apcDac);
// Gain error at any channel.
double UnitRxGainErrorDb(const HandsetUnit& unit, int arfcn);

// The reference DAC of each band's level table (GSM level 5, DCS level 0).
constexpr int GSM_REF_DAC = 580;
constexpr int DCS_REF_DAC = 590;

}  // namespace sim
