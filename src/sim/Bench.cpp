#include "sim/Bench.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sim/BenchHandset.h"
#include "sim/GsmChannels.h"
#include "sim/HandsetUnit.h"
#include "sim/SimRandom.h"

namespace sim {
namespace {

constexpr double MIN_OPERATING_VOLTS = 3.0;  // below this the handset stays off
constexpr double NOISE_FLOOR_DBM = -115.0;
constexpr double CW_ACCEPT_MHZ = 0.1;        // a tone this close to the channel is in the filter
constexpr double TX_NOISE_LIMIT_DB = 0.049;  // the scatter never exceeds 0.05 dB
constexpr double POWER_REPORT_SIGMA = 0.12;
// The power report reads 55 for a -74.5 dBm tone when the stored GMAGIC equals the true one.
constexpr double POWER_REPORT_OFFSET = 129.5;
constexpr uint64_t CALL_SETUP_MS = 2600;  // origination to connection, once camped
constexpr uint64_t CAMP_MS = 1800;        // signalling start to camped on the cell
constexpr uint64_t PAGING_TIMEOUT_MS = 20000;
constexpr double NEVER_SETTLES_RATE = 1.0;  // ADC counts per second, wrapping every 40

// Physical loss of the cables and jig: near the station's default settings, not equal to them.
struct PathModel {
  double gsmBase = 1.2;
  double dcsBase = 1.7;
  double gsmTilt = 0.1;  // dB per 100 MHz
  double dcsTilt = 0.1;
  double ripplePhase = 0;
};

}  // namespace

struct Bench::Impl {
  uint64_t seed;
  Clock clock;
  SimRandom noise;
  double txScatterSigmaDb = 0.0;  // off: the test set's power reading is the reference
  PathModel path;
  double defectRate = 0.0;

  HandsetUnit unit;
  Handset handset;

  bool inserted = true;
  double volts = 3.8;
  double currentLimit = 3.0;
  bool outputOn = true;
  bool powered = false;

  // Battery-sense filter: the voltage it sees moves from batteryFrom towards volts.
  double batteryFrom = 3.8;
  uint64_t batteryChangeMs = 0;

  // Test set.
  int cellBand = 0;
  int cellBch = 0;
  int cellTch = 0;
  double cellLevelDbm = -200;
  bool cellOn = false;
  int msTxLevel = 5;
  bool callPending = false;
  bool callConnected = false;
  uint64_t originatedAtMs = 0;
  double cwHz = 0;
  double cwLevelDbm = -200;
  bool cwOn = false;

  Impl(uint64_t s, Clock c) : seed(s), clock(std::move(c)), noise(MixSeed(s, 0x4E4F495345ULL)) {
    SimRandom r(MixSeed(s, 0x50415448ULL));
    path.gsmBase = 1.2 + r.Uniform(-0.2, 0.2);
    path.dcsBase = 1.7 + r.Uniform(-0.2, 0.2);
    path.gsmTilt = r.Uniform(0.05, 0.2);
    path.dcsTilt = r.Uniform(0.05, 0.2);
    path.ripplePhase = r.Uniform(0.0, 6.283185307179586);
  }

  uint64_t Now() const { return clock(); }

  double FilteredBatteryVolts(uint64_t now) const {
    const double tau = unit.batterySettleMs;
    const double dt = static_cast<double>(now - std::min(now, batteryChangeMs));
    return volts + (batteryFrom - volts) * std::exp(-dt / tau);
  }

  void ResetVolatile() {
    const HandsetEeprom eeprom = handset.eeprom;
    const int64_t rtcBase = handset.rtcBaseSeconds;
    const uint64_t rtcSetAt = handset.rtcSetAtMs;
    handset = Handset{};
    handset.eeprom = eeprom;
    handset.rtcBaseSeconds = rtcBase;  // the clock runs on its own cell
    handset.rtcSetAtMs = rtcSetAt;
    for (int n = 0; n < HandsetEeprom::RF_PARAM_COUNT; ++n) {
      handset.rfParams[n] = eeprom.RfParam(n);
    }
    handset.rfParams[1] = 80;
    handset.rfParams[2] = 62;
    handset.rxParams[8] = 1;  // AGC algorithm on
    // After boot a handset is an ordinary phone: it looks for the network.
    handset.signalling = true;
    handset.signallingSinceMs = Now();
    callConnected = false;
    callPending = false;
  }

  void Boot(uint64_t readyAt) {
    ResetVolatile();
    handset.readyAtMs = readyAt;
    handset.signallingSinceMs = readyAt;
  }

  void UpdatePower() {
    const bool now = inserted && outputOn && volts >= MIN_OPERATING_VOLTS;
    if (now == powered) return;
    powered = now;
    if (powered) {
      Boot(Now() + BOOT_MS);
      batteryFrom = volts * 0.97;  // the sense filter charges up after power-on
      batteryChangeMs = Now();
    } else {
      ResetVolatile();
      handset.signalling = false;
    }
  }

  bool Ready() const { return powered && Now() >= handset.readyAtMs; }

  // Channel the receiver listens to now; 0 when it is off.
  int ListenArfcn() const {
    if (!Ready()) return -1;
    if (callConnected) return cellTch;
    if (handset.rxContinuous) return handset.rxContChannel;
    if (handset.testMode == 1 && (handset.rfEnable & 1)) return handset.rfParams[2];
    return -1;
  }
};

Bench::Bench(uint64_t seed, Clock clock) : impl_(std::make_unique<Impl>(seed, std::move(clock))) {
  impl_->unit = DrawHandsetUnit(seed, 0);
  impl_->handset.eeprom.FillFactoryDefaults(impl_->unit);
  // The bench starts with a unit in the jig, powered at the nominal voltage long enough to run.
  impl_->powered = true;
  impl_->Boot(impl_->Now());
  impl_->batteryFrom = impl_->volts;
  impl_->batteryChangeMs = impl_->Now();
}

Bench::~Bench() = default;

uint64_t Bench::NowMs() const {
  return impl_->Now();
}

uint64_t Bench::Seed() const {
  return impl_->seed;
}

void Bench::SetDefectRate(double rate) {
  impl_->defectRate = rate;
}

const HandsetUnit& Bench::Unit() const {
  return impl_->unit;
}

void Bench::NewUnit() {
  Impl& m = *impl_;
  const int index = m.unit.index + 1;
  m.unit = DrawHandsetUnit(m.seed, index);
  if (m.defectRate > 0.0) {
    SimRandom r(MixSeed(MixSeed(m.seed, static_cast<uint64_t>(index)), 0x44524157ULL));
    if (r.Chance(m.defectRate)) {
      const UnitDefect kinds[] = {UnitDefect::TX, UnitDefect::RX, UnitDefect::GMAGIC,
                                  UnitDefect::BATTERY};
      ApplyDefect(m.unit, m.seed, kinds[r.UniformInt(0, 3)]);
    }
  }
  m.handset = Handset{};
  m.handset.eeprom.FillFactoryDefaults(m.unit);
  if (m.powered) {
    m.Boot(m.Now() + BOOT_MS);
    m.batteryFrom = m.volts * 0.97;
    m.batteryChangeMs = m.Now();
  } else {
    m.ResetVolatile();
    m.handset.signalling = false;
  }
}

int Bench::UnitIndex() const {
  return impl_->unit.index;
}

void Bench::ForceDefect(UnitDefect defect) {
  Impl& m = *impl_;
  const HandsetUnit fresh = DrawHandsetUnit(m.seed, m.unit.index);
  m.unit = fresh;
  ApplyDefect(m.unit, m.seed, defect);
}

UnitDefect Bench::Defect() const {
  return impl_->unit.defect;
}

void Bench::InsertHandset(bool inserted) {
  impl_->inserted = inserted;
  impl_->UpdatePower();
}

bool Bench::HandsetInserted() const {
  return impl_->inserted;
}

void Bench::SetSupplyOutput(double volts, double currentLimitA, bool outputOn) {
  Impl& m = *impl_;
  if (std::fabs(volts - m.volts) > 1e-6) {
    m.batteryFrom = m.FilteredBatteryVolts(m.Now());
    m.batteryChangeMs = m.Now();
  }
  m.volts = volts;
  m.currentLimit = currentLimitA;
  m.outputOn = outputOn;
  m.UpdatePower();
}

double Bench::SupplyVolts() const {
  return impl_->volts;
}

bool Bench::SupplyOutputOn() const {
  return impl_->outputOn;
}

double Bench::SupplyCurrentA() {
  Impl& m = *impl_;
  if (!m.outputOn || m.volts <= 0.0) return 0.0;
  double amps;
  if (!m.inserted) {
    amps = 0.002;  // the jig's own indicator
  } else if (!m.powered) {
    amps = 0.004;
  } else {
    amps = m.unit.idleCurrentA;
    if (!m.Ready()) amps += 0.06;  // booting
    if (m.handset.backlight) amps += 0.04;
    if (m.handset.lastLogicTest == 56) amps += 0.05;  // vibrator
    if (m.ListenArfcn() >= 0) amps += 0.02;           // receiver on
    const double tx = HandsetTxDbm();
    if (!std::isnan(tx)) {
      // One slot in eight, amplifier efficiency about 45 %.
      const double watts = std::pow(10.0, tx / 10.0) / 1000.0;
      amps += watts / 0.45 / m.volts / 8.0;
    }
  }
  amps += m.noise.GaussClipped(0.0015, 0.004);
  amps = std::max(0.0, amps);
  return std::min(amps, m.currentLimit);
}

double Bench::HandsetTxDbm(int* arfcn) {
  Impl& m = *impl_;
  if (arfcn) *arfcn = 0;
  if (!m.Ready()) return NAN;
  int channel = -1;
  int band = 0;
  int index = -1;
  if (CallConnected()) {
    channel = m.cellTch;
    band = BandOf(channel);
    index = m.msTxLevel;
  } else if (m.handset.testMode == 1 && (m.handset.rfEnable & 2)) {
    channel = m.handset.rfParams[2];
    band = BandOf(channel);
    const int level = m.handset.txLevel;
    // The selected level must belong to the band of the channel.
    if (band == BAND_DCS && level >= 100) index = level - 100;
    if (band == BAND_GSM && level < 100) index = level;
  }
  if (band == 0 || index < 0 || index >= HandsetEeprom::APC_LEVELS) return NAN;
  const int subBand = SubBandOf(channel);
  const int dac = m.handset.eeprom.Apc(band, subBand, index);
  if (arfcn) *arfcn = channel;
  return UnitTxDbm(m.unit, band, subBand, dac);
}

double Bench::TxPowerAtTestSetDbm(int arfcn) {
  int channel = 0;
  const double dbm = HandsetTxDbm(&channel);
  if (std::isnan(dbm) || channel != arfcn) return NAN;
  const double scatter = impl_->txScatterSigmaDb > 0.0
                             ? impl_->noise.GaussClipped(impl_->txScatterSigmaDb, TX_NOISE_LIMIT_DB)
                             : 0.0;
  return dbm - PathLossDb(UplinkMHz(channel)) + scatter;
}

void Bench::SetTxMeasurementScatter(double sigmaDb) {
  impl_->txScatterSigmaDb = std::max(0.0, sigmaDb);
}

double Bench::TxMeasurementLimitDb() const {
  return impl_->txScatterSigmaDb > 0.0 ? TX_NOISE_LIMIT_DB : 0.0;
}

void Bench::SetCell(int bandCode, int bchArfcn, int tchArfcn, double levelDbm, bool on) {
  Impl& m = *impl_;
  m.cellBand = bandCode;
  m.cellBch = bchArfcn;
  m.cellTch = tchArfcn;
  m.cellLevelDbm = levelDbm;
  m.cellOn = on;
  if (!on) {
    m.callConnected = false;
    m.callPending = false;
  }
}

void Bench::SetMsTxLevel(int pcl) {
  impl_->msTxLevel = pcl;
}

void Bench::OriginateCall() {
  Impl& m = *impl_;
  // A second origination (handset dialling, test set paging) joins the set-up under way.
  if (m.callConnected || (m.callPending && CallConnectsAtMs() != 0)) return;
  m.callPending = true;
  m.originatedAtMs = m.Now();
}

void Bench::EndCall() {
  impl_->callPending = false;
  impl_->callConnected = false;
}

uint64_t Bench::CallConnectsAtMs() {
  Impl& m = *impl_;
  if (m.callConnected) return m.Now();
  if (!m.callPending) return 0;
  const bool reachable = m.powered && m.handset.signalling && m.cellOn;
  if (!reachable) return 0;
  const uint64_t camped = std::max(m.handset.readyAtMs, m.handset.signallingSinceMs) + CAMP_MS;
  const uint64_t at = std::max(m.originatedAtMs, camped) + CALL_SETUP_MS;
  if (at > m.originatedAtMs + PAGING_TIMEOUT_MS) return 0;
  return at;
}

bool Bench::CallConnected() {
  Impl& m = *impl_;
  if (m.callConnected) {
    if (!m.Ready() || !m.handset.signalling || !m.cellOn) m.callConnected = false;
    return m.callConnected;
  }
  if (!m.callPending) return false;
  const uint64_t at = CallConnectsAtMs();
  if (at != 0 && m.Now() >= at) {
    m.callPending = false;
    m.callConnected = true;
  } else if (m.Now() > m.originatedAtMs + PAGING_TIMEOUT_MS) {
    m.callPending = false;  // paging gave up
  }
  return m.callConnected;
}

double Bench::MsReportedRxLevel() {
  if (!CallConnected()) return NAN;
  const Impl& m = *impl_;
  return RxReportAt(m.cellTch, HandsetInputDbm());
}

void Bench::SetCwGenerator(double frequencyHz, double levelDbm, bool on) {
  impl_->cwHz = frequencyHz;
  impl_->cwLevelDbm = levelDbm;
  impl_->cwOn = on;
}

double Bench::PathLossDb(double frequencyMHz) const {
  const PathModel& p = impl_->path;
  if (!(frequencyMHz > 0.0)) return 0.0;
  const bool dcs = frequencyMHz > 1400.0;
  const double base = dcs ? p.dcsBase : p.gsmBase;
  const double tilt = dcs ? p.dcsTilt : p.gsmTilt;
  const double center = dcs ? 1800.0 : 915.0;
  return base + tilt * (frequencyMHz - center) / 100.0 +
         0.04 * std::sin(6.283185307179586 * frequencyMHz / 23.0 + p.ripplePhase);
}

double Bench::TrueTxPowerDbm(int bandCode, int subBand, int apcDac) const {
  return UnitTxDbm(impl_->unit, bandCode, subBand, apcDac);
}

double Bench::RxReportAt(int arfcn, double dbmAtAntenna) const {
  const Impl& m = *impl_;
  const int index = RxCalIndex(arfcn);
  if (index < 0) return NAN;
  const double correction = m.handset.eeprom.RxCorrection(index);
  const double level =
      std::floor(110.0 + dbmAtAntenna + UnitRxGainErrorDb(m.unit, arfcn) + correction / 2.0);
  return std::clamp(level, 0.0, 63.0);
}

double Bench::TrueGmagic(int bandCode) const {
  return bandCode == BAND_DCS ? impl_->unit.trueGmagicDcs : impl_->unit.trueGmagicGsm;
}

int Bench::StoredGmagic(int bandCode) const {
  return impl_->handset.eeprom.RfItem(bandCode == BAND_DCS ? 47 : 31)[0];
}

double Bench::TrueBatteryAdc(double volts) const {
  return impl_->unit.batteryAdcPerVolt * volts;
}

Bench::Handset& Bench::handset() {
  return impl_->handset;
}

bool Bench::HandsetPowered() const {
  return impl_->powered;
}

bool Bench::HandsetReady() const {
  return impl_->Ready();
}

void Bench::RestartHandset() {
  Impl& m = *impl_;
  if (!m.powered) return;
  m.Boot(m.Now() + BOOT_MS);
}

void Bench::SetSignalling(bool on) {
  Impl& m = *impl_;
  if (on && !m.handset.signalling) m.handset.signallingSinceMs = m.Now();
  m.handset.signalling = on;
  if (!on) {
    m.callConnected = false;
    m.callPending = false;
  }
}

double Bench::HandsetInputDbm() {
  Impl& m = *impl_;
  const int arfcn = m.ListenArfcn();
  if (arfcn < 0 || !ValidArfcn(arfcn)) return NOISE_FLOOR_DBM;
  const double f = DownlinkMHz(arfcn);
  double input = NOISE_FLOOR_DBM;
  if (m.cwOn && std::fabs(m.cwHz / 1e6 - f) <= CW_ACCEPT_MHZ) {
    input = std::max(input, m.cwLevelDbm - PathLossDb(m.cwHz / 1e6));
  }
  // The channel number names its band: a GSM cell may well hand a call over to a DCS channel.
  if (m.cellOn && (arfcn == m.cellTch || arfcn == m.cellBch)) {
    input = std::max(input, m.cellLevelDbm - PathLossDb(f));
  }
  return input;
}

double Bench::HandsetPowerReport() {
  Impl& m = *impl_;
  const int arfcn = m.ListenArfcn();
  const int band = arfcn >= 0 ? BandOf(arfcn) : BAND_GSM;
  const double stored = StoredGmagic(band == BAND_DCS ? BAND_DCS : BAND_GSM);
  const double error = (stored - TrueGmagic(band == BAND_DCS ? BAND_DCS : BAND_GSM)) / 2.0;
  const double value = HandsetInputDbm() + POWER_REPORT_OFFSET + error +
                       m.noise.GaussClipped(POWER_REPORT_SIGMA, 0.4);
  return std::clamp(value, 0.0, 1000.0);
}

double Bench::HandsetRxLevelReport() {
  const int arfcn = impl_->ListenArfcn();
  if (arfcn < 0) return 0.0;
  return RxReportAt(arfcn, HandsetInputDbm());
}

int Bench::BatteryAdcReading() {
  Impl& m = *impl_;
  const uint64_t now = m.Now();
  double value = m.unit.batteryAdcPerVolt * m.FilteredBatteryVolts(now);
  if (faults.batteryNeverSettles) {
    // A creeping reading that drops back only once every 40 counts: never three readings in a
    // row without a rise.
    value = m.unit.batteryAdcPerVolt * m.volts - 20.0 +
            std::fmod(NEVER_SETTLES_RATE * static_cast<double>(now) / 1000.0, 40.0);
  }
  value += m.noise.GaussClipped(m.unit.batteryNoise, 1.0);
  return static_cast<int>(std::lround(std::max(0.0, value)));
}

}  // namespace sim
