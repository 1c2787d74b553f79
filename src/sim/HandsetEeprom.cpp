#include "sim/HandsetEeprom.h"

#include <cmath>

#include "sim/GsmChannels.h"
#include "sim/HandsetUnit.h"

namespace sim {
namespace {

// Predicted DAC per level: GSM levels 5-19, DCS levels 0-15 (the station's level tables).
constexpr int GSM_NOMINAL[] = {580, 572, 549, 526, 503, 483, 463, 446,
                               429, 418, 408, 396, 381, 366, 351};
constexpr int DCS_NOMINAL[] = {590, 576, 556, 533, 510, 487, 467, 445,
                               426, 407, 392, 377, 365, 353, 345, 337};

constexpr uint16_t DEFAULT_GMAGIC = 195;
constexpr std::array<uint16_t, 5> GSM_ITEM_31 = {DEFAULT_GMAGIC, 40, 0, 39, 40};
constexpr std::array<uint16_t, 5> DCS_ITEM_47 = {DEFAULT_GMAGIC, 40, 0, 41, 42};

// Raised-cosine ramps: template i rises to a level of 10 - 4 i / 30 chart units.
std::array<int8_t, 32> DefaultRamp(int index) {
  std::array<int8_t, 32> t{};
  const double total = 31.0 * (10.0 - 4.0 * index / 30.0);
  const double pi = 3.141592653589793;
  for (int j = 0; j < 16; ++j) {
    const double w = (std::cos(pi * j / 16) - std::cos(pi * (j + 1) / 16)) / 2;
    const int v = static_cast<int>(std::lround(total * w));
    t[j] = static_cast<int8_t>(v);
    t[16 + j] = static_cast<int8_t>(v);
  }
  return t;
}

}  // namespace

int NominalApcDac(int bandCode, int index) {
  if (bandCode == BAND_DCS) {
    if (index >= 29) return DCS_NOMINAL[0];  // levels 129-131 take level 100's value
    if (index > 15) return DCS_NOMINAL[15];
    return index < 0 ? 0 : DCS_NOMINAL[index];
  }
  if (index < 0) return 0;
  if (index <= 5) return GSM_NOMINAL[0];  // levels 0-4 take level 5's value
  if (index > 19) return GSM_NOMINAL[14];
  return GSM_NOMINAL[index - 5];
}

uint16_t HandsetEeprom::U16(size_t address) const {
  return static_cast<uint16_t>(Byte(address) | (Byte(address + 1) << 8));
}

void HandsetEeprom::SetU16(size_t address, uint16_t value) {
  SetByte(address, static_cast<uint8_t>(value & 0xFF));
  SetByte(address + 1, static_cast<uint8_t>(value >> 8));
}

size_t HandsetEeprom::ApcAddress(int bandCode, int subBand, int index) const {
  if (index < 0 || index >= APC_LEVELS) return SIZE;
  if (bandCode == BAND_GSM && subBand >= 1 && subBand <= 4) {
    return GSM_APC + static_cast<size_t>((subBand - 1) * APC_LEVELS + index) * 2;
  }
  if (bandCode == BAND_DCS && subBand >= 1 && subBand <= 3) {
    return DCS_APC + static_cast<size_t>((subBand - 1) * APC_LEVELS + index) * 2;
  }
  return SIZE;
}

int HandsetEeprom::Apc(int bandCode, int subBand, int index) const {
  const size_t a = ApcAddress(bandCode, subBand, index);
  return a < SIZE ? U16(a) : 0;
}

bool HandsetEeprom::SetApc(int bandCode, int subBand, int index, int dac) {
  const size_t a = ApcAddress(bandCode, subBand, index);
  if (a >= SIZE) return false;
  SetU16(a, static_cast<uint16_t>(dac));
  return true;
}

int16_t HandsetEeprom::RxCorrection(int index) const {
  if (index < 0 || index >= 17) return 0;
  return static_cast<int16_t>(U16(RX_CORRECTIONS + static_cast<size_t>(index) * 2));
}

void HandsetEeprom::SetRxCorrection(int index, int16_t value) {
  if (index < 0 || index >= 17) return;
  SetU16(RX_CORRECTIONS + static_cast<size_t>(index) * 2, static_cast<uint16_t>(value));
}

std::array<uint16_t, 5> HandsetEeprom::RfItem(int item) const {
  std::array<uint16_t, 5> v{};
  if (item < 0 || item >= RF_ITEM_COUNT) return v;
  for (size_t i = 0; i < 5; ++i) v[i] = U16(RF_ITEMS + static_cast<size_t>(item) * 10 + i * 2);
  return v;
}

void HandsetEeprom::SetRfItem(int item, const std::array<uint16_t, 5>& values) {
  if (item < 0 || item >= RF_ITEM_COUNT) return;
  for (size_t i = 0; i < 5; ++i)
    SetU16(RF_ITEMS + static_cast<size_t>(item) * 10 + i * 2, values[i]);
}

std::array<int8_t, 32> HandsetEeprom::RampTemplate(int index) const {
  std::array<int8_t, 32> t{};
  if (index < 0 || index >= RAMP_TEMPLATE_COUNT) return t;
  for (size_t i = 0; i < 32; ++i) {
    t[i] = static_cast<int8_t>(Byte(RAMP_TEMPLATES + static_cast<size_t>(index) * 32 + i));
  }
  return t;
}

void HandsetEeprom::SetRampTemplate(int index, const std::array<int8_t, 32>& values) {
  if (index < 0 || index >= RAMP_TEMPLATE_COUNT) return;
  for (size_t i = 0; i < 32; ++i) {
    SetByte(RAMP_TEMPLATES + static_cast<size_t>(index) * 32 + i, static_cast<uint8_t>(values[i]));
  }
}

uint16_t HandsetEeprom::RfParam(int number) const {
  if (number < 0 || number >= RF_PARAM_COUNT) return 0;
  return U16(RF_PARAMS + static_cast<size_t>(number) * 2);
}

void HandsetEeprom::SetRfParam(int number, uint16_t value) {
  if (number < 0 || number >= RF_PARAM_COUNT) return;
  SetU16(RF_PARAMS + static_cast<size_t>(number) * 2, value);
}

uint16_t HandsetEeprom::SpecialParam(int number) const {
  if (number < 0 || number >= SPECIAL_PARAM_COUNT) return 0;
  return U16(SPECIAL_PARAMS + static_cast<size_t>(number) * 2);
}

void HandsetEeprom::SetSpecialParam(int number, uint16_t value) {
  if (number < 0 || number >= SPECIAL_PARAM_COUNT) return;
  SetU16(SPECIAL_PARAMS + static_cast<size_t>(number) * 2, value);
}

std::string HandsetEeprom::ImeiDigits() const {
  std::string s;
  for (size_t i = 0; i < 7; ++i) {
    s += static_cast<char>('0' + (Byte(IMEI + i) & 0x0F) % 10);
    s += static_cast<char>('0' + (Byte(IMEI + i) >> 4) % 10);
  }
  s += static_cast<char>('0' + (Byte(IMEI + 7) & 0x0F) % 10);
  return s;
}

void HandsetEeprom::SetImei(const uint8_t packed[8]) {
  for (size_t i = 0; i < 8; ++i) SetByte(IMEI + i, packed[i]);
}

void HandsetEeprom::CountSave(int which) {
  const size_t a = SAVE_COUNTERS + static_cast<size_t>(which) * 2;
  const uint16_t n = U16(a);
  SetU16(a, n == 0xFFFF ? 1 : static_cast<uint16_t>(n + 1));
}

uint16_t HandsetEeprom::Saves(int which) const {
  const uint16_t n = U16(SAVE_COUNTERS + static_cast<size_t>(which) * 2);
  return n == 0xFFFF ? 0 : n;
}

void HandsetEeprom::ResetRfCalibration(const HandsetUnit& /*unit*/) {
  for (int idx = 0; idx < APC_LEVELS; ++idx) {
    for (int sb = 1; sb <= 4; ++sb) SetApc(BAND_GSM, sb, idx, NominalApcDac(BAND_GSM, idx));
    for (int sb = 1; sb <= 3; ++sb) SetApc(BAND_DCS, sb, idx, NominalApcDac(BAND_DCS, idx));
  }
  for (int i = 0; i < 17; ++i) SetRxCorrection(i, 0);
  for (int item = 0; item < RF_ITEM_COUNT; ++item) SetRfItem(item, {0, 0, 0, 0, 0});
  SetRfItem(31, GSM_ITEM_31);
  SetRfItem(47, DCS_ITEM_47);
  for (int t = 0; t < RAMP_TEMPLATE_COUNT; ++t) SetRampTemplate(t, DefaultRamp(t));
}

void HandsetEeprom::FullReset(const HandsetUnit& unit) {
  for (size_t a = RF_PARAMS; a < SIZE; ++a) bytes_[a] = 0xFF;
  for (int n = 0; n < RF_PARAM_COUNT; ++n) SetRfParam(n, 0);
  ResetRfCalibration(unit);
  for (int n = 0; n < SPECIAL_PARAM_COUNT; ++n) SetSpecialParam(n, 0);
  SetSpecialParam(51, 24);   // main LCD contrast
  SetSpecialParam(52, 24);   // sub LCD volume
  SetSpecialParam(53, 3);    // sub LCD V0
  SetSpecialParam(54, 620);  // battery reference at 4.18 V
  SetSpecialParam(100, 0);   // region: not programmed
}

void HandsetEeprom::FillFactoryDefaults(const HandsetUnit& unit) {
  bytes_.fill(0xFF);
  uint8_t packed[8] = {};
  for (size_t i = 0; i < 7; ++i) {
    packed[i] =
        static_cast<uint8_t>((unit.imei[2 * i] - '0') | ((unit.imei[2 * i + 1] - '0') << 4));
  }
  packed[7] = static_cast<uint8_t>(unit.imei[14] - '0');
  SetImei(packed);
  for (size_t i = 0; i < 3; ++i) {
    SetByte(HW_VERSION + i, static_cast<uint8_t>(unit.hwVersion[i]));
    SetByte(SERIAL + i, static_cast<uint8_t>(((unit.serial[2 * i] - '0') << 4) |
                                             (unit.serial[2 * i + 1] - '0')));
  }
  FullReset(unit);
}

}  // namespace sim
