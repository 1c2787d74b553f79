#include "cli/CalibrateOptions.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "instruments/InstrumentState.h"

namespace {

// Indexes of RfConfigValues.
constexpr int RF_GSM_BCH = 0;
constexpr int RF_GSM_TCH = 1;        // 1..3
constexpr int RF_GSM_LOSS_MID = 4;   // sub-band 2
constexpr int RF_GSM_LOSS_LEFT = 5;  // sub-band 1
constexpr int RF_GSM_LOSS_RIGHT = 6;
constexpr int RF_DCS_BCH = 7;
constexpr int RF_DCS_TCH = 8;
constexpr int RF_DCS_LOSS_MID = 11;
constexpr int RF_DCS_LOSS_LEFT = 12;
constexpr int RF_DCS_LOSS_RIGHT = 13;
constexpr int RF_TEST_SET = 14;
constexpr int RF_SUPPLY = 15;

bool ParseInt(const std::string& text, long min, long max, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

bool ParseReal(const std::string& text, double min, double max, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(v >= min && v <= max)) return false;
  out = v;
  return true;
}

std::vector<std::string> SplitComma(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  if (!text.empty() && text.back() == ',') parts.push_back("");
  return parts;
}

// Three channels (A,B,C) into rf[first..first+2]; "NOT" hands over 0 as the dialog does.
bool ParseChannels(const std::string& text, std::array<double, 16>& rf, int first) {
  const auto parts = SplitComma(text);
  if (parts.size() != 3) return false;
  for (size_t i = 0; i < 3; ++i) {
    long v = 0;
    if (parts[i] == "NOT") {
      v = 0;
    } else if (!ParseInt(parts[i], 0, 1023, v)) {
      return false;
    }
    rf[static_cast<size_t>(first) + i] = static_cast<double>(v);
  }
  return true;
}

// One loss for all three sub-bands, or three (sub-bands 1, 2, 3).
bool ParseLosses(const std::string& text, std::array<double, 16>& rf, int left, int mid,
                 int right) {
  const auto parts = SplitComma(text);
  if (parts.size() != 1 && parts.size() != 3) return false;
  double v[3];
  for (size_t i = 0; i < 3; ++i) {
    if (!ParseReal(parts[parts.size() == 1 ? 0 : i], -30.0, 30.0, v[i])) return false;
  }
  rf[static_cast<size_t>(left)] = v[0];
  rf[static_cast<size_t>(mid)] = v[1];
  rf[static_cast<size_t>(right)] = v[2];
  return true;
}

}  // namespace

namespace {

// A validator from a parse function that fills rf: the value is refused with reason unless
// parse accepts it.
CLI::Validator RfValidator(std::function<bool(const std::string&, std::array<double, 16>&)> parse,
                           const std::string& reason) {
  return CLI::Validator(
      [parse, reason](std::string& text) {
        std::array<double, 16> scratch{};
        return parse(text, scratch) ? std::string() : reason;
      },
      "");
}

}  // namespace

void DefineCalibrateOptions(CLI::App& app, CalibrateOptions& o) {
  o.rf = DefaultRfConfigValues();
  // "--sim" alone keeps the seed (default 1 or --seed); "--sim=SEED" sets it.
  app.add_flag("--sim")
      ->description("the simulated bench in this process, in virtual time; =SEED picks its seed")
      ->type_name("[=SEED]")
      ->check(CLI::Validator(
          [](std::string& seed) {
            long n = 0;
            return seed == "true" || ParseInt(seed, 0, 2147483647L, n) ? std::string()
                                                                       : "bad seed '" + seed + "'";
          },
          ""))
      ->each([&o](const std::string& seed) {
        o.sim = true;
        if (seed != "true") o.seed = std::stoull(seed);
      });
  app.add_option_function<uint64_t>(
         "--seed",
         [&o](uint64_t seed) {
           o.seed = seed;
           o.seedGiven = true;
         },
         "seed of the simulated bench (default 1)")
      ->check(CLI::Range(uint64_t{0}, uint64_t{2147483647}));
  app.add_option_function<std::string>(
         "--step",
         [&o](const std::string& v) {
           o.step = v;
           o.stepGiven = true;
         },
         "the step to run (default all)")
      ->check(CLI::IsMember({"all", "gmagic", "rx", "gsm", "dcs", "battery"}));
  app.add_option_function<std::string>(
         "--test-set",
         [&o](const std::string& v) {
           o.testSetType = v == "8960" ? TESTSET_8960 : v == "4400" ? TESTSET_4400 : TESTSET_NONE;
         },
         "the test set (default 8960)")
      ->check(CLI::IsMember({"8960", "4400", "none"}));
  app.add_option_function<std::string>(
         "--supply",
         [&o](const std::string& v) {
           o.supplyType = v == "3631A"    ? SUPPLY_E3631A
                          : v == "66311B" ? SUPPLY_66311B
                          : v == "none"   ? SUPPLY_NONE
                                          : SUPPLY_E3632A;
           o.supplyModel = v == "none" ? "" : v;
         },
         "the supply (default 3631A)")
      ->check(CLI::IsMember({"3631A", "3632A", "3633A", "66311B", "none"}));
  app.add_option_function<std::string>(
         "--mode", [&o](const std::string& v) { o.mode = v == "rf" ? 1 : 0; },
         "board: one handset; rf: a production line of handsets told by the supply current")
      ->check(CLI::IsMember({"board", "rf"}));
  app.add_option_function<int>(
         "--handsets",
         [&o](int n) {
           o.handsets = n;
           o.handsetsGiven = true;
         },
         "handsets of a production run (--mode rf)")
      ->check(CLI::Range(1, 100000));
  app.add_option("--model", o.model, "model name in the result log")->default_val(o.model);
  app.add_option("--stage", o.stage, "build stage in the result log")
      ->check(CLI::IsMember({"DVT1", "DVT2", "DVT3", "MVT1", "MVT2", "MP"}))
      ->default_val(o.stage);
  app.add_option("--name", o.name, "operator's name in the result log");
  app.add_option("--trace", o.tracePath,
                 "every line, frame, wait and timer as JSON lines (- = stdout)")
      ->type_name("FILE");
  app.add_option("--json", o.jsonPath, "one JSON record per handset (- = stdout)")
      ->type_name("FILE");
  app.add_option("--plot", o.plotPath, "a PNG of the APC curves and RX corrections")
      ->type_name("FILE.png");
  app.add_option_function<std::string>(
         "--log",
         [&o](const std::string& v) {
           o.logPath = v == "none" ? "" : v;
           o.logGiven = true;
         },
         "the result log (default calresult.txt; none: no log)")
      ->type_name("FILE|none");
  for (const char* band : {"gsm", "dcs"}) {
    const bool gsm = std::string(band) == "gsm";
    const std::string name = std::string("--") + band;
    app.add_option_function<int>(
           name + "-bch", [&o, gsm](int n) { o.rf[gsm ? RF_GSM_BCH : RF_DCS_BCH] = n; },
           "BCH channel of the RF configuration")
        ->check(CLI::Range(0, 1023))
        ->type_name("N");
    const int tch = gsm ? RF_GSM_TCH : RF_DCS_TCH;
    app.add_option_function<std::string>(
           name + "-tch", [&o, tch](const std::string& v) { ParseChannels(v, o.rf, tch); },
           "TCH channels of the three sub-bands (NOT: none)")
        ->check(RfValidator([tch](const std::string& v,
                                  std::array<double, 16>& rf) { return ParseChannels(v, rf, tch); },
                            "needs three channels A,B,C"))
        ->type_name("A,B,C");
    const int left = gsm ? RF_GSM_LOSS_LEFT : RF_DCS_LOSS_LEFT;
    const int mid = gsm ? RF_GSM_LOSS_MID : RF_DCS_LOSS_MID;
    const int right = gsm ? RF_GSM_LOSS_RIGHT : RF_DCS_LOSS_RIGHT;
    auto parse = [left, mid, right](const std::string& v, std::array<double, 16>& rf) {
      return ParseLosses(v, rf, left, mid, right);
    };
    app.add_option_function<std::string>(
           name + "-loss",
           [&o, parse](const std::string& v) {
             parse(v, o.rf);
             o.benchLosses = false;
           },
           "cable loss in dB, one for all sub-bands or three")
        ->check(RfValidator(parse, "needs one or three losses in dB"))
        ->type_name("L[,L,L]");
  }
  app.add_option("--max-minutes", o.maxMinutes, "station time allowed for one handset")
      ->check(CLI::Range(uint32_t{1}, uint32_t{100000}))
      ->default_val(o.maxMinutes);
  app.add_flag("--quiet", o.quiet, "no progress lines");
  app.add_flag("--power-on", o.powerOn,
               "real bench: switch the supply on at 3.8 V / 3 A after the instrument check");
  app.add_option_function<double>(
         "--tx-scatter",
         [&o](double sigma) {
           o.txScatterDb = sigma;
           o.txScatterGiven = true;
         },
         "simulated test set: sigma of its TX power reading's scatter in dB")
      ->check(CLI::Range(0.0, 0.05))
      ->type_name("DB");
  app.add_option("--population", o.population,
                 "simulated: calibrate N handsets drawn from the seed and report against truth")
      ->check(CLI::Range(1, 1000000))
      ->type_name("N");
  app.add_option("--defect-rate", o.defectRate, "population: share of defective handsets")
      ->check(CLI::Range(0.0, 1.0))
      ->default_val(o.defectRate);
  app.add_flag_callback(
      "--dialog-losses", [&o] { o.benchLosses = false; },
      "population: the RF dialog's losses instead of the bench's own");
}

bool CheckCalibrateOptions(CalibrateOptions& o, std::string& error) {
  o.rf[RF_TEST_SET] = o.testSetType;
  o.rf[RF_SUPPLY] = o.supplyType;

  if (o.population > 0 && !o.sim) return error = "--population needs --sim", false;
  if (o.population > 0 && o.mode == 1) return error = "--population runs in board mode", false;
  if (o.seedGiven && !o.sim) return error = "--seed needs --sim", false;
  if (o.txScatterGiven && !o.sim) return error = "--tx-scatter needs --sim", false;
  if (o.powerOn && o.sim)
    return error = "--power-on is for a real bench (--sim powers its jig)", false;
  if (o.powerOn && o.supplyType == SUPPLY_NONE) return error = "--power-on needs a supply", false;
  if (o.handsetsGiven && o.mode != 1) return error = "--handsets needs --mode rf", false;
  if (o.mode == 1 && o.supplyType == SUPPLY_NONE) {
    return error = "--mode rf detects handsets by the supply current: it needs a supply", false;
  }
  if (o.mode == 1 && o.step != "all") return error = "--mode rf runs the full sequence", false;
  if (o.population > 0 && !o.logGiven) o.logPath.clear();
  return true;
}
