#include "sim/HandsetCommands.h"

#include <cmath>
#include <cstring>

#include "sim/BenchHandset.h"
#include "sim/GsmChannels.h"
#include "sim/HandsetUnit.h"

namespace sim {
namespace {

// Request layouts: the payload length (opcode included, check byte excluded) each opcode needs.
struct Layout {
  uint8_t opcode;
  size_t minLength;
  uint32_t workMs;  // usual processing time beyond the base latency
};
constexpr Layout LAYOUTS[] = {
    {0x01, 10, 0},  // "11": ten bytes 0x01
    {0x20, 1, 2},   // ti
    {0x21, 2, 2},   // tms A
    {0x22, 3, 0},   // vg E0 00
    {0x23, 3, 3},   // rfe A 00
    {0x24, 5, 4},   // sr A16 V16
    {0x25, 9, 0},   // scw A32 V32
    {0x26, 2, 0},   // scr A
    {0x30, 5, 1},   // rfpw A 00 V16
    {0x31, 2, 0},   // rfpr A
    {0x32, 12, 6},  // rftw A + five u16 (EEPROM write)
    {0x33, 2, 1},   // rftr A
    {0x34, 5, 1},   // rxpw A16 V16
    {0x35, 2, 0},   // rxpr A
    {0x36, 5, 2},   // txpw A 00 V16
    {0x37, 2, 0},   // txpr A
    {0x38, 34, 8},  // ttw A + 32 bytes (EEPROM write)
    {0x39, 2, 1},   // ttr A 20
    {0x44, 5, 0},   // mpw A16 V16
    {0x45, 2, 0},   // mpr A
    {0x50, 5, 3},   // spw A16 V16
    {0x51, 3, 0},   // spr A16
    {0x52, 2, 5},   // stw A bytes...
    {0x53, 2, 1},   // str A
    {0x54, 3, 0},   // se A16
};

const Layout* FindLayout(uint8_t opcode) {
  for (const Layout& l : LAYOUTS) {
    if (l.opcode == opcode) return &l;
  }
  return nullptr;
}

// Reads the argument bytes of a payload whose length was checked against its layout.
struct Args {
  const uint8_t* p;
  size_t n;
  uint8_t U8(size_t at) const { return at < n ? p[at] : 0; }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(U8(at) | (U8(at + 1) << 8)); }
  uint32_t U32(size_t at) const {
    return static_cast<uint32_t>(U16(at)) | (static_cast<uint32_t>(U16(at + 2)) << 16);
  }
};

void PutU16(std::vector<uint8_t>& d, uint32_t v) {
  d.push_back(static_cast<uint8_t>(v & 0xFF));
  d.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& d, uint32_t v) {
  PutU16(d, v & 0xFFFF);
  PutU16(d, v >> 16);
}

HandsetReply Status(uint8_t status) {
  HandsetReply r;
  r.status = status;
  return r;
}

HandsetReply Value16(uint32_t v) {
  HandsetReply r;
  PutU16(r.data, v);
  return r;
}

// Band and table index of the level selected with "txpw 1"; false for none.
bool SelectedLevel(const Bench::Handset& h, int* band, int* index) {
  const int level = h.txLevel;
  if (level >= 0 && level < HandsetEeprom::APC_LEVELS) {
    *band = BAND_GSM;
    *index = level;
    return true;
  }
  if (level >= 100 && level < 100 + HandsetEeprom::APC_LEVELS) {
    *band = BAND_DCS;
    *index = level - 100;
    return true;
  }
  return false;
}

// "spw 21/22/23" (GSM sub-bands 2, 3, E-GSM) and "spw 31/32" (DCS 2, 3); "txpw 4" is sub-band 1.
bool ApcParam(int number, int* band, int* subBand) {
  switch (number) {
    case 21:
      *band = BAND_GSM, *subBand = 2;
      return true;
    case 22:
      *band = BAND_GSM, *subBand = 3;
      return true;
    case 23:
      *band = BAND_GSM, *subBand = 4;
      return true;
    case 31:
      *band = BAND_DCS, *subBand = 2;
      return true;
    case 32:
      *band = BAND_DCS, *subBand = 3;
      return true;
    default:
      return false;
  }
}

constexpr int MAX_DAC = 1023;

HandsetReply TestInit(Bench& bench) {
  Bench::Handset& h = bench.handset();
  h.testInit = true;
  h.testMode = 0;
  h.rfEnable = 0;
  h.rxContinuous = false;
  bench.SetSignalling(false);
  return {};
}

HandsetReply TestModeSet(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  if (!h.testInit) return Status(STATUS_WRONG_MODE);
  h.testMode = a.U8(1);
  if (h.testMode != 1) {
    h.rfEnable = 0;
    h.rxContinuous = false;
  }
  return {};
}

HandsetReply RfEnable(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const int bits = a.U8(1);
  if (bits != 0 && h.testMode != 1) return Status(STATUS_WRONG_MODE);
  h.rfEnable = bits;
  if (bits == 0) h.rxContinuous = false;
  return {};
}

// "sr 1 kind": the receiver's reports. Bytes after the sub-code: high byte of the first argument,
// kind, then kind 1: RX level x 2 (high, low); kind 2: 0, power x 64 (low, high); kind 3: RX
// level x 2 (high, low), power x 64 (low, high). Six bytes in every kind.
HandsetReply StatsRead(Bench& bench, const Args& a) {
  const uint16_t what = a.U16(1);
  const uint16_t kind = a.U16(3);
  if (what != 1 || kind < 1 || kind > 3) return Status(STATUS_BAD_ARGUMENT);
  const uint32_t rx2 = static_cast<uint32_t>(2.0 * bench.HandsetRxLevelReport());
  const double power = bench.HandsetPowerReport();
  const uint32_t pm64 = static_cast<uint32_t>(std::lround(std::min(power * 64.0, 65535.0)));
  HandsetReply r;
  r.data = {static_cast<uint8_t>(what >> 8), static_cast<uint8_t>(kind), 0, 0, 0, 0};
  const uint8_t rxHi = static_cast<uint8_t>(rx2 >> 8), rxLo = static_cast<uint8_t>(rx2 & 0xFF);
  const uint8_t pmLo = static_cast<uint8_t>(pm64 & 0xFF), pmHi = static_cast<uint8_t>(pm64 >> 8);
  if (kind == 1) r.data[2] = rxHi, r.data[3] = rxLo;
  if (kind == 2) r.data[3] = pmLo, r.data[4] = pmHi;
  if (kind == 3) r.data[2] = rxHi, r.data[3] = rxLo, r.data[4] = pmLo, r.data[5] = pmHi;
  return r;
}

HandsetReply RfParamWrite(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const int number = a.U8(1);
  const uint16_t value = a.U16(3);
  if (number >= HandsetEeprom::RF_PARAM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  if ((number == 1 || number == 2) && !ValidArfcn(value)) return Status(STATUS_BAD_ARGUMENT);
  h.rfParams[number] = value;
  // Channels and the AFC controls are test settings; the rest (INIT_AFC...) is calibration data.
  if (number != 1 && number != 2 && number != 8 && number != 9) {
    h.eeprom.SetRfParam(number, value);
  }
  return {};
}

HandsetReply RfParamRead(Bench& bench, const Args& a) {
  const int number = a.U8(1);
  if (number >= HandsetEeprom::RF_PARAM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  return Value16(bench.handset().rfParams[number]);
}

HandsetReply RfTableWrite(Bench& bench, const Args& a) {
  const int item = a.U8(1);
  if (item >= HandsetEeprom::RF_ITEM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  std::array<uint16_t, 5> v{};
  for (size_t i = 0; i < 5; ++i) v[i] = a.U16(2 + 2 * i);
  bench.handset().eeprom.SetRfItem(item, v);
  return {};
}

HandsetReply RfTableRead(Bench& bench, const Args& a) {
  const int item = a.U8(1);
  if (item >= HandsetEeprom::RF_ITEM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  HandsetReply r;
  for (uint16_t v : bench.handset().eeprom.RfItem(item)) PutU16(r.data, v);
  return r;
}

HandsetReply RxParamWrite(Bench& bench, const Args& a) {
  const uint16_t number = a.U16(1);
  if (number >= bench.handset().rxParams.size()) return Status(STATUS_BAD_ARGUMENT);
  bench.handset().rxParams[number] = a.U16(3);
  return {};
}

HandsetReply RxParamRead(Bench& bench, const Args& a) {
  const int number = a.U8(1);
  if (static_cast<size_t>(number) >= bench.handset().rxParams.size()) {
    return Status(STATUS_BAD_ARGUMENT);
  }
  return Value16(bench.handset().rxParams[number]);
}

HandsetReply TxParamWrite(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const int what = a.U8(1);
  const uint16_t value = a.U16(3);
  if (what == 1) {
    const bool gsm = value < HandsetEeprom::APC_LEVELS;
    const bool dcs = value >= 100 && value < 100 + HandsetEeprom::APC_LEVELS;
    if (!gsm && !dcs) return Status(STATUS_BAD_ARGUMENT);
    h.txLevel = value;
    return {};
  }
  if (what == 4) {
    int band = 0, index = 0;
    if (value > MAX_DAC || !SelectedLevel(h, &band, &index)) return Status(STATUS_BAD_ARGUMENT);
    h.eeprom.SetApc(band, 1, index, value);
    return {};
  }
  return Status(STATUS_BAD_ARGUMENT);
}

HandsetReply TxParamRead(Bench& bench, const Args& a) {
  const Bench::Handset& h = bench.handset();
  const int what = a.U8(1);
  if (what == 1) return Value16(static_cast<uint32_t>(h.txLevel));
  if (what == 4) {
    int band = 0, index = 0;
    if (!SelectedLevel(h, &band, &index)) return Status(STATUS_BAD_ARGUMENT);
    return Value16(static_cast<uint32_t>(h.eeprom.Apc(band, 1, index)));
  }
  return Status(STATUS_BAD_ARGUMENT);
}

HandsetReply TemplateWrite(Bench& bench, const Args& a) {
  const int index = a.U8(1);
  if (index >= HandsetEeprom::RAMP_TEMPLATE_COUNT) return Status(STATUS_BAD_ARGUMENT);
  std::array<int8_t, 32> t{};
  for (size_t i = 0; i < 32; ++i) t[i] = static_cast<int8_t>(a.U8(2 + i));
  bench.handset().eeprom.SetRampTemplate(index, t);
  return {};
}

HandsetReply TemplateRead(Bench& bench, const Args& a) {
  const int index = a.U8(1);
  if (index >= HandsetEeprom::RAMP_TEMPLATE_COUNT) return Status(STATUS_BAD_ARGUMENT);
  HandsetReply r;
  for (int8_t v : bench.handset().eeprom.RampTemplate(index)) {
    r.data.push_back(static_cast<uint8_t>(v));
  }
  return r;
}

HandsetReply SpecialParamWrite(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const uint16_t number = a.U16(1);
  const uint16_t value = a.U16(3);
  int band = 0, subBand = 0;
  if (ApcParam(number, &band, &subBand)) {
    int levelBand = 0, index = 0;
    if (value > MAX_DAC || !SelectedLevel(h, &levelBand, &index) || levelBand != band) {
      return Status(STATUS_BAD_ARGUMENT);
    }
    h.eeprom.SetApc(band, subBand, index, value);
    return {};
  }
  switch (number) {
    case 1:
      if (!ValidArfcn(value)) return Status(STATUS_BAD_ARGUMENT);
      h.rxCalChannel = value;
      return {};
    case 11:
      h.eeprom.SetRxCorrection(RxCalIndex(h.rxCalChannel), static_cast<int16_t>(value));
      return {};
    case 14:
      if (!ValidArfcn(value)) return Status(STATUS_BAD_ARGUMENT);
      h.rxContChannel = value;
      return {};
    case 15:
      if (value > 63) return Status(STATUS_BAD_ARGUMENT);
      h.agcValue = value;
      return {};
    case 55:
      if (value >= HandsetEeprom::SIZE) return Status(STATUS_BAD_ARGUMENT);
      h.eepromAddress = value;
      return {};
    case 56:
      h.ledPattern = value;
      return {};
    case 72:
      h.micLoop = value;
      return {};
    case 73:
      h.speakerGain = value;
      return {};
    case 74:
      h.speakerTone = value;
      return {};
    default:
      break;
  }
  if (number >= HandsetEeprom::SPECIAL_PARAM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  h.eeprom.SetSpecialParam(number, value);  // 51-53 LCD, 54 battery reference, 100 region...
  return {};
}

HandsetReply SpecialParamRead(Bench& bench, const Args& a) {
  const Bench::Handset& h = bench.handset();
  const uint16_t number = a.U16(1);
  int band = 0, subBand = 0;
  if (ApcParam(number, &band, &subBand)) {
    int levelBand = 0, index = 0;
    if (!SelectedLevel(h, &levelBand, &index) || levelBand != band) {
      return Status(STATUS_BAD_ARGUMENT);
    }
    return Value16(static_cast<uint32_t>(h.eeprom.Apc(band, subBand, index)));
  }
  switch (number) {
    case 1:
      return Value16(static_cast<uint32_t>(h.rxCalChannel));
    case 11:
      return Value16(static_cast<uint16_t>(h.eeprom.RxCorrection(RxCalIndex(h.rxCalChannel))));
    case 14:
      return Value16(static_cast<uint32_t>(h.rxContChannel));
    case 15:
      return Value16(static_cast<uint32_t>(h.agcValue));
    case 54:
      return Value16(static_cast<uint32_t>(bench.BatteryAdcReading()));  // live ADC
    case 55:
      return Value16(h.eepromAddress);
    case 56:
      return Value16(static_cast<uint32_t>(h.ledPattern));
    case 72:
      return Value16(static_cast<uint32_t>(h.micLoop));
    case 73:
      return Value16(static_cast<uint32_t>(h.speakerGain));
    case 74:
      return Value16(static_cast<uint32_t>(h.speakerTone));
    default:
      break;
  }
  if (number >= HandsetEeprom::SPECIAL_PARAM_COUNT) return Status(STATUS_BAD_ARGUMENT);
  return Value16(h.eeprom.SpecialParam(number));
}

int64_t ClockNow(const Bench& bench, const Bench::Handset& h) {
  const uint64_t now = bench.NowMs();
  const uint64_t elapsed = now > h.rtcSetAtMs ? now - h.rtcSetAtMs : 0;
  return h.rtcBaseSeconds + static_cast<int64_t>(elapsed / 1000);
}

HandsetReply TableWrite(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const int table = a.U8(1);
  const size_t count = a.n - 2;
  const uint8_t* bytes = a.p + 2;
  auto need = [&](size_t n) { return count >= n; };
  switch (table) {
    case 11:
      if (!need(3)) return Status(STATUS_BAD_LENGTH);
      for (size_t i = 0; i < 3; ++i) h.eeprom.SetByte(HandsetEeprom::HW_VERSION + i, bytes[i]);
      return {};
    case 20: {
      if (!need(7)) return Status(STATUS_BAD_LENGTH);
      const int64_t s =
          RtcSeconds(2000 + bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6]);
      if (s < 0) return Status(STATUS_BAD_ARGUMENT);
      h.rtcBaseSeconds = s;
      h.rtcSetAtMs = bench.NowMs();
      return {};
    }
    case 55:  // service write at the "spw 55" address
      for (size_t i = 0; i < count; ++i) h.eeprom.SetByte(h.eepromAddress + i, bytes[i]);
      return {};
    case 60:
      if (!need(8)) return Status(STATUS_BAD_LENGTH);
      h.eeprom.SetImei(bytes);
      return {};
    case 61:
      if (!need(3)) return Status(STATUS_BAD_LENGTH);
      for (size_t i = 0; i < 3; ++i) h.eeprom.SetByte(HandsetEeprom::SERIAL + i, bytes[i]);
      return {};
    default:
      return Status(STATUS_BAD_ARGUMENT);  // 10 (software version) is read only
  }
}

HandsetReply TableRead(Bench& bench, const Args& a) {
  const Bench::Handset& h = bench.handset();
  const int table = a.U8(1);
  HandsetReply r;
  auto copy = [&](size_t address, size_t n) {
    for (size_t i = 0; i < n; ++i) r.data.push_back(h.eeprom.Byte(address + i));
  };
  switch (table) {
    case 10: {
      r.data.assign(14, 0);
      std::memcpy(r.data.data(), HANDSET_SW_VERSION,
                  std::min<size_t>(14, sizeof HANDSET_SW_VERSION - 1));
      return r;
    }
    case 11:
      copy(HandsetEeprom::HW_VERSION, 3);
      return r;
    case 20:
      r.data = RtcBytes(ClockNow(bench, h));
      return r;
    case 55:
      if (h.eepromAddress >= HandsetEeprom::SIZE) return Status(STATUS_BAD_ARGUMENT);
      copy(h.eepromAddress, HandsetEeprom::BLOCK);
      return r;
    case 60:
      copy(HandsetEeprom::IMEI, 8);
      return r;
    case 61:
      copy(HandsetEeprom::SERIAL, 3);
      return r;
    default:
      return Status(STATUS_BAD_ARGUMENT);
  }
}

HandsetReply SpecialEnable(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  const uint16_t what = a.U16(1);
  HandsetReply r;
  switch (what) {
    case 1:  // save the RF calibration
      h.eeprom.CountSave(0);
      r.workMs = 120;
      return r;
    case 5:  // target reset: RF calibration data back to factory values
      h.eeprom.ResetRfCalibration(bench.Unit());
      r.workMs = 200;
      return r;
    case 6:  // full EEPROM reset (identity kept)
      h.eeprom.FullReset(bench.Unit());
      r.workMs = 450;
      return r;
    case 11:  // save the logic data
      h.eeprom.CountSave(1);
      r.workMs = 80;
      return r;
    case 30:  // receiver on continuously at the "spw 14" channel
      if (h.testMode != 1) return Status(STATUS_WRONG_MODE);
      h.rxContinuous = true;
      return r;
    case 53:
      h.backlight = true;
      return r;
    case 54:
      h.backlight = false;
      return r;
    case 100:  // back to signalling and dial the test call: the answer goes out first
      r.after = [&bench] {
        Bench::Handset& hs = bench.handset();
        hs.testInit = false;
        hs.testMode = 0;
        hs.rfEnable = 0;
        hs.rxContinuous = false;
        bench.SetSignalling(true);
        // A test set that only waits for the connection (4400) sees this call; one that pages
        // the handset meanwhile (8960) joins it.
        bench.OriginateCall();
      };
      return r;
    case 101:  // signalling off: a call is released
      bench.SetSignalling(false);
      return r;
    case 300:  // restart: no answer, deaf while booting
      r.answer = false;
      bench.RestartHandset();
      return r;
    default:
      if (what >= 50 && what <= 59) {
        h.lastLogicTest = what;
        return r;
      }
      return Status(STATUS_BAD_ARGUMENT);
  }
}

HandsetReply TestCode(const Args& a) {
  for (size_t i = 1; i < 10; ++i) {
    if (a.U8(i) != 0x01) return Status(STATUS_BAD_ARGUMENT);
  }
  return {};
}

HandsetReply Dispatch(Bench& bench, const Args& a) {
  Bench::Handset& h = bench.handset();
  switch (a.p[0]) {
    case 0x01:
      return TestCode(a);
    case 0x20:
      return TestInit(bench);
    case 0x21:
      return TestModeSet(bench, a);
    case 0x22:
      return Value16(0x0106);  // protocol version, answers "vg 0xe0"
    case 0x23:
      return RfEnable(bench, a);
    case 0x24:
      return StatsRead(bench, a);
    case 0x25:
      h.statsConfig[a.U32(1)] = a.U32(5);
      return {};
    case 0x26: {
      HandsetReply r;
      const auto it = h.statsConfig.find(a.U8(1));
      PutU32(r.data, it == h.statsConfig.end() ? 0 : it->second);
      return r;
    }
    case 0x30:
      return RfParamWrite(bench, a);
    case 0x31:
      return RfParamRead(bench, a);
    case 0x32:
      return RfTableWrite(bench, a);
    case 0x33:
      return RfTableRead(bench, a);
    case 0x34:
      return RxParamWrite(bench, a);
    case 0x35:
      return RxParamRead(bench, a);
    case 0x36:
      return TxParamWrite(bench, a);
    case 0x37:
      return TxParamRead(bench, a);
    case 0x38:
      return TemplateWrite(bench, a);
    case 0x39:
      return TemplateRead(bench, a);
    case 0x44:
      h.memoryWords[a.U16(1)] = a.U16(3);
      return {};
    case 0x45: {
      const auto it = h.memoryWords.find(a.U8(1));
      return Value16(it == h.memoryWords.end() ? 0 : it->second);
    }
    case 0x50:
      return SpecialParamWrite(bench, a);
    case 0x51:
      return SpecialParamRead(bench, a);
    case 0x52:
      return TableWrite(bench, a);
    case 0x53:
      return TableRead(bench, a);
    case 0x54:
      return SpecialEnable(bench, a);
    default:
      return Status(STATUS_UNKNOWN);
  }
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

const int64_t DAYS_TO_2000 = DaysFromCivil(2000, 1, 1);

}  // namespace

int64_t RtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  static constexpr int MONTH_DAYS[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > MONTH_DAYS[month - 1] || hour > 23 ||
      minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0 || year < 2000) {
    return -1;
  }
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return -1;
  const int64_t days = DaysFromCivil(year, month, day) - DAYS_TO_2000;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::vector<uint8_t> RtcBytes(int64_t secondsSince2000) {
  const int64_t days = secondsSince2000 / 86400;
  const int64_t rest = secondsSince2000 % 86400;
  int64_t y = 0;
  int m = 0, d = 0;
  CivilFromDays(days + DAYS_TO_2000, &y, &m, &d);
  const int64_t weekday = ((days + DAYS_TO_2000) % 7 + 7 + 4) % 7;  // 1970-01-01: Thursday
  return {static_cast<uint8_t>(weekday),     static_cast<uint8_t>(y - 2000),
          static_cast<uint8_t>(m),           static_cast<uint8_t>(d),
          static_cast<uint8_t>(rest / 3600), static_cast<uint8_t>(rest / 60 % 60),
          static_cast<uint8_t>(rest % 60)};
}

HandsetReply ExecuteRequest(Bench& bench, const uint8_t* payload, size_t length) {
  if (length == 0) return Status(STATUS_BAD_LENGTH);
  const Layout* layout = FindLayout(payload[0]);
  HandsetReply reply;
  if (layout == nullptr) {
    reply = Status(STATUS_UNKNOWN);
  } else if (length < layout->minLength) {
    reply = Status(STATUS_BAD_LENGTH);
  } else if (auto faulted = IdentityFault(bench, payload, length)) {
    reply = *faulted;
  } else {
    reply = Dispatch(bench, Args{payload, length});
    reply.workMs += layout->workMs;
  }
  reply.subCode = length > 1 ? payload[1] : 0;
  return reply;
}

}  // namespace sim
