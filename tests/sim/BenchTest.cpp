#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/GsmChannels.h"
#include "sim/HandsetUnit.h"
#include "sim/SimLoop.h"

namespace {

using sim::BAND_DCS;
using sim::BAND_GSM;

// The station's default configuration: path losses it compensates, channels per sub-band.
constexpr double GSM_LOSS = 1.2;
constexpr double DCS_LOSS = 1.7;
constexpr int GSM_CHANNELS[] = {1, 62, 124};
constexpr int DCS_CHANNELS[] = {512, 698, 885};

struct VirtualBench {
  explicit VirtualBench(uint64_t seed) : bench(seed, [this] { return loop.Now(); }) {}
  // The next unit goes into the jig and boots.
  void NextUnit() {
    bench.NewUnit();
    loop.RunFor(sim::Bench::BOOT_MS);
  }
  SimLoop loop;
  sim::Bench bench;
};

// --- TX: the station's APC bisection, run against the model -------------------------------

struct LevelRow {
  int level;
  double target;
  double tolerance;
  int step;  // start = previous settled value minus step (first row: the start value)
  int halfWidth;
};
const std::vector<LevelRow> GSM_LEVELS = {
    {5, 31.7, 0.1, 580, 50}, {6, 31.0, 0.3, 8, 50},   {7, 29.0, 0.3, 23, 50},
    {8, 27.0, 0.3, 23, 50},  {9, 25.0, 0.3, 23, 50},  {10, 23.0, 0.3, 20, 50},
    {11, 21.0, 0.3, 20, 50}, {12, 19.0, 0.3, 17, 50}, {13, 17.0, 0.3, 17, 50},
    {14, 15.0, 0.3, 11, 50}, {15, 13.0, 0.3, 10, 50}, {16, 11.0, 0.5, 12, 50},
    {17, 9.0, 0.5, 15, 50},  {18, 7.0, 0.5, 15, 30},  {19, 5.0, 0.5, 15, 30}};
const std::vector<LevelRow> DCS_LEVELS = {
    {100, 29.0, 0.1, 590, 50}, {101, 28.0, 0.3, 14, 50}, {102, 26.0, 0.3, 20, 50},
    {103, 24.0, 0.3, 23, 50},  {104, 22.0, 0.3, 23, 50}, {105, 20.0, 0.3, 23, 50},
    {106, 18.0, 0.3, 20, 50},  {107, 16.0, 0.3, 22, 50}, {108, 14.0, 0.3, 19, 50},
    {109, 12.0, 0.3, 19, 50},  {110, 10.0, 0.3, 15, 50}, {111, 8.0, 0.3, 15, 50},
    {112, 6.0, 0.3, 12, 50},   {113, 4.0, 0.3, 12, 30},  {114, 2.3, 0.5, 8, 30},
    {115, 0.5, 0.5, 8, 15}};

// Puts the handset in test mode transmitting at a level on a channel.
void Transmit(sim::Bench& bench, int channel, int level) {
  sim::Bench::Handset& h = bench.handset();
  h.testInit = true;
  h.testMode = 1;
  h.rfEnable = 7;
  h.rfParams[2] = static_cast<uint16_t>(channel);
  h.txLevel = level;
}

// One level as the station searches it; returns the corrections made, -1 when it gives up.
int SearchLevel(sim::Bench& bench, int channel, const LevelRow& row, int start, int* settled) {
  const bool dcs = row.level >= 100;
  const int band = dcs ? BAND_DCS : BAND_GSM;
  const int index = dcs ? row.level - 100 : row.level;
  const double loss = dcs ? DCS_LOSS : GSM_LOSS;
  Transmit(bench, channel, row.level);
  int dac = start, high = start + row.halfWidth, low = start - row.halfWidth, count = 0;
  for (;;) {
    bench.handset().eeprom.SetApc(band, sim::SubBandOf(channel), index, dac);
    const double reading = bench.TxPowerAtTestSetDbm(channel) + loss;
    if (std::isnan(reading)) return -2;  // not transmitting: a broken test set-up
    const double d = row.target - reading;
    int state;
    if (d >= row.tolerance) {
      low = dac;
      state = 6;
    } else if (d <= -row.tolerance) {
      high = dac;
      state = 5;
    } else {
      *settled = dac;
      return count;
    }
    dac = (high + low) / 2;
    if (++count > 70) return -1;
    if (high - low > 1) continue;
    if (state == 5) {
      low = std::max(100, dac - 500 / (dcs ? row.level - 90 : row.level));
    } else if (!dcs) {
      high = std::min(dac + 5, 800);
    } else {
      high = dac + 500 / (row.level - 90);
      if (high > 800) high = 900;
    }
  }
}

// Corrections per level of one sub-band; a failing level ends the list with -1.
std::vector<int> CalibrateSubBand(sim::Bench& bench, int channel) {
  const auto& levels = sim::BandOf(channel) == BAND_DCS ? DCS_LEVELS : GSM_LEVELS;
  std::vector<int> counts;
  int settled = 0;
  for (const LevelRow& row : levels) {
    const int start = counts.empty() ? row.step : settled - row.step;
    const int n = SearchLevel(bench, channel, row, start, &settled);
    counts.push_back(n);
    if (n < 0) break;
  }
  return counts;
}

TEST(BenchTx, PowerRisesWithDacAtTheStationsSlopes) {
  for (uint64_t seed : {1u, 2u, 3u}) {
    VirtualBench v(seed);
    for (int unit = 0; unit < 5; ++unit, v.NextUnit()) {
      for (int band : {BAND_GSM, BAND_DCS}) {
        for (int sb = 1; sb <= (band == BAND_GSM ? 4 : 3); ++sb) {
          SCOPED_TRACE(testing::Message() << "seed " << seed << " unit " << unit << " band " << band
                                          << " sub-band " << sb);
          double previous = v.bench.TrueTxPowerDbm(band, sb, 0);
          for (int dac = 1; dac <= 1023; ++dac) {
            const double p = v.bench.TrueTxPowerDbm(band, sb, dac);
            ASSERT_GT(p, previous) << "dac " << dac;
            previous = p;
          }
          // Around the levels' operating points: about 0.07 to 0.25 dB per step.
          for (int dac : {band == BAND_GSM ? 560 : 570, 500, 420, 380}) {
            const double slope = (v.bench.TrueTxPowerDbm(band, sb, dac + 5) -
                                  v.bench.TrueTxPowerDbm(band, sb, dac - 5)) /
                                 10;
            EXPECT_GT(slope, 0.05) << "dac " << dac;
            EXPECT_LT(slope, 0.3) << "dac " << dac;
          }
        }
      }
    }
  }
}

TEST(BenchTx, MeasurementScatterStaysWithinFiveHundredthsOfADb) {
  VirtualBench v(4);
  Transmit(v.bench, 62, 5);
  const double truth =
      v.bench.TrueTxPowerDbm(BAND_GSM, 2, v.bench.handset().eeprom.Apc(BAND_GSM, 2, 5)) -
      v.bench.PathLossDb(sim::UplinkMHz(62));
  EXPECT_EQ(v.bench.TxPowerAtTestSetDbm(62), truth);  // by default the reading is the truth
  EXPECT_EQ(v.bench.TxMeasurementLimitDb(), 0.0);
  v.bench.SetTxMeasurementScatter(0.015);
  EXPECT_GT(v.bench.TxMeasurementLimitDb(), 0.0);
  EXPECT_LE(v.bench.TxMeasurementLimitDb(), 0.05);
  double sum = 0, sum2 = 0;
  for (int i = 0; i < 500; ++i) {
    const double e = v.bench.TxPowerAtTestSetDbm(62) - truth;
    ASSERT_LE(std::fabs(e), 0.05);
    sum += e;
    sum2 += e * e;
  }
  EXPECT_GT(std::sqrt(sum2 / 500 - (sum / 500) * (sum / 500)), 0.005);  // it is noise, not 0
  EXPECT_TRUE(std::isnan(v.bench.TxPowerAtTestSetDbm(63)));  // another channel: nothing there
  v.bench.handset().rfEnable = 1;                            // transmitter off
  EXPECT_TRUE(std::isnan(v.bench.TxPowerAtTestSetDbm(62)));
}

// Good units calibrate at every level of every sub-band; the first level mostly needs a few
// corrections and sometimes none.
TEST(BenchTx, GoodUnitsCalibrateWithRealisticCorrectionCounts) {
  VirtualBench v(2026);
  std::vector<int> firstLevel;
  int levelsNeedingCorrection = 0, levels = 0;
  for (int unit = 0; unit < 60; ++unit, v.NextUnit()) {
    for (const int* channels : {GSM_CHANNELS, DCS_CHANNELS}) {
      for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(testing::Message() << "unit " << unit << " channel " << channels[k]);
        const std::vector<int> counts = CalibrateSubBand(v.bench, channels[k]);
        ASSERT_GE(*std::min_element(counts.begin(), counts.end()), 0);
        firstLevel.push_back(counts[0]);
        for (size_t i = 1; i < counts.size(); ++i, ++levels)
          levelsNeedingCorrection += counts[i] > 0;
      }
    }
  }
  std::sort(firstLevel.begin(), firstLevel.end());
  const size_t none = std::count(firstLevel.begin(), firstLevel.end(), 0);
  EXPECT_GE(none, firstLevel.size() / 50);  // some units need none
  EXPECT_LE(none, firstLevel.size() / 4);   // most need some
  EXPECT_GE(firstLevel[firstLevel.size() / 2], 2);
  EXPECT_LE(firstLevel[firstLevel.size() / 2], 8);
  EXPECT_LT(firstLevel.back(), 30);
  // Later levels start from a good prediction: corrections happen, but not at every level.
  EXPECT_GT(levelsNeedingCorrection, levels / 20);
  EXPECT_LT(levelsNeedingCorrection, levels * 3 / 4);
}

TEST(BenchTx, TxDefectFailsTheFirstLevelOfItsBand) {
  for (uint64_t seed : {1u, 5u, 9u, 12u}) {
    VirtualBench v(seed);
    v.bench.ForceDefect(sim::UnitDefect::TX);
    EXPECT_EQ(v.bench.Defect(), sim::UnitDefect::TX);
    const std::vector<int> gsm = CalibrateSubBand(v.bench, 1);
    const std::vector<int> dcs = CalibrateSubBand(v.bench, 512);
    const bool gsmFails = gsm.size() == 1 && gsm[0] == -1;
    const bool dcsFails = dcs.size() == 1 && dcs[0] == -1;
    EXPECT_TRUE(gsmFails != dcsFails) << "seed " << seed;
    v.bench.ForceDefect(sim::UnitDefect::NONE);  // the same unit, repaired
    EXPECT_NE(CalibrateSubBand(v.bench, gsmFails ? 1 : 512).back(), -1);
  }
}

// --- RX: the station's channel correction -----------------------------------------------

struct RxResult {
  int worst = 0;         // largest |new correction|
  bool onTarget = true;  // every channel reports 50 after its correction
};

RxResult CalibrateRx(VirtualBench& v) {
  RxResult result;
  v.bench.SetCell(BAND_GSM, 80, 1, -60 + GSM_LOSS, true);
  v.bench.OriginateCall();
  v.loop.RunFor(8000);
  EXPECT_TRUE(v.bench.CallConnected());
  for (int i = 0; i < 17; ++i) {
    const int channel = sim::RX_CAL_CHANNELS[i];
    const bool dcs = sim::BandOf(channel) == BAND_DCS;
    // As the station does it: the cell stays on its GSM band, the traffic channel moves.
    v.bench.SetCell(BAND_GSM, 80, channel, -60 + (dcs ? DCS_LOSS : GSM_LOSS), true);
    const int current = v.bench.handset().eeprom.RxCorrection(i);
    const double reading = v.bench.MsReportedRxLevel();
    const int updated =
        static_cast<int16_t>(current + 2 * static_cast<int>(std::trunc(50 - reading)));
    result.worst = std::max(result.worst, std::abs(updated));
    v.bench.handset().eeprom.SetRxCorrection(i, static_cast<int16_t>(updated));
    if (v.bench.MsReportedRxLevel() != 50) result.onTarget = false;
  }
  return result;
}

TEST(BenchRx, CorrectionLandsTheReportOnTargetWithinLimits) {
  VirtualBench v(77);
  int largest = 0;
  for (int unit = 0; unit < 40; ++unit, v.NextUnit()) {
    SCOPED_TRACE(unit);
    const RxResult r = CalibrateRx(v);
    EXPECT_LE(r.worst, 20);
    EXPECT_TRUE(r.onTarget);
    largest = std::max(largest, r.worst);
  }
  EXPECT_GE(largest, 6);  // the corrections are real work, not all zero
  // The report moves by one level per two correction units.
  const double base = v.bench.RxReportAt(62, -60.3);
  v.bench.handset().eeprom.SetRxCorrection(
      3, static_cast<int16_t>(v.bench.handset().eeprom.RxCorrection(3) + 8));
  EXPECT_EQ(v.bench.RxReportAt(62, -60.3), base + 4);
}

TEST(BenchRx, RxDefectNeedsACorrectionBeyondTwenty) {
  for (uint64_t seed : {3u, 8u, 21u}) {
    VirtualBench v(seed);
    v.bench.ForceDefect(sim::UnitDefect::RX);
    EXPECT_GT(CalibrateRx(v).worst, 20) << "seed " << seed;
  }
}

// --- GMAGIC ------------------------------------------------------------------------------

struct GmagicResult {
  int value;
  double meanAfter;
};

GmagicResult CalibrateGmagic(sim::Bench& bench, int band) {
  const bool dcs = band == BAND_DCS;
  sim::Bench::Handset& h = bench.handset();
  h.testInit = true;
  h.testMode = 1;
  h.rfEnable = 1;
  h.rfParams[2] = dcs ? 698 : 62;
  bench.SetCwGenerator(dcs ? 1842467000.0 : 947467000.0, -74.5 + (dcs ? DCS_LOSS : GSM_LOSS), true);
  const int item = dcs ? 47 : 31;
  auto values = h.eeprom.RfItem(item);
  const double mean = (bench.HandsetPowerReport() + bench.HandsetPowerReport()) / 2;
  const int updated = static_cast<int>(std::trunc(values[0] + 2 * (55 - mean)));
  values[0] = static_cast<uint16_t>(updated);
  h.eeprom.SetRfItem(item, values);
  return {updated, (bench.HandsetPowerReport() + bench.HandsetPowerReport()) / 2};
}

TEST(BenchGmagic, CorrectionLandsTheReportOnTargetWithinLimits) {
  VirtualBench v(99);
  int spreadLow = 1000, spreadHigh = 0;
  for (int unit = 0; unit < 60; ++unit, v.NextUnit()) {
    for (int band : {BAND_GSM, BAND_DCS}) {
      SCOPED_TRACE(testing::Message() << "unit " << unit << " band " << band);
      const GmagicResult r = CalibrateGmagic(v.bench, band);
      EXPECT_GE(r.value, 185);
      EXPECT_LE(r.value, 206);
      EXPECT_NEAR(r.meanAfter, 55.0, 0.8);
      EXPECT_EQ(v.bench.StoredGmagic(band), r.value);
      spreadLow = std::min(spreadLow, r.value);
      spreadHigh = std::max(spreadHigh, r.value);
    }
  }
  EXPECT_GT(spreadHigh - spreadLow, 8);  // units differ
}

TEST(BenchGmagic, ReportMovesOneLevelPerTwoUnitsAndDefectLeavesTheRange) {
  VirtualBench v(5);
  sim::Bench::Handset& h = v.bench.handset();
  CalibrateGmagic(v.bench, BAND_GSM);
  double before = 0, after = 0;
  for (int i = 0; i < 50; ++i) before += v.bench.HandsetPowerReport() / 50;
  auto values = h.eeprom.RfItem(31);
  values[0] = static_cast<uint16_t>(values[0] + 10);
  h.eeprom.SetRfItem(31, values);
  for (int i = 0; i < 50; ++i) after += v.bench.HandsetPowerReport() / 50;
  EXPECT_NEAR(after - before, 5.0, 0.1);

  for (uint64_t seed : {2u, 6u, 10u, 14u}) {
    VirtualBench bad(seed);
    bad.bench.ForceDefect(sim::UnitDefect::GMAGIC);
    const int gsm = CalibrateGmagic(bad.bench, BAND_GSM).value;
    const int dcs = CalibrateGmagic(bad.bench, BAND_DCS).value;
    const bool gsmOut = gsm < 185 || gsm > 206, dcsOut = dcs < 185 || dcs > 206;
    EXPECT_TRUE(gsmOut != dcsOut) << "seed " << seed << ": " << gsm << " " << dcs;
  }
}

// --- Battery -----------------------------------------------------------------------------

// The station's acceptance: three readings that do not rise, the last within 613..628.
int AcceptBattery(VirtualBench& v, int maxReadings, int* readingsTaken) {
  int p2 = 0, p1 = 1;
  for (int n = 1; n <= maxReadings; ++n) {
    const int r = v.bench.BatteryAdcReading();
    *readingsTaken = n;
    if (p2 >= p1 && p1 >= r && p2 >= r && r >= 613 && r <= 628) return r;
    p2 = p1;
    p1 = r;
    v.loop.RunFor(4100);
  }
  return -1;
}

TEST(BenchBattery, ReadingSettlesAndIsAcceptedAtTheChargedVoltage) {
  VirtualBench v(31);
  for (int unit = 0; unit < 40; ++unit, v.NextUnit()) {
    SCOPED_TRACE(unit);
    v.bench.SetSupplyOutput(3.8, 3.0, true);
    v.loop.RunFor(20000);
    v.bench.SetSupplyOutput(4.18, 3.0, true);
    v.loop.RunFor(300);
    const int early = v.bench.BatteryAdcReading();
    const double settled = v.bench.TrueBatteryAdc(4.18);
    EXPECT_LT(early, settled - 20);  // still settling: the reading rises
    EXPECT_GE(settled, 613);
    EXPECT_LE(settled, 628);
    v.loop.RunFor(17000);  // "se 6", "se 300" and the waits before the first reading
    int taken = 0;
    const int accepted = AcceptBattery(v, 12, &taken);
    EXPECT_NEAR(accepted, settled, 1.0);
    EXPECT_LE(taken, 8);
  }
  EXPECT_NEAR(v.bench.TrueBatteryAdc(4.18) / 4.18 * 3.8, v.bench.TrueBatteryAdc(3.8), 1e-9);
}

TEST(BenchBattery, NeverSettlingReadingAndBatteryDefectAreNeverAccepted) {
  VirtualBench v(31);
  v.bench.SetSupplyOutput(4.18, 3.0, true);
  v.loop.RunFor(20000);
  v.bench.faults.batteryNeverSettles = true;
  int taken = 0;
  EXPECT_EQ(AcceptBattery(v, 60, &taken), -1);
  v.bench.faults.batteryNeverSettles = false;
  EXPECT_GT(AcceptBattery(v, 10, &taken), 0);

  for (uint64_t seed : {1u, 4u, 7u}) {
    VirtualBench bad(seed);
    bad.bench.ForceDefect(sim::UnitDefect::BATTERY);
    bad.bench.SetSupplyOutput(4.18, 3.0, true);
    bad.loop.RunFor(20000);
    EXPECT_EQ(AcceptBattery(bad, 10, &taken), -1) << "seed " << seed;
  }
}

// --- Supply current, call set-up, paths, determinism -------------------------------------

TEST(BenchSupply, CurrentTellsWhetherAHandsetIsInTheJig) {
  VirtualBench v(8);
  for (int i = 0; i < 20; ++i) {
    const double idle = v.bench.SupplyCurrentA();
    EXPECT_GT(idle, 0.075);
    EXPECT_LT(idle, 0.3);
  }
  const double idle = v.bench.SupplyCurrentA();
  Transmit(v.bench, 62, 5);
  const double transmitting = v.bench.SupplyCurrentA();
  EXPECT_GT(transmitting, idle + 0.05);
  EXPECT_LT(transmitting, 0.3);
  v.bench.InsertHandset(false);
  for (int i = 0; i < 20; ++i) EXPECT_LT(v.bench.SupplyCurrentA(), 0.01);
  EXPECT_TRUE(std::isnan(v.bench.TxPowerAtTestSetDbm(62)));
  v.bench.InsertHandset(true);
  EXPECT_GT(v.bench.SupplyCurrentA(), 0.075);
  v.bench.SetSupplyOutput(3.8, 3.0, false);
  EXPECT_EQ(v.bench.SupplyCurrentA(), 0.0);
}

TEST(BenchCall, ConnectsAfterAFewSecondsOnlyWhenTheHandsetCanAnswer) {
  VirtualBench v(12);
  v.bench.SetCell(BAND_GSM, 80, 1, -58.8, true);
  v.bench.OriginateCall();
  const uint64_t at = v.bench.CallConnectsAtMs();
  EXPECT_GE(at, 2000u);
  EXPECT_LE(at, 8000u);
  v.loop.RunFor(at - 1);
  EXPECT_FALSE(v.bench.CallConnected());
  EXPECT_TRUE(std::isnan(v.bench.MsReportedRxLevel()));
  v.loop.RunFor(1);
  EXPECT_TRUE(v.bench.CallConnected());
  EXPECT_FALSE(std::isnan(v.bench.MsReportedRxLevel()));
  v.bench.SetMsTxLevel(10);
  EXPECT_FALSE(std::isnan(v.bench.TxPowerAtTestSetDbm(1)));  // transmits in the call
  v.bench.EndCall();
  EXPECT_FALSE(v.bench.CallConnected());

  v.bench.SetSignalling(false);  // in test mode the handset does not take calls
  v.bench.OriginateCall();
  EXPECT_EQ(v.bench.CallConnectsAtMs(), 0u);
  v.bench.SetSignalling(true);
  EXPECT_GT(v.bench.CallConnectsAtMs(), v.loop.Now());
  v.bench.SetCell(BAND_GSM, 80, 1, -58.8, false);
  EXPECT_EQ(v.bench.CallConnectsAtMs(), 0u);
}

TEST(BenchPaths, LossesNearTheDefaultsButNotEqual) {
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    VirtualBench v(seed);
    for (int ch : {1, 62, 124, 975}) {
      const double loss = v.bench.PathLossDb(sim::UplinkMHz(ch));
      EXPECT_NEAR(loss, GSM_LOSS, 0.4);
    }
    for (int ch : {512, 698, 885})
      EXPECT_NEAR(v.bench.PathLossDb(sim::UplinkMHz(ch)), DCS_LOSS, 0.4);
    EXPECT_NE(v.bench.PathLossDb(sim::UplinkMHz(62)), v.bench.PathLossDb(sim::UplinkMHz(124)));
  }
}

TEST(BenchUnits, DrawnDeterministicallyFromTheSeed) {
  VirtualBench a(5), b(5), c(6);
  for (int unit = 0; unit < 3; ++unit) {
    EXPECT_EQ(a.bench.Unit().imei, b.bench.Unit().imei);
    EXPECT_EQ(a.bench.TrueTxPowerDbm(BAND_GSM, 1, 580), b.bench.TrueTxPowerDbm(BAND_GSM, 1, 580));
    EXPECT_EQ(a.bench.TrueGmagic(BAND_DCS), b.bench.TrueGmagic(BAND_DCS));
    EXPECT_NE(a.bench.Unit().imei, c.bench.Unit().imei);
    EXPECT_NE(a.bench.TrueGmagic(BAND_GSM), c.bench.TrueGmagic(BAND_GSM));
    EXPECT_EQ(a.bench.Unit().imei.size(), 15u);
    const std::string imei = a.bench.Unit().imei;
    EXPECT_EQ(a.bench.handset().eeprom.ImeiDigits(), imei);  // the fresh EEPROM carries it
    EXPECT_EQ(a.bench.UnitIndex(), unit);
    a.bench.NewUnit();
    b.bench.NewUnit();
    c.bench.NewUnit();
    EXPECT_NE(a.bench.Unit().imei, imei);
  }
  // With a defect rate every drawn unit is good or bad in a repeatable way.
  VirtualBench d(5), e(5);
  d.bench.SetDefectRate(0.5);
  e.bench.SetDefectRate(0.5);
  int bad = 0;
  for (int i = 0; i < 40; ++i) {
    d.bench.NewUnit();
    e.bench.NewUnit();
    EXPECT_EQ(d.bench.Defect(), e.bench.Defect());
    bad += d.bench.Defect() != sim::UnitDefect::NONE;
  }
  EXPECT_GT(bad, 8);
  EXPECT_LT(bad, 32);
}

}  // namespace
