#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "calibration/ApcSearch.h"
#include "calibration/CalState.h"
#include "calibration/Sequencers.h"
#include "cli/CalibrateOptions.h"
#include "cli/CalibrationRun.h"
#include "instruments/InstrumentState.h"
#include "sim/GsmChannels.h"
#include "sim/instruments/SimBenchRig.h"

// tesmira-cli calibrate --sim --population N: calibrates N simulated handsets one after the
// other on one bench and judges every written value against the simulator's truth.
int RunCalibratePopulation(const CalibrateOptions& options);
void PowerTheJig(SimBenchRig& rig);

namespace {

constexpr double RX_REPORT_TOLERANCE = 1.0;  // report levels after correction, around 50
constexpr double RX_CELL_DBM = -60.0;        // the cell level the RX step calibrates at
constexpr double GMAGIC_TOLERANCE = 2.0;     // written against true GMAGIC (1 dB of report)
constexpr double BATTERY_TOLERANCE = 1.5;    // reference against the true 4.18 V reading
constexpr double CHARGED_VOLTS = 4.18;
constexpr uint64_t INSERT_MS = 2000;           // the operator changes the handset
constexpr uint64_t BATTERY_LIMIT_MS = 600000;  // a reference never accepted: the unit is stopped

const char* DefectName(sim::UnitDefect d) {
  switch (d) {
    case sim::UnitDefect::NONE:
      return "none";
    case sim::UnitDefect::TX:
      return "TX";
    case sim::UnitDefect::RX:
      return "RX";
    case sim::UnitDefect::GMAGIC:
      return "GMAGIC";
    case sim::UnitDefect::BATTERY:
      return "BATTERY";
  }
  return "?";
}

// Whether the failure message is the one the defect must produce.
bool ExpectedFailure(sim::UnitDefect d, bool batteryStuck, const std::string& message) {
  switch (d) {
    case sim::UnitDefect::TX:
      return (message.rfind("GSM ", 0) == 0 || message.rfind("DCS ", 0) == 0) &&
             message.find("LEVEL FAIL") != std::string::npos;
    case sim::UnitDefect::RX:
      return message == "******  RXCAL FAIL  ******";
    case sim::UnitDefect::GMAGIC:
      return message == "GMAGIC CAL FAIL";
    case sim::UnitDefect::BATTERY:
      return batteryStuck;
    case sim::UnitDefect::NONE:
      return false;
  }
  return false;
}

struct Worst {
  double ratio = 0.0;  // |error| / tolerance
  std::string where;
  void Offer(double error, double tolerance, const std::string& text) {
    const double r = std::fabs(error) / tolerance;
    if (r > ratio) {
      ratio = r;
      where = text;
    }
  }
};

struct Accuracy {
  long apcValues = 0, apcOutside = 0, apcBeyondUncertainty = 0;
  long rxValues = 0, rxOutside = 0;
  long gmagicValues = 0, gmagicOutside = 0, gmagicNotStored = 0;
  long batteryValues = 0, batteryOutside = 0;
  std::map<int, long> rxReports;
  Worst apc, rx, gmagic, battery;
  std::vector<std::string> outsideExamples;
};

std::string Fmt(const char* format, double a, double b = 0, double c = 0, double d = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

// Judges the values the station wrote into the unit now in the jig.
void JudgeUnit(sim::Bench& bench, int unit, Accuracy& acc) {
  const CalState& cal = Cal();
  auto note = [&acc](const std::string& text) {
    if (acc.outsideExamples.size() < 12) acc.outsideExamples.push_back(text);
  };
  for (const bool dcs : {false, true}) {
    for (int k = 1; k <= 3; ++k) {
      for (const ApcLevelRow& row : dcs ? DcsLevelTable() : GsmLevelTable()) {
        const int column = dcs ? row.level - DCS_FIRST_LEVEL : row.level;
        const int dac =
            (dcs ? cal.DcsApcTable
                 : cal.GsmApcTable)[static_cast<size_t>(k)][static_cast<size_t>(column)];
        // The tolerance in force at this level (rows without one keep the one before).
        double tolerance = 0.0;
        for (const ApcLevelRow& r : dcs ? DcsLevelTable() : GsmLevelTable()) {
          if (r.tolerance > 0.0) tolerance = r.tolerance;
          if (r.level == row.level) break;
        }
        const double power = bench.TrueTxPowerDbm(dcs ? 3 : 2, k, dac);
        const double error = power - row.target;
        const std::string text = std::string(dcs ? "DCS" : "GSM") + std::to_string(k) + " level " +
                                 std::to_string(column) + ": APC " + std::to_string(dac) +
                                 " gives " + Fmt("%.3f dBm", power) + " for " +
                                 Fmt("%.1f +- %.1f", row.target, tolerance) + " (unit " +
                                 std::to_string(unit) + ")";
        ++acc.apcValues;
        acc.apc.Offer(error, tolerance, text);
        if (!(std::fabs(error) < tolerance)) ++acc.apcOutside;
        // With a scattering test set a level settled inside its tolerance as measured can lie
        // up to the scatter outside it in truth, and the station cannot know.
        if (!(std::fabs(error) < tolerance + bench.TxMeasurementLimitDb())) {
          ++acc.apcBeyondUncertainty;
          note("APC " + text);
        }
      }
    }
  }
  for (int i = 0; i < RX_CHANNEL_COUNT; ++i) {
    const int channel = RxChannelOfIndex(i);
    const double report = bench.RxReportAt(channel, RX_CELL_DBM);
    ++acc.rxValues;
    ++acc.rxReports[static_cast<int>(report)];
    const std::string text = "channel " + std::to_string(channel) + " reports " +
                             Fmt("%.0f", report) + " (unit " + std::to_string(unit) + ")";
    acc.rx.Offer(report - 50.0, RX_REPORT_TOLERANCE, text);
    if (!(std::fabs(report - 50.0) <= RX_REPORT_TOLERANCE)) {
      ++acc.rxOutside;
      note("RX " + text);
    }
  }
  for (const int band : {2, 3}) {
    const int written = band == 2 ? cal.GmagicResultGsm : cal.GmagicResultDcs;
    const double truth = bench.TrueGmagic(band);
    ++acc.gmagicValues;
    const std::string text = std::string(band == 2 ? "GSM" : "DCS") + " written " +
                             std::to_string(written) + Fmt(", true %.2f", truth) + " (unit " +
                             std::to_string(unit) + ")";
    acc.gmagic.Offer(written - truth, GMAGIC_TOLERANCE, text);
    if (!(std::fabs(written - truth) <= GMAGIC_TOLERANCE)) {
      ++acc.gmagicOutside;
      note("GMAGIC " + text);
    }
    if (bench.StoredGmagic(band) != written) ++acc.gmagicNotStored;
  }
  const double trueAdc = bench.TrueBatteryAdc(CHARGED_VOLTS);
  ++acc.batteryValues;
  const std::string text = "reference " + std::to_string(cal.BatteryReading) +
                           Fmt(", true %.2f", trueAdc) + " (unit " + std::to_string(unit) + ")";
  acc.battery.Offer(cal.BatteryReading - trueAdc, BATTERY_TOLERANCE, text);
  if (!(std::fabs(cal.BatteryReading - trueAdc) <= BATTERY_TOLERANCE)) {
    ++acc.batteryOutside;
    note("Battery " + text);
  }
}

// The losses of the bench's own cables, as a line enters them after measuring its jig: the
// loss at each sub-band's TCH channel (TX), entered as the dialog takes them (negative).
void EnterBenchLosses(sim::Bench& bench, std::array<double, 16>& rf) {
  auto loss = [&bench](double channel) {
    return -bench.PathLossDb(sim::UplinkMHz(static_cast<int>(channel)));
  };
  rf[5] = loss(rf[1]);   // GSM sub-band 1 (left box)
  rf[4] = loss(rf[2]);   // GSM sub-band 2 (middle)
  rf[6] = loss(rf[3]);   // GSM sub-band 3 (right)
  rf[12] = loss(rf[8]);  // DCS sub-band 1
  rf[11] = loss(rf[9]);  // DCS sub-band 2
  rf[13] = loss(rf[10]);
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int RunCalibratePopulation(const CalibrateOptions& options) {
  CalibrateOptions o = options;
  o.quiet = true;
  const auto wallStart = std::chrono::steady_clock::now();

  ResetCalState();
  ResetInstrumentState();
  SimBenchConfig config;
  config.seed = o.seed;
  config.supplyModel = o.supplyModel;
  SimBenchRig rig(config);
  sim::Bench& bench = rig.bench();
  bench.SetDefectRate(o.defectRate);
  bench.SetTxMeasurementScatter(o.txScatterDb);
  if (o.benchLosses) EnterBenchLosses(bench, o.rf);
  ApplyRfConfig(o.rf);

  SimLoop& loop = rig.loop();
  CalibrationRun run(
      o, loop, rig.port(),
      [&loop](const std::function<bool()>& done, uint64_t limit) {
        return loop.RunUntil(done, limit);
      },
      [&loop] { return loop.Now(); }, &bench, nullptr, nullptr);
  run.quietMessages = true;
  run.afterInstrumentCheck = [&rig] { PowerTheJig(rig); };
  if (!run.Connect()) return 2;
  loop.RunFor(INSERT_MS);                 // the handset boots once the supply is on
  const bool withBattery = !o.stepGiven;  // the production order: battery CAL, then AUTO CAL
  const std::string step = o.stepGiven ? o.step : "all";

  int goodPassed = 0, goodFailed = 0, badFailedRight = 0, badFailedOther = 0, badPassed = 0;
  std::map<std::string, int> badByKind;
  std::vector<std::string> surprises;
  std::vector<double> stationSeconds;
  Accuracy acc;

  for (int i = 0; i < o.population; ++i) {
    if (i > 0) {
      bench.NewUnit();
      loop.RunFor(INSERT_MS);  // the operator puts the next handset in; it boots meanwhile
    }
    const sim::UnitDefect defect = bench.Defect();
    const uint64_t start = loop.Now();
    bool success = true;
    bool batteryStuck = false;
    std::string message;
    if (withBattery) {
      HandsetRecord battery = run.RunOne("battery", i + 1, BATTERY_LIMIT_MS);
      if (!battery.finished) {
        batteryStuck = true;
        run.Abort();
        message = "battery reference never accepted (readings ended at " +
                  (battery.batteryReadings.empty()
                       ? std::string("none")
                       : std::to_string(static_cast<int>(battery.batteryReadings.back()))) +
                  ")";
      }
      success = battery.success;
      if (!success && message.empty()) message = battery.message;
    }
    if (success) {
      HandsetRecord r = run.RunOne(step, i + 1);
      success = r.success;
      message = r.message;
      if (!r.finished) run.Abort();
    }
    stationSeconds.push_back(static_cast<double>(loop.Now() - start) / 1000.0);

    const std::string unitText = "unit " + std::to_string(bench.UnitIndex());
    if (defect == sim::UnitDefect::NONE) {
      if (success) {
        ++goodPassed;
        if (step == "all" && withBattery) JudgeUnit(bench, bench.UnitIndex(), acc);
      } else {
        ++goodFailed;
        surprises.push_back(unitText + " (good) failed: " + message);
      }
    } else {
      ++badByKind[DefectName(defect)];
      if (success) {
        ++badPassed;
        surprises.push_back(unitText + " (" + DefectName(defect) + " defect) passed");
      } else if (ExpectedFailure(defect, batteryStuck, message)) {
        ++badFailedRight;
      } else {
        ++badFailedOther;
        surprises.push_back(unitText + " (" + DefectName(defect) +
                            " defect) failed with: " + message);
      }
    }
  }
  run.Exit();  // closes the instruments, as "EXIT" does
  const double wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

  const int good = goodPassed + goodFailed;
  const int bad = o.population - good;
  std::printf("Population: %d handsets, bench seed %llu, defect rate %.2f, %s\n", o.population,
              static_cast<unsigned long long>(o.seed), o.defectRate,
              o.benchLosses ? "losses as measured on the bench" : "losses of the RF dialog");
  std::printf("Sequence per handset: %s\n",
              withBattery ? "battery calibration, then GMAGIC, RX, GSM TX, DCS TX"
                          : ("step " + step).c_str());
  std::printf("Yield: %d of %d passed (%.1f %%)\n", goodPassed + badPassed, o.population,
              100.0 * (goodPassed + badPassed) / o.population);
  std::printf("Good units (model): %d, passed %d, failed %d\n", good, goodPassed, goodFailed);
  std::printf(
      "Bad units (model): %d, failed with the expected message %d, other failure %d, "
      "passed %d\n",
      bad, badFailedRight, badFailedOther, badPassed);
  for (const auto& [kind, count] : badByKind)
    std::printf("  %s defects: %d\n", kind.c_str(), count);
  for (const auto& s : surprises) std::printf("  ! %s\n", s.c_str());

  if (acc.apcValues > 0) {
    std::printf("Accuracy of the passed good units against the simulator's truth:\n");
    std::printf("  APC: %ld values; true output power outside target +- tolerance: %ld",
                acc.apcValues, acc.apcOutside);
    if (bench.TxMeasurementLimitDb() > 0.0) {
      std::printf(", outside target +- (tolerance + %.2f dB test-set scatter): %ld",
                  bench.TxMeasurementLimitDb(), acc.apcBeyondUncertainty);
    }
    std::printf("; worst %.2f of the tolerance (%s)\n", acc.apc.ratio, acc.apc.where.c_str());
    std::printf("  RX: %ld channels, report at -60 dBm after correction outside 50 +- 1: %ld;",
                acc.rxValues, acc.rxOutside);
    for (const auto& [level, count] : acc.rxReports) std::printf(" %d:%ld", level, count);
    std::printf("\n");
    std::printf(
        "  GMAGIC: %ld values, outside true +- 2: %ld, not stored in the handset: %ld; "
        "worst %.2f of the tolerance (%s)\n",
        acc.gmagicValues, acc.gmagicOutside, acc.gmagicNotStored, acc.gmagic.ratio,
        acc.gmagic.where.c_str());
    std::printf(
        "  Battery: %ld references, outside the true 4.18 V reading +- 1.5: %ld; worst "
        "%.2f of the tolerance (%s)\n",
        acc.batteryValues, acc.batteryOutside, acc.battery.ratio, acc.battery.where.c_str());
    for (const auto& s : acc.outsideExamples) std::printf("  ! %s\n", s.c_str());
  }
  std::printf("Station time per handset: min %.1f s, median %.1f s, p90 %.1f s, max %.1f s\n",
              Percentile(stationSeconds, 0.0), Percentile(stationSeconds, 0.5),
              Percentile(stationSeconds, 0.9), Percentile(stationSeconds, 1.0));
  std::printf("Wall time: %.3f s in all, %.2f ms per handset\n", wallSeconds,
              1000.0 * wallSeconds / o.population);

  const bool clean = goodFailed == 0 && badPassed == 0 && badFailedOther == 0 &&
                     acc.apcBeyondUncertainty == 0 && acc.rxOutside == 0 &&
                     acc.gmagicOutside == 0 && acc.gmagicNotStored == 0 && acc.batteryOutside == 0;
  std::fflush(stdout);
  return clean ? 0 : 1;
}
