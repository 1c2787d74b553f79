#include "sim/instruments/Sim4400.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/GsmChannels.h"
#include "sim/SimRandom.h"

namespace sim {
namespace {

constexpr long OPERATION_SYSTEM_READY = 0x1000;
constexpr long SIGNALLING_CALL_CONNECTED = 4;
constexpr int MAX_ARRAY_COUNT = 1000;
constexpr uint32_t ARRAY_RESULT_MS = 5;  // per result of an array measurement

// Modulation quality of the handset's transmitter as the tester reads it: small and steady.
constexpr double FREQUENCY_ERROR_HZ = 18.0;
constexpr double PHASE_RMS_DEG = 1.6;
constexpr double PHASE_PEAK_DEG = 5.2;

std::string Fixed(double value, int decimals) {
  if (std::isnan(value)) return "9.91E+37";
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The uplink channel whose frequency this is (within 50 kHz); -1 for none.
int UplinkArfcnAt(double mhz) {
  for (int arfcn = 0; arfcn <= 1023; ++arfcn) {
    if (ValidArfcn(arfcn) && std::fabs(UplinkMHz(arfcn) - mhz) < 0.05) return arfcn;
  }
  return -1;
}

}  // namespace

Sim4400::Sim4400(Bench& bench) : bench_(bench), noise_(MixSeed(bench.Seed(), 0x4400)) {
  AddSystemCommands();
  AddGeneratorCommands();
  AddCellCommands();
  AddMeasurementCommands();
  AddAcceptedSettings();
  Sim4400::ResetState();
}

std::string Sim4400::Identity() const {
  return "Willtek,4400 Mobile Phone Tester (simulated),SIM0440001,1.20";
}

std::string Sim4400::OtherIdentity() const {
  return "Willtek,2201 Radio Tester (simulated),SIM0220101,3.01";
}

void Sim4400::ResetState() {
  system_ = System::NONE;
  systemSince_ = bench_.NowMs();
  gsmType_ = "GSM9001800";
  couplingOn_ = false;
  couplingName_.clear();
  generatorOn_ = false;
  generatorHz_ = 0.0;
  generatorDbm_ = -60.0;
  modulation_ = "GMSK";
  signalType_ = "BURS";
  analyserHz_ = 0.0;
  cellDbm_ = -60.0;
  bch_ = 20;
  tch_ = 62;
  pcl_ = 5;
  timeslot_ = 2;
  results_.clear();
  statistics_ = Statistics{};
  settings_.clear();
  bench_.EndCall();
  Push();
}

bool Sim4400::SystemReady() const {
  const uint64_t elapsed = bench_.NowMs() - std::min(bench_.NowMs(), systemSince_);
  switch (system_) {
    case System::GSM:
      return elapsed >= GSM_START_MS;
    case System::GEN:
      return elapsed >= GEN_START_MS;
    case System::GPRS:
      return elapsed >= GPRS_START_MS;
    case System::NONE:
      break;
  }
  return false;
}

double Sim4400::CouplingLossDb(double frequencyMHz) const {
  return couplingOn_ && couplingName_ == COUPLING_TABLE ? bench_.PathLossDb(frequencyMHz) : 0.0;
}

// What goes out of the RF connector. In signalling the cell is on once the system is ready;
// a generator set to continuous wave replaces it with the tone (as the station's CW set-up does
// in the GSM system); in the generator system the tone is on with RFG:STAT ON.
void Sim4400::Push() {
  const bool ready = SystemReady();
  const bool signalling = system_ == System::GSM || system_ == System::GPRS;
  const bool cwInSignalling = signalling && signalType_ == "CWAV" && generatorHz_ > 0.0;
  const bool toneOn =
      ready && generatorHz_ > 0.0 && ((system_ == System::GEN && generatorOn_) || cwInSignalling);
  const double toneMHz = generatorHz_ / 1e6;
  bench_.SetCwGenerator(generatorHz_, generatorDbm_ + CouplingLossDb(toneMHz), toneOn);
  const int band = BandOf(tch_) != 0 ? BandOf(tch_) : BAND_GSM;
  const double cellMHz = DownlinkMHz(tch_);
  bench_.SetCell(band, bch_, tch_, cellDbm_ + CouplingLossDb(cellMHz),
                 ready && signalling && !cwInSignalling);
  bench_.SetMsTxLevel(pcl_);
}

int Sim4400::MeasuredArfcn() const {
  if (!SystemReady()) return -1;
  if (system_ == System::GEN) return UplinkArfcnAt(analyserHz_ / 1e6);
  return ValidArfcn(tch_) ? tch_ : -1;
}

double Sim4400::MeasureTxPower() {
  const int arfcn = MeasuredArfcn();
  if (arfcn < 0) return NAN;
  const double dbm = bench_.TxPowerAtTestSetDbm(arfcn);
  return std::isnan(dbm) ? NAN : dbm + CouplingLossDb(UplinkMHz(arfcn));
}

void Sim4400::AddSystemCommands() {
  Command("CONFigure:CSYStem", [this](Request& r) {
    std::string name;
    if (!r.Word(0, &name)) return;
    System next;
    if (name == "NONE")
      next = System::NONE;
    else if (name == "GSM")
      next = System::GSM;
    else if (name == "GEN")
      next = System::GEN;
    else if (name == "GPRS")
      next = System::GPRS;
    else
      return r.Error(-224, "Illegal parameter value");
    if (next != system_) {
      // A new system starts from scratch: the call drops and the generator goes off.
      system_ = next;
      systemSince_ = bench_.NowMs();
      generatorOn_ = false;
      signalType_ = "BURS";
      bench_.EndCall();
    }
    Push();
  });
  Command("CONFigure:CSYStem?", [this](Request& r) {
    static const char* const NAMES[] = {"NONE", "GSM", "GEN", "GPRS"};
    r.Reply(NAMES[static_cast<int>(system_)]);
  });
  for (const char* header : {"CONFigure:GSM:TYPE", "CONFigure:GPRS:TYPE"}) {
    Command(header, [this](Request& r) {
      std::string type;
      if (!r.Word(0, &type)) return;
      if (type != "GSM9001800" && type != "GSM9001900") {
        return r.Error(-224, "Illegal parameter value");
      }
      gsmType_ = type;
    });
  }
  Command("STATus:OPERation[:CONDition]?", [this](Request& r) {
    Push();
    r.Reply(std::to_string(SystemReady() ? OPERATION_SYSTEM_READY : 0));
  });
  Command("STATus:OPERation:SIGNalling[:CONDition]?", [this](Request& r) {
    Push();
    const bool connected = system_ == System::GSM && SystemReady() && bench_.CallConnected();
    r.Reply(std::to_string(connected ? SIGNALLING_CALL_CONNECTED : 0));
  });
  Command("STATus:OPERation:SIGNalling:GPRS[:CONDition]?", [this](Request& r) {
    r.Reply(system_ == System::GPRS && SystemReady() && settings_.count("CALL:GPRS:MODE") &&
                    settings_["CALL:GPRS:MODE"] != "STOP"
                ? "1"
                : "0");
  });
  Command("CONFigure:COUPling:NAME", [this](Request& r) {
    if (r.args().size() != 1)
      return r.Error(r.args().empty() ? -109 : -108,
                     r.args().empty() ? "Missing parameter" : "Parameter not allowed");
    std::string name = r.args()[0];
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') {
      return r.Error(-104, "Data type error");
    }
    name = name.substr(1, name.size() - 2);
    if (name != COUPLING_TABLE) return r.Error(-256, "File name not found");
    couplingName_ = name;
    r.Busy(COUPLING_LOAD_MS);
    Push();
  });
  Command("CONFigure:COUPling:NAME?", [this](Request& r) { r.Reply("\"" + couplingName_ + "\""); });
  Command("CONFigure:COUPling:STATe", [this](Request& r) {
    bool on;
    if (!r.Bool(0, &on)) return;
    if (on && couplingName_.empty()) return r.Error(-221, "Settings conflict");
    couplingOn_ = on;
    Push();
  });
  Command("CONFigure:COUPling:STATe?", [this](Request& r) { r.Reply(couplingOn_ ? "1" : "0"); });
}

void Sim4400::AddGeneratorCommands() {
  Command("RFGenerator:STATe", [this](Request& r) {
    if (r.Bool(0, &generatorOn_)) Push();
  });
  Command("RFGenerator:STATe?", [this](Request& r) { r.Reply(generatorOn_ ? "1" : "0"); });
  Command("RFGenerator:FREQuency", [this](Request& r) {
    double hz;
    if (!r.Real(0, &hz)) return;
    if (hz < 800e6 || hz > 2000e6) return r.Error(-222, "Data out of range");
    generatorHz_ = hz;
    Push();
  });
  Command("RFGenerator:FREQuency?", [this](Request& r) { r.Reply(Fixed(generatorHz_, 0)); });
  Command("RFGenerator:LEVel", [this](Request& r) {
    double dbm;
    if (!r.Real(0, &dbm)) return;
    if (dbm < -130.0 || dbm > -10.0) return r.Error(-222, "Data out of range");
    generatorDbm_ = dbm;
    Push();
  });
  Command("RFGenerator:LEVel?", [this](Request& r) { r.Reply(Fixed(generatorDbm_, 2)); });
  Command("RFGenerator:MODulation", [this](Request& r) {
    std::string mod;
    if (!r.Word(0, &mod)) return;
    if (mod != "NO" && mod != "GMSK") return r.Error(-224, "Illegal parameter value");
    modulation_ = mod;
  });
  Command("RFGenerator:STYPe", [this](Request& r) {
    std::string type;
    if (!r.Word(0, &type)) return;
    if (type != "BURS" && type != "CWAV") return r.Error(-224, "Illegal parameter value");
    signalType_ = type;
    Push();
  });
  Command("RFGenerator:STYPe?", [this](Request& r) { r.Reply(signalType_); });
  struct Choice {
    const char* header;
    std::vector<std::string> words;  // empty: a number 1..7
  };
  for (const Choice& c :
       {Choice{"RFGenerator:BURSt:TSLot", {}}, Choice{"RFGenerator:MODulation:TSEQuence", {}},
        Choice{"RFGenerator:MODulation:TSEQuence:STATe", {"ON", "OFF"}},
        Choice{"RFGenerator:MODulation:BITPattern",
               {"PRBS9", "PRBS15", "PRBS23", "ALLZ", "ALLO", "ONEZ", "DOUB", "FOUR", "EIGH"}}}) {
    const std::string key = c.header;
    Command(c.header, [this, key, words = c.words](Request& r) {
      std::string value;
      if (!r.Word(0, &value)) return;
      if (words.empty()) {
        double n;
        if (!r.Real(0, &n)) return;
        if (n != std::floor(n) || n < 0 || n > 7) return r.Error(-222, "Data out of range");
      } else if (std::find(words.begin(), words.end(), value) == words.end()) {
        return r.Error(-224, "Illegal parameter value");
      }
      settings_[key] = value;
    });
  }
  Command("RFANalyser:FREQuency", [this](Request& r) {
    double hz;
    if (!r.Real(0, &hz)) return;
    // Zero is taken (the analyser then sees no channel); the band edges are the tester's.
    if (hz != 0.0 && (hz < 800e6 || hz > 2000e6)) return r.Error(-222, "Data out of range");
    analyserHz_ = hz;
  });
  Command("RFANalyser:FREQuency?", [this](Request& r) { r.Reply(Fixed(analyserHz_, 0)); });
}

void Sim4400::AddCellCommands() {
  const auto integer = [](Request& r, size_t i, int low, int high, int* out) {
    double v;
    if (!r.Real(i, &v)) return false;
    if (v != std::floor(v)) {
      r.Error(-224, "Illegal parameter value");
      return false;
    }
    if (v < low || v > high) {
      r.Error(-222, "Data out of range");
      return false;
    }
    *out = static_cast<int>(v);
    return true;
  };
  Command("CONFigure:GSM:BS:LEVel", [this](Request& r) {
    double dbm;
    if (!r.Real(0, &dbm)) return;
    if (dbm < -120.0 || dbm > -10.0) return r.Error(-222, "Data out of range");
    cellDbm_ = dbm;
    Push();
  });
  Command("CONFigure:GSM:BS:LEVel?", [this](Request& r) { r.Reply(Fixed(cellDbm_, 2)); });
  Command("CONFigure:GSM:BS:TCH:ARFCn", [this, integer](Request& r) {
    int arfcn;
    if (!integer(r, 0, 0, 1023, &arfcn)) return;
    if (!ValidArfcn(arfcn)) return r.Error(-222, "Data out of range");
    tch_ = arfcn;
    Push();
  });
  Command("CONFigure:GSM:BS:TCH:ARFCn?", [this](Request& r) { r.Reply(std::to_string(tch_)); });
  Command("CONFigure:GSM:BS:BCH:ARFCn", [this, integer](Request& r) {
    int arfcn;
    if (!integer(r, 0, 0, 1023, &arfcn)) return;
    if (!ValidArfcn(arfcn)) return r.Error(-222, "Data out of range");
    bch_ = arfcn;
    Push();
  });
  Command("CONFigure:GSM:BS:TCH:TSLot",
          [this, integer](Request& r) { integer(r, 0, 0, 7, &timeslot_); });
  // MS power control levels: 0..31 (GSM 900 uses 5..19, DCS 0..15).
  Command("CONFigure:GSM:MSTAtion:PLEVel", [this, integer](Request& r) {
    if (integer(r, 0, 0, 31, &pcl_)) Push();
  });
  Command("CONFigure:GSM:MSTAtion:PLEVel?", [this](Request& r) { r.Reply(std::to_string(pcl_)); });
  Command("CONFigure:GSM:ASSALL", [this, integer](Request& r) {
    int arfcn;
    int pcl;
    if (!integer(r, 0, 0, 1023, &arfcn) || !integer(r, 1, 0, 31, &pcl)) return;
    if (!ValidArfcn(arfcn)) return r.Error(-222, "Data out of range");
    tch_ = arfcn;
    pcl_ = pcl;
    Push();
  });
  Command("CALL:BSORiginate", [this](Request& r) {
    if (!r.NoArgs()) return;
    if (system_ != System::GSM || !SystemReady()) return r.Error(-221, "Settings conflict");
    bench_.OriginateCall();
  });
  Command("CALL:RSIGnal", [this](Request& r) {
    if (!r.NoArgs()) return;
    if (system_ != System::GSM || !SystemReady()) return r.Error(-221, "Settings conflict");
    bench_.OriginateCall();
  });
  Command("CALL:BSRelease", [this](Request& r) {
    if (r.NoArgs()) bench_.EndCall();
  });
  // What the handset reports during a call; 0 without one (no report yet).
  Command("CALL:MSINfo:RXLevel?", [this](Request& r) {
    Push();
    const double level = bench_.MsReportedRxLevel();
    r.Reply(std::to_string(std::isnan(level) ? 0 : static_cast<int>(level)));
  });
  Command("CALL:MSINfo:RXQuality?",
          [this](Request& r) { r.Reply(bench_.CallConnected() ? "0" : "7"); });
  Command("CALL:MSINfo:TADVance?", [](Request& r) { r.Reply("0"); });
}

void Sim4400::AddMeasurementCommands() {
  // Single results: measure, then fetch. Without a signal the fetch gives SCPI's not-a-number.
  struct Quantity {
    const char* node;
    int decimals;
  };
  for (const Quantity& q : {Quantity{"POWer", 2}, Quantity{"FPOWer", 2}, Quantity{"FREQuency", 1},
                            Quantity{"PRMS", 2}, Quantity{"PPEAk", 2}}) {
    const std::string key = q.node;
    const auto measureOne = [this, key]() -> double {
      const double power = MeasureTxPower();
      if (std::isnan(power)) return NAN;
      if (key == "POWer" || key == "FPOWer") return power;
      if (key == "FREQuency") return noise_.Uniform(-FREQUENCY_ERROR_HZ, FREQUENCY_ERROR_HZ);
      if (key == "PRMS") return PHASE_RMS_DEG + noise_.Uniform(-0.3, 0.3);
      return PHASE_PEAK_DEG + noise_.Uniform(-1.0, 1.0);
    };
    Command(std::string("MEASure:RFTX:") + q.node, [this, key, measureOne](Request& r) {
      if (!r.NoArgs()) return;
      results_[key] = measureOne();
      r.Busy(TX_MEASUREMENT_MS);
    });
    Command(std::string("FETCh:RFTX:") + q.node + "?", [this, key, q](Request& r) {
      auto it = results_.find(key);
      if (it == results_.end()) {
        r.Error(-230, "Data corrupt or stale");
        return r.Reply("9.91E+37");
      }
      r.Reply(Fixed(it->second, q.decimals));
    });
    Command(std::string("MEASure:ARRay:RFTX:") + q.node + "?", [this, measureOne](Request& r) {
      double count;
      if (!r.Real(0, &count)) return;
      if (count != std::floor(count) || count < 1 || count > MAX_ARRAY_COUNT) {
        return r.Error(-222, "Data out of range");
      }
      Statistics s;
      s.valid = true;
      double sum = 0.0;
      for (int i = 0; i < static_cast<int>(count) && s.valid; ++i) {
        const double v = measureOne();
        if (std::isnan(v)) s.valid = false;
        sum += v;
        s.minimum = i == 0 ? v : std::min(s.minimum, v);
        s.maximum = i == 0 ? v : std::max(s.maximum, v);
      }
      s.average = sum / count;
      statistics_ = s;
      r.Busy(ARRAY_RESULT_MS * static_cast<uint32_t>(count));
    });
  }
  struct Statistic {
    const char* header;
    double Statistics::*field;
  };
  for (const Statistic& s : {Statistic{"CALCulate:MAVerage?", &Statistics::average},
                             Statistic{"CALCulate:MMINimum?", &Statistics::minimum},
                             Statistic{"CALCulate:MMAXimum?", &Statistics::maximum}}) {
    Command(s.header, [this, field = s.field](Request& r) {
      r.Reply(statistics_.valid ? Fixed(statistics_.*field, 2) : "9.91E+37");
    });
  }
}

// The families the station does not use: their set-ups are taken and can be read back.
void Sim4400::AddAcceptedSettings() {
  static const char* const HEADERS[] = {
      "CONFigure:GSM:BS:LAI:MCC",
      "CONFigure:GSM:BS:LAI:MNC",
      "CONFigure:GSM:BS:LAI:LAC",
      "CONFigure:GSM:BS:NCC",
      "CONFigure:GSM:BS:BCC",
      "CONFigure:GSM:BS:CBA",
      "CONFigure:GSM:BS:CI",
      "CONFigure:GSM:MSTAtion:DRX",
      "CONFigure:GPRS:BS:TCH:ARFCn",
      "CONFigure:GPRS:MSTAtion:PLEVel",
      "CONFigure:GPRS:BS:MSLot",
      "CONFigure:GPRS:BS:MSLot:LEVel",
      "CONFigure:GPRS:BS:MSLot:LEVel:UNUSed",
      "CONFigure:GPRS:MSLot:RESolution",
      "CONFigure:GPRS:BLER:COUNt",
      "CONFigure:GPRS:BS:LEVel",
      "CONFigure:GPRS:BS:PDTCh:ARFCn",
      "CALL:GPRS:MODE",
      "RFANalyser:RANGe:MODE",
      "RFANalyser:RANGe:LEVel",
      "RFANalyser:TRIGger:MODE",
      "RFANalyser:TRIGger:TSLot",
      "RFSPectrum:MSPectrum:SPAN",
      "AFGenerator:STATe",
      "AFGenerator:OUTPut",
      "AFGenerator:LEVel:AF",
      "AFGenerator:LEVel:RF",
      "AFGenerator:SINGle:FREQuency",
      "AFGenerator:SINGle:SHAPe",
      "AFANalyser:INPut",
      "AFANalyser:COUPling",
      "CONFigure:GSM:BER:LOOP",
      "CONFigure:GSM:BER:COUNt",
      "CONFigure:GSM:BER:BITPattern",
      "CALL:LOOP",
      "CALCulate:RFTX:TEMPlate:LIMit:LOWer",
      "CALCulate:RFTX:TEMPlate:LIMit:UPPer",
      "CALCulate:RFTX:TEMPlate:LIMit:AUTO",
      "CALCulate:RFTX:CORNer:POSition",
      "SYSTem:DATE",
      "SYSTem:TIME",
  };
  for (const char* header : HEADERS) {
    std::string key = header;
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return std::islower(c); }),
              key.end());
    Command(header, [this, key](Request& r) {
      std::string joined;
      for (const auto& a : r.args()) joined += (joined.empty() ? "" : ",") + a;
      settings_[key] = joined;
    });
    Command(std::string(header) + "?", [this, key](Request& r) {
      auto it = settings_.find(key);
      r.Reply(it == settings_.end() ? "0" : it->second);
    });
  }
}

}  // namespace sim
