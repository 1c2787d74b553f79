#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

struct HandsetUnit;

// The simulated handset's EEPROM image. Every parameter the station writes lands here at once,
// so a dump (64-byte blocks through "spw 55"/"str 55") shows what a calibration wrote.
// 16-bit values are stored low byte first.
//
//   0x000  identity: IMEI (8 bytes packed BCD), HW version (3), serial number (3)
//   0x040  RF parameters 0-31 (u16)
//   0x080  GSM APC: sub-bands 1, 2, 3, E-GSM, 32 levels each (u16)
//   0x180  DCS APC: sub-bands 1-3, 32 levels (level as held minus 100) each (u16)
//   0x240  RX channel corrections, 17 entries (s16)
//   0x280  RF table items 0-63, five u16 each (item 31: GSM GMAGIC..., item 47: DCS)
//   0x500  ramp templates 0-30: 16 up then 16 down signed bytes each
//   0x8E0  special parameters 0-127 (u16; 51-53 LCD, 54 battery reference, 100 region)
//   0x9E0  save counters (u16: "se 1", "se 11"), rest erased (0xFF)
class HandsetEeprom {
 public:
  static constexpr size_t SIZE = 2624;
  static constexpr size_t BLOCK = 64;

  static constexpr size_t IMEI = 0x000;
  static constexpr size_t HW_VERSION = 0x008;
  static constexpr size_t SERIAL = 0x00B;
  static constexpr size_t RF_PARAMS = 0x040;
  static constexpr int RF_PARAM_COUNT = 32;
  static constexpr size_t GSM_APC = 0x080;
  static constexpr size_t DCS_APC = 0x180;
  static constexpr int APC_LEVELS = 32;
  static constexpr size_t RX_CORRECTIONS = 0x240;
  static constexpr size_t RF_ITEMS = 0x280;
  static constexpr int RF_ITEM_COUNT = 64;
  static constexpr size_t RAMP_TEMPLATES = 0x500;
  static constexpr int RAMP_TEMPLATE_COUNT = 31;
  static constexpr size_t SPECIAL_PARAMS = 0x8E0;
  static constexpr int SPECIAL_PARAM_COUNT = 128;
  static constexpr size_t SAVE_COUNTERS = 0x9E0;

  HandsetEeprom() { bytes_.fill(0xFF); }

  uint8_t Byte(size_t address) const { return address < SIZE ? bytes_[address] : 0xFF; }
  void SetByte(size_t address, uint8_t value) {
    if (address < SIZE) bytes_[address] = value;
  }
  uint16_t U16(size_t address) const;
  void SetU16(size_t address, uint16_t value);
  const std::array<uint8_t, SIZE>& Bytes() const { return bytes_; }

  // Band 2 (GSM: sub-bands 1-4) or 3 (DCS: 1-3); index 0-31. Out of range reads 0.
  int Apc(int bandCode, int subBand, int index) const;
  bool SetApc(int bandCode, int subBand, int index, int dac);
  int16_t RxCorrection(int index) const;  // index 0-16
  void SetRxCorrection(int index, int16_t value);
  std::array<uint16_t, 5> RfItem(int item) const;
  void SetRfItem(int item, const std::array<uint16_t, 5>& values);
  std::array<int8_t, 32> RampTemplate(int index) const;
  void SetRampTemplate(int index, const std::array<int8_t, 32>& values);
  uint16_t RfParam(int number) const;
  void SetRfParam(int number, uint16_t value);
  uint16_t SpecialParam(int number) const;
  void SetSpecialParam(int number, uint16_t value);

  std::string ImeiDigits() const;  // 15 digits from the packed form
  void SetImei(const uint8_t packed[8]);
  void CountSave(int which);  // 0: "se 1", 1: "se 11"
  uint16_t Saves(int which) const;

  // Factory content of a fresh unit: identity, nominal APC values, zero RX corrections,
  // default GMAGIC (195), ramp templates, LCD and battery defaults.
  void FillFactoryDefaults(const HandsetUnit& unit);
  // "se 5": RF calibration data back to the factory values (APC, RX, RF items, templates).
  void ResetRfCalibration(const HandsetUnit& unit);
  // "se 6": everything but the identity back to the factory values.
  void FullReset(const HandsetUnit& unit);

 private:
  size_t ApcAddress(int bandCode, int subBand, int index) const;
  std::array<uint8_t, SIZE> bytes_;
};

// Nominal APC DAC of a level table index (GSM: level 0-31; DCS: level as held minus 100),
// as the station's level tables predict it.
int NominalApcDac(int bandCode, int index);

}  // namespace sim
