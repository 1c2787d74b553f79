#include "sim/HandsetUnit.h"

#include <cmath>
#include <cstdlib>
#include <span>

#include "sim/GsmChannels.h"
#include "sim/SimRandom.h"

namespace sim {
namespace {

constexpr double TWO_PI = 6.283185307179586;

struct CurvePoint {
  double x;
  double dbm;
};

// The station's level tables, read as a curve: each level's predicted DAC (the previous level's
// value minus the table step) against its target power.
constexpr CurvePoint GSM_CURVE[] = {{351, 5.0},  {366, 7.0},  {381, 9.0},  {396, 11.0},
                                    {408, 13.0}, {418, 15.0}, {429, 17.0}, {446, 19.0},
                                    {463, 21.0}, {483, 23.0}, {503, 25.0}, {526, 27.0},
                                    {549, 29.0}, {572, 31.0}, {580, 31.7}};
constexpr CurvePoint DCS_CURVE[] = {{337, 0.5},  {345, 2.3},  {353, 4.0},  {365, 6.0},
                                    {377, 8.0},  {392, 10.0}, {407, 12.0}, {426, 14.0},
                                    {445, 16.0}, {467, 18.0}, {487, 20.0}, {510, 22.0},
                                    {533, 24.0}, {556, 26.0}, {576, 28.0}, {590, 29.0}};
constexpr double COMPRESSION_DAC = 30.0;  // the amplifier saturates above the top level

template <size_t N>
double Interpolate(const CurvePoint (&c)[N], double x) {
  if (x <= c[0].x) {
    const double slope = (c[1].dbm - c[0].dbm) / (c[1].x - c[0].x);
    return c[0].dbm + slope * (x - c[0].x);
  }
  if (x >= c[N - 1].x) {
    // Saturating: starts with the top segment's slope and levels off.
    const double slope = (c[N - 1].dbm - c[N - 2].dbm) / (c[N - 1].x - c[N - 2].x);
    return c[N - 1].dbm +
           slope * COMPRESSION_DAC * (1.0 - std::exp(-(x - c[N - 1].x) / COMPRESSION_DAC));
  }
  size_t i = 1;
  while (c[i].x < x) ++i;
  const double t = (x - c[i - 1].x) / (c[i].x - c[i - 1].x);
  return c[i - 1].dbm + t * (c[i].dbm - c[i - 1].dbm);
}

// Streams of the unit's random draws, so that adding a parameter to one stream leaves the
// others (and so existing units) unchanged.
enum Stream : uint64_t { TX = 1, RX, GMAGIC, BATTERY, IDENTITY, CURRENT, DEFECT };

SimRandom UnitStream(uint64_t benchSeed, int index, Stream stream) {
  return SimRandom(MixSeed(MixSeed(benchSeed, static_cast<uint64_t>(index)), stream));
}

TxCurve DrawCurve(SimRandom& r, double unitShift) {
  TxCurve c;
  c.shift = unitShift + r.GaussClipped(3.0, 6.0);
  c.scale = r.Uniform(0.94, 1.06);
  c.ripple = r.Uniform(0.5, 1.5);
  c.period = r.Uniform(70.0, 130.0);
  c.phase = r.Uniform(0.0, TWO_PI);
  return c;
}

std::string Digits(SimRandom& r, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + r.UniformInt(0, 9));
  return s;
}

char LuhnCheckDigit(const std::string& digits14) {
  int sum = 0;
  for (size_t i = 0; i < digits14.size(); ++i) {
    int d = digits14[i] - '0';
    if (i % 2 == 1) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

}  // namespace

int RxCalIndex(int arfcn) {
  int lo = 0, hi = -1;
  if (arfcn >= 0 && arfcn <= 124) {
    lo = 0, hi = 6;
  } else if (arfcn >= 512 && arfcn <= 885) {
    lo = 7, hi = 13;
  } else if (arfcn >= 975 && arfcn <= 1023) {
    lo = 14, hi = 16;
  } else {
    return -1;
  }
  int best = lo;
  for (int i = lo; i <= hi; ++i) {
    if (std::abs(RX_CAL_CHANNELS[i] - arfcn) < std::abs(RX_CAL_CHANNELS[best] - arfcn)) best = i;
  }
  return best;
}

double NominalTxDbm(int bandCode, double x) {
  return bandCode == BAND_DCS ? Interpolate(DCS_CURVE, x) : Interpolate(GSM_CURVE, x);
}

double UnitTxDbm(const HandsetUnit& unit, int bandCode, int subBand, int apcDac) {
  const bool dcs = bandCode == BAND_DCS;
  if (subBand < 1 || subBand > (dcs ? 3 : 4)) return NAN;
  const TxCurve& c = dcs ? unit.dcsTx[subBand] : unit.gsmTx[subBand];
  const double ref = dcs ? DCS_REF_DAC : GSM_REF_DAC;
  const double dac = apcDac;
  const double x = ref + (dac - ref) * c.scale + c.shift +
                   c.ripple * std::sin(TWO_PI * dac / c.period + c.phase);
  return NominalTxDbm(bandCode, x) + c.offsetDb;
}

double UnitRxGainErrorDb(const HandsetUnit& unit, int arfcn) {
  int lo = 0, hi = -1;
  if (arfcn >= 0 && arfcn <= 124) {
    lo = 0, hi = 6;
  } else if (arfcn >= 512 && arfcn <= 885) {
    lo = 7, hi = 13;
  } else if (arfcn >= 975 && arfcn <= 1023) {
    lo = 14, hi = 16;
  } else {
    return 0.0;
  }
  if (arfcn <= RX_CAL_CHANNELS[lo]) return unit.rxGainErrorDb[lo];
  for (int i = lo + 1; i <= hi; ++i) {
    if (arfcn <= RX_CAL_CHANNELS[i]) {
      const double t = static_cast<double>(arfcn - RX_CAL_CHANNELS[i - 1]) /
                       (RX_CAL_CHANNELS[i] - RX_CAL_CHANNELS[i - 1]);
      return unit.rxGainErrorDb[i - 1] + t * (unit.rxGainErrorDb[i] - unit.rxGainErrorDb[i - 1]);
    }
  }
  return unit.rxGainErrorDb[hi];
}

HandsetUnit DrawHandsetUnit(uint64_t benchSeed, int index) {
  HandsetUnit u;
  u.index = index;

  // TX: one shift for the unit per band (its amplifier), a smaller one per sub-band (its
  // matching). About one unit in ten lands within 0.1 dB at the first level.
  SimRandom tx = UnitStream(benchSeed, index, TX);
  const double gsmShift = tx.GaussClipped(8.0, 16.0);
  const double dcsShift = tx.GaussClipped(8.0, 16.0);
  for (int sb = 1; sb <= 4; ++sb) u.gsmTx[sb] = DrawCurve(tx, gsmShift);
  for (int sb = 1; sb <= 3; ++sb) u.dcsTx[sb] = DrawCurve(tx, dcsShift);

  // RX: per group an offset and a tilt across the group, plus a little per channel.
  SimRandom rx = UnitStream(benchSeed, index, RX);
  const int groups[3][2] = {{0, 6}, {7, 13}, {14, 16}};
  for (const auto& g : groups) {
    const double offset = rx.Uniform(-4.5, 4.5);
    const double tilt = rx.Uniform(-1.5, 1.5);
    for (int i = g[0]; i <= g[1]; ++i) {
      const double pos = g[1] == g[0] ? 0.0 : 2.0 * (i - g[0]) / (g[1] - g[0]) - 1.0;
      u.rxGainErrorDb[i] = offset + tilt * pos + rx.Uniform(-0.6, 0.6);
    }
  }

  SimRandom gm = UnitStream(benchSeed, index, GMAGIC);
  u.trueGmagicGsm = gm.Uniform(188.0, 203.0);
  u.trueGmagicDcs = gm.Uniform(188.0, 203.0);

  SimRandom bat = UnitStream(benchSeed, index, BATTERY);
  u.batteryAdcPerVolt = bat.Uniform(616.2, 624.2) / 4.18;
  u.batterySettleMs = bat.Uniform(1500.0, 2500.0);
  u.batteryNoise = bat.Uniform(0.12, 0.22);

  SimRandom cur = UnitStream(benchSeed, index, CURRENT);
  u.idleCurrentA = cur.Uniform(0.105, 0.150);

  SimRandom id = UnitStream(benchSeed, index, IDENTITY);
  const std::string body = "35" + Digits(id, 12);
  u.imei = body + LuhnCheckDigit(body);
  u.serial = Digits(id, 6);
  u.hwVersion = std::string("R0") + static_cast<char>('2' + id.UniformInt(0, 2));
  return u;
}

void ApplyDefect(HandsetUnit& u, uint64_t benchSeed, UnitDefect defect) {
  SimRandom r = UnitStream(benchSeed, u.index, DEFECT);
  const bool low = r.Chance(0.5);
  const bool dcs = r.Chance(0.5);
  switch (defect) {
    case UnitDefect::NONE:
      return;
    case UnitDefect::TX:
      // A weak amplifier: even saturated it stays below the first level's target.
      for (auto& c : dcs ? std::span<TxCurve>(u.dcsTx) : std::span<TxCurve>(u.gsmTx)) {
        c.offsetDb = -r.Uniform(4.5, 6.0);
      }
      break;
    case UnitDefect::RX: {
      const int channel = r.UniformInt(0, 16);
      u.rxGainErrorDb[channel] = (low ? -1.0 : 1.0) * r.Uniform(11.5, 14.0);
      break;
    }
    case UnitDefect::GMAGIC: {
      const double value = low ? r.Uniform(168.0, 178.0) : r.Uniform(213.0, 222.0);
      (dcs ? u.trueGmagicDcs : u.trueGmagicGsm) = value;
      break;
    }
    case UnitDefect::BATTERY:
      u.batteryAdcPerVolt = (low ? r.Uniform(598.0, 607.0) : r.Uniform(634.0, 642.0)) / 4.18;
      break;
  }
  u.defect = defect;
}

}  // namespace sim
