#include "sim/instruments/Sim8960.h"

#include <cmath>

namespace sim {
namespace {
constexpr std::array<const char*, 5> BAND_NAMES{"PGSM", "EGSM", "DCS", "PCS", "GSM850"};
constexpr std::array<const char*, 4> MEASUREMENTS{"TXPower", "PFERror", "PVTime", "ORFSpectrum"};
constexpr int BENCH_GSM900 = 2;
constexpr int BENCH_DCS1800 = 3;
constexpr int INTEGRITY_NORMAL = 0;
constexpr int INTEGRITY_NO_RESULT = 1;
}  // namespace

Sim8960::Sim8960(Bench& bench) : bench_(bench) {
  Sim8960::ResetState();
  AddCallCommands();
  AddMeasurementCommands();
  AddGeneratorCommands();
  Command("SYSTem:CORRection:SGAin", [this](Request& r) {
    double db;
    if (!r.Real(0, &db)) return;
    if (db < -100.0 || db > 100.0) return r.Error(-222, "Data out of range");
    gainDb_ = db;
    Push();
  });
  Command("SYSTem:CORRection:SGAin?", [this](Request& r) { r.Reply(Nr3(gainDb_)); });
  Command("SYSTem:CORRection:STATe", [this](Request& r) {
    if (r.Bool(0, &correctionOn_)) Push();
  });
  Command("SYSTem:CORRection:STATe?", [this](Request& r) { r.Reply(correctionOn_ ? "1" : "0"); });
}

std::string Sim8960::Identity() const {
  return "TESMIRA-SIM,8960 Series 10 E5515B,GB00000001,A.10.05";
}

std::string Sim8960::OtherIdentity() const {
  return "TESMIRA-SIM,E4406A,US00000001,A.08.12";
}

void Sim8960::ResetState() {
  cellBand_ = EGSM;
  tchBand_ = EGSM;
  bch_ = {20, 20, 512, 512, 128};
  tch_ = {30, 30, 600, 600, 190};
  msTxLevel_ = {5, 5, 0, 0, 5};
  cellDbm_ = -85.0;
  cellOn_ = true;
  gainDb_ = 0.0;
  correctionOn_ = false;
  operatingMode_ = "CALL";
  downlink_ = Downlink::BCH;
  generatorBand_ = EGSM;
  generatorHz_ = DownlinkMHz(EGSM, 20) * 1e6;
  connectTimeoutS_ = 10.0;
  originated_ = false;
  originatedAt_ = 0;
  armed_ = false;
  armExpiresAt_ = 0;
  measurementInitiated_ = false;
  bench_.EndCall();
  Push();
}

uint32_t Sim8960::ResetMs() const {
  return RESET_MS;
}

void Sim8960::Arm(uint64_t timeoutMs) {
  armed_ = true;
  armExpiresAt_ = bench_.NowMs() + timeoutMs;
}

bool Sim8960::BandByName(const std::string& name, int* band) {
  for (size_t i = 0; i < BAND_NAMES.size(); ++i) {
    if (name == BAND_NAMES[i]) {
      *band = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

bool Sim8960::ArfcnValid(int band, int n) {
  switch (band) {
    case PGSM:
      return n >= 1 && n <= 124;
    case EGSM:
      return (n >= 0 && n <= 124) || (n >= 975 && n <= 1023);
    case DCS:
      return n >= 512 && n <= 885;
    case PCS:
      return n >= 512 && n <= 810;
    case GSM850:
      return n >= 128 && n <= 251;
    default:
      return false;
  }
}

double Sim8960::DownlinkMHz(int band, int n) {
  switch (band) {
    case PGSM:
    case EGSM:
      return n >= 975 ? 935.0 + 0.2 * (n - 1024) : 935.0 + 0.2 * n;
    case DCS:
      return 1805.2 + 0.2 * (n - 512);
    case PCS:
      return 1930.2 + 0.2 * (n - 512);
    case GSM850:
      return 869.2 + 0.2 * (n - 128);
    default:
      return 0.0;
  }
}

void Sim8960::Push() {
  const int band = cellBand_ == PGSM || cellBand_ == EGSM ? BENCH_GSM900
                   : cellBand_ == DCS                     ? BENCH_DCS1800
                                                          : 0;
  // The gain of the path is made up for at the connector, so the handset sees cellDbm_.
  const double connectorDbm = cellDbm_ - GainDb();
  const bool active = cellOn_;
  // In active cell the downlink function is ignored: the cell broadcasts for calls.
  if (TestMode() && downlink_ == Downlink::CW) {
    bench_.SetCell(band, bch_[cellBand_], tch_[tchBand_], connectorDbm, false);
    bench_.SetCwGenerator(generatorHz_, connectorDbm, active && generatorHz_ > 0.0);
  } else {
    bench_.SetCwGenerator(generatorHz_, connectorDbm, false);
    bench_.SetCell(band, bch_[cellBand_], tch_[tchBand_], connectorDbm, active && band != 0);
  }
  bench_.SetMsTxLevel(msTxLevel_[tchBand_]);
}

void Sim8960::AddCallCommands() {
  Command("CALL:CELL:BAND", [this](Request& r) {
    std::string name;
    if (!r.Word(0, &name)) return;
    if (!BandByName(name, &cellBand_)) return r.Error(-224, "Illegal parameter value");
    Push();
  });
  Command("CALL:CELL:BAND?", [this](Request& r) { r.Reply(BAND_NAMES[cellBand_]); });
  Command("CALL:TCHannel:BAND", [this](Request& r) {
    std::string name;
    if (!r.Word(0, &name)) return;
    if (!BandByName(name, &tchBand_)) return r.Error(-224, "Illegal parameter value");
    Push();
  });
  Command("CALL:TCHannel:BAND?", [this](Request& r) { r.Reply(BAND_NAMES[tchBand_]); });

  // Channel and level settings, per band (…:EGSM) or for the band in use.
  struct PerBand {
    const char* header;
    std::array<int, BAND_COUNT>* values;
    bool channel;
    bool cellBand;  // which band "in use" means
  };
  for (const PerBand& p : {PerBand{"CALL:BCHannel[:ARFCn]", &bch_, true, true},
                           PerBand{"CALL:TCHannel[:ARFCn]", &tch_, true, false},
                           PerBand{"CALL:MS:TXLevel", &msTxLevel_, false, false}}) {
    auto set = [this, p](Request& r, int band) {
      double value;
      if (!r.Real(0, &value)) return;
      const int n = static_cast<int>(value);
      if (n != value) return r.Error(-224, "Illegal parameter value");
      const bool valid = p.channel ? ArfcnValid(band, n) : n >= 0 && n <= 31;
      if (!valid) return r.Error(-222, "Data out of range");
      (*p.values)[band] = n;
      Push();
    };
    Command(p.header, [this, p, set](Request& r) { set(r, p.cellBand ? cellBand_ : tchBand_); });
    Command(std::string(p.header) + "?", [this, p](Request& r) {
      r.Reply(Nr1((*p.values)[p.cellBand ? cellBand_ : tchBand_]));
    });
    for (int band = 0; band < BAND_COUNT; ++band) {
      Command(std::string(p.header) + ":" + BAND_NAMES[band],
              [set, band](Request& r) { set(r, band); });
    }
  }

  Command("CALL:POWer[:SAMPlitude]", [this](Request& r) {
    double dbm;
    if (!r.Real(0, &dbm)) return;
    if (dbm < -127.0 || dbm > -10.0) return r.Error(-222, "Data out of range");
    cellDbm_ = dbm;
    cellOn_ = true;
    Push();
  });
  Command("CALL:POWer[:SAMPlitude]?", [this](Request& r) { r.Reply(Nr3(cellDbm_)); });
  Command("CALL:OPERating:MODE", [this](Request& r) {
    std::string mode;
    if (!r.Word(0, &mode)) return;
    if (mode != "CALL" && mode != "TEST" && mode != "CELL")
      return r.Error(-224, "Illegal parameter value");
    // CELL is active cell as CALL is; the query answers CALL for both.
    operatingMode_ = mode == "CELL" ? "CALL" : mode;
    if (TestMode()) {
      originated_ = false;
      bench_.EndCall();
    }
    Push();
  });
  Command("CALL:OPERating:MODE?", [this](Request& r) { r.Reply(operatingMode_); });
  Command("CALL:FUNCtion:DOWNlink", [this](Request& r) {
    std::string f;
    if (!r.Word(0, &f)) return;
    if (f == "BCH")
      downlink_ = Downlink::BCH;
    else if (f == "BCHTCH")
      downlink_ = Downlink::BCHTCH;
    else if (f == "CW")
      downlink_ = Downlink::CW;
    else
      return r.Error(-224, "Illegal parameter value");
    Push();
  });

  Command("CALL:ORIGinate", [this](Request& r) {
    if (!r.NoArgs()) return;
    // Calls are made in active cell only.
    if (TestMode() || !cellOn_) return r.Error(-221, "Settings conflict");
    originated_ = true;
    originatedAt_ = bench_.NowMs();
    bench_.OriginateCall();
    Arm(AUTO_ARM_MS);
  });
  Command("CALL:END", [this](Request& r) {
    if (!r.NoArgs()) return;
    originated_ = false;
    bench_.EndCall();
    Arm(AUTO_ARM_MS);
  });
  Command("CALL:CONNected:ARM[:IMMediate]", [this](Request& r) {
    if (r.NoArgs()) Arm(static_cast<uint64_t>(connectTimeoutS_ * 1000.0));
  });
  Command("CALL:CONNected:ARM:STATe?", [this](Request& r) {
    if (armed_ && bench_.NowMs() >= armExpiresAt_) armed_ = false;
    r.Reply(armed_ ? "1" : "0");
  });
  Command("CALL:CONNected:TIMeout", [this](Request& r) {
    double s;
    if (!r.Real(0, &s)) return;
    if (s < 1.0 || s > 1000.0) return r.Error(-222, "Data out of range");
    connectTimeoutS_ = s;
  });
  Command("CALL:CONNected[:STATe]?", [this](Request& r) {
    if (!r.NoArgs()) return;
    const uint64_t now = bench_.NowMs();
    if (armed_ && now >= armExpiresAt_) armed_ = false;
    if (bench_.CallConnected()) {
      // Connected already: an armed detector waits for the next change, here its time-out.
      if (armed_) r.Busy(static_cast<uint32_t>(armExpiresAt_ - now));
      armed_ = false;
      return r.Reply("1");
    }
    if (originated_) {
      // Setting up (a transitory state): the query waits until connected or idle, whatever the
      // detector, and a change disarms it.
      armed_ = false;
      const uint64_t at = bench_.CallConnectsAtMs();
      if (at != 0) {
        r.Busy(static_cast<uint32_t>(at > now ? at - now : 0));
        return r.Reply("1");
      }
      const uint64_t givesUp = originatedAt_ + PAGING_MS;
      r.Busy(static_cast<uint32_t>(givesUp > now ? givesUp - now : 0));
      originated_ = false;
      bench_.EndCall();
      return r.Reply("0");
    }
    // Idle: at once unless armed, then at the end of the detector's time-out.
    if (armed_) r.Busy(static_cast<uint32_t>(armExpiresAt_ - now));
    armed_ = false;
    r.Reply("0");
  });
  Command("CALL:STATus[:STATe]?", [this](Request& r) {
    if (bench_.CallConnected()) return r.Reply("CONN");
    r.Reply(originated_ && bench_.CallConnectsAtMs() != 0 ? "SREQ" : "IDLE");
  });
  Command("CALL:MS:REPorted:RXLevel[:LAST]?", [this](Request& r) {
    const double level = bench_.MsReportedRxLevel();
    r.Reply(std::isnan(level) ? Nr3(level) : Nr1(std::lround(level)));
  });
  Command("CALL:MS:REPorted:RXLevel:NEW?", [this](Request& r) {
    r.Busy(RX_REPORT_MS);  // waits for the next measurement report
    const double level = bench_.MsReportedRxLevel();
    r.Reply(std::isnan(level) ? Nr3(level) : Nr1(std::lround(level)));
  });
}

void Sim8960::AddMeasurementCommands() {
  for (const char* name : MEASUREMENTS) {
    Command(std::string("INITiate:") + name, [this](Request& r) {
      if (r.NoArgs()) measurementInitiated_ = true;
    });
  }
  Command("INITiate:DONE?",
          [this](Request& r) { r.Reply(measurementInitiated_ ? "TXP" : "NONE"); });
  Command("SETup:CONTinuous:ON", [this](Request& r) {
    if (r.NoArgs()) measurementInitiated_ = true;
  });
  Command("SETup:CONTinuous:OFF", [](Request& r) { r.NoArgs(); });
  Command("SETup:TXPower:CONTinuous", [](Request& r) {
    bool on;
    r.Bool(0, &on);
  });
  auto txPower = [this](Request& r) {
    if (!r.NoArgs()) return;
    r.Busy(TX_MEASUREMENT_MS);
    const double atConnector = bench_.TxPowerAtTestSetDbm(tch_[tchBand_]);
    if (std::isnan(atConnector)) {
      return r.Reply(Nr1(INTEGRITY_NO_RESULT) + "," + Nr3(NAN));
    }
    r.Reply(Nr1(INTEGRITY_NORMAL) + "," + Nr3(atConnector - GainDb()));
  };
  Command("READ:TXPower[:ALL]?", txPower);
  Command("FETCh:TXPower[:ALL]?", txPower);
}

void Sim8960::AddGeneratorCommands() {
  Command("CALL:CELL:RFGenerator:BAND", [this](Request& r) {
    std::string name;
    if (!r.Word(0, &name)) return;
    if (!BandByName(name, &generatorBand_)) return r.Error(-224, "Illegal parameter value");
  });
  for (int band = 0; band < BAND_COUNT; ++band) {
    Command(std::string("CALL:CELL:RFGenerator:CHANnel:") + BAND_NAMES[band],
            [this, band](Request& r) {
              double value;
              if (!r.Real(0, &value)) return;
              const int n = static_cast<int>(value);
              if (n != value || !ArfcnValid(band, n)) return r.Error(-222, "Data out of range");
              generatorBand_ = band;
              generatorHz_ = DownlinkMHz(band, n) * 1e6;
              Push();
            });
  }
  Command("CALL:CELL:RFGenerator:FREQuency", [this](Request& r) {
    double hz;
    if (!r.Real(0, &hz)) return;
    if (hz < 292.5e6 || hz > 2700e6) return r.Error(-222, "Data out of range");
    generatorHz_ = hz;
    Push();
  });
  Command("CALL:CELL:RFGenerator:FREQuency?", [this](Request& r) { r.Reply(Nr3(generatorHz_)); });
}

}  // namespace sim
