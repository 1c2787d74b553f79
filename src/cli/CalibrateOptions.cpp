#include "cli/CalibrateOptions.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "instruments/InstrumentState.h"

const char* const CALIBRATE_USAGE =
    "[--sim[=SEED]] [--step all|gmagic|rx|gsm|dcs|battery] [--test-set 8960|4400|none] "
    "[--supply 3631A|3632A|3633A|66311B|none] [--mode board|rf] [--handsets N] [--model TEXT] "
    "[--stage DVT1|DVT2|DVT3|MVT1|MVT2|MP] [--name TEXT] [--trace FILE] [--json FILE] "
    "[--log FILE|none] [--plot FILE.png] [--gsm-bch N] [--gsm-tch A,B,C] [--gsm-loss L[,L,L]] "
    "[--dcs-bch N] "
    "[--dcs-tch A,B,C] [--dcs-loss L[,L,L]] [--max-minutes M] [--quiet] [--power-on] "
    "[--tx-scatter DB] "
    "[--population N --seed S [--defect-rate R] [--dialog-losses]]";

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

bool ParseCalibrateOptions(const std::vector<std::string>& args, CalibrateOptions& o,
                           std::string& error) {
  o.rf = DefaultRfConfigValues();
  bool seedGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string key = arg;
    std::string value;
    bool hasValue = false;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      key = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    auto take = [&](std::string& out) {
      if (hasValue) {
        out = value;
        return true;
      }
      if (i + 1 >= args.size()) {
        error = key + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    long n = 0;
    std::string v;
    if (key == "--sim") {
      o.sim = true;
      if (hasValue) {
        if (!ParseInt(value, 0, 2147483647L, n)) return error = "bad seed '" + value + "'", false;
        o.seed = static_cast<uint64_t>(n);
      }
    } else if (key == "--seed") {
      if (!take(v) || !ParseInt(v, 0, 2147483647L, n)) {
        return error = error.empty() ? "bad seed '" + v + "'" : error, false;
      }
      o.seed = static_cast<uint64_t>(n);
      seedGiven = true;
    } else if (key == "--step") {
      if (!take(v)) return false;
      if (v != "all" && v != "gmagic" && v != "rx" && v != "gsm" && v != "dcs" && v != "battery") {
        return error = "unknown step '" + v + "'", false;
      }
      o.step = v;
      o.stepGiven = true;
    } else if (key == "--test-set") {
      if (!take(v)) return false;
      if (v == "8960") {
        o.testSetType = TESTSET_8960;
      } else if (v == "4400") {
        o.testSetType = TESTSET_4400;
      } else if (v == "none") {
        o.testSetType = TESTSET_NONE;
      } else {
        return error = "unknown test set '" + v + "'", false;
      }
    } else if (key == "--supply") {
      if (!take(v)) return false;
      if (v == "3631A") {
        o.supplyType = SUPPLY_E3631A;
      } else if (v == "3632A" || v == "3633A") {
        o.supplyType = SUPPLY_E3632A;
      } else if (v == "66311B") {
        o.supplyType = SUPPLY_66311B;
      } else if (v == "none") {
        o.supplyType = SUPPLY_NONE;
      } else {
        return error = "unknown supply '" + v + "'", false;
      }
      o.supplyModel = v == "none" ? "" : v;
    } else if (key == "--mode") {
      if (!take(v)) return false;
      if (v == "board") {
        o.mode = 0;
      } else if (v == "rf") {
        o.mode = 1;
      } else {
        return error = "unknown mode '" + v + "'", false;
      }
    } else if (key == "--handsets") {
      if (!take(v) || !ParseInt(v, 1, 100000, n)) return error = "bad handset count", false;
      o.handsets = static_cast<int>(n);
      o.handsetsGiven = true;
    } else if (key == "--model") {
      if (!take(o.model)) return false;
    } else if (key == "--stage") {
      if (!take(v)) return false;
      if (v != "DVT1" && v != "DVT2" && v != "DVT3" && v != "MVT1" && v != "MVT2" && v != "MP") {
        return error = "unknown stage '" + v + "'", false;
      }
      o.stage = v;
    } else if (key == "--name") {
      if (!take(o.name)) return false;
    } else if (key == "--trace") {
      if (!take(o.tracePath)) return false;
    } else if (key == "--json") {
      if (!take(o.jsonPath)) return false;
    } else if (key == "--plot") {
      if (!take(o.plotPath)) return false;
    } else if (key == "--log") {
      if (!take(v)) return false;
      o.logPath = v == "none" ? "" : v;
      o.logGiven = true;
    } else if (key == "--gsm-bch" || key == "--dcs-bch") {
      if (!take(v) || !ParseInt(v, 0, 1023, n)) return error = "bad channel for " + key, false;
      o.rf[key == "--gsm-bch" ? RF_GSM_BCH : RF_DCS_BCH] = static_cast<double>(n);
    } else if (key == "--gsm-tch" || key == "--dcs-tch") {
      if (!take(v) || !ParseChannels(v, o.rf, key == "--gsm-tch" ? RF_GSM_TCH : RF_DCS_TCH)) {
        return error = key + " needs three channels A,B,C", false;
      }
    } else if (key == "--gsm-loss") {
      if (!take(v) || !ParseLosses(v, o.rf, RF_GSM_LOSS_LEFT, RF_GSM_LOSS_MID, RF_GSM_LOSS_RIGHT)) {
        return error = "--gsm-loss needs one or three losses in dB", false;
      }
      o.benchLosses = false;
    } else if (key == "--dcs-loss") {
      if (!take(v) || !ParseLosses(v, o.rf, RF_DCS_LOSS_LEFT, RF_DCS_LOSS_MID, RF_DCS_LOSS_RIGHT)) {
        return error = "--dcs-loss needs one or three losses in dB", false;
      }
      o.benchLosses = false;
    } else if (key == "--max-minutes") {
      if (!take(v) || !ParseInt(v, 1, 100000, n)) return error = "bad --max-minutes", false;
      o.maxMinutes = static_cast<uint32_t>(n);
    } else if (key == "--quiet") {
      o.quiet = true;
    } else if (key == "--population") {
      if (!take(v) || !ParseInt(v, 1, 1000000, n)) return error = "bad population size", false;
      o.population = static_cast<int>(n);
    } else if (key == "--defect-rate") {
      if (!take(v) || !ParseReal(v, 0.0, 1.0, o.defectRate))
        return error = "bad defect rate", false;
    } else if (key == "--dialog-losses") {
      o.benchLosses = false;
    } else if (key == "--power-on") {
      o.powerOn = true;
    } else if (key == "--tx-scatter") {
      if (!take(v) || !ParseReal(v, 0.0, 0.05, o.txScatterDb))
        return error = "bad --tx-scatter (sigma in dB, 0 to 0.05)", false;
      o.txScatterGiven = true;
    } else {
      return error = "unknown option '" + arg + "'", false;
    }
  }
  o.rf[RF_TEST_SET] = o.testSetType;
  o.rf[RF_SUPPLY] = o.supplyType;

  if (o.population > 0 && !o.sim) return error = "--population needs --sim", false;
  if (o.population > 0 && o.mode == 1) return error = "--population runs in board mode", false;
  if (seedGiven && !o.sim) return error = "--seed needs --sim", false;
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
