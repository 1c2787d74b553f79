#include "production/IdentityCodec.h"

#include <clocale>
#include <cstdio>

#include <locale.h>

namespace identity {
namespace {

std::string Hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", value);
  return buffer;
}

}  // namespace

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<std::string> JoinImeiFields(std::string_view tac, std::string_view fac,
                                          std::string_view serial, std::string_view check) {
  const std::string_view fields[4] = {tac, fac, serial, check};
  std::string imei;
  for (size_t i = 0; i < 4; ++i) {
    if (fields[i].size() != IMEI_FIELD_LENGTHS[i] || !AllDigits(fields[i])) return std::nullopt;
    imei += fields[i];
  }
  return imei;
}

std::string ImeiWriteLine(std::string_view imei) {
  std::string line = "stw 60";
  for (size_t i = 0; i + 1 < IMEI_DIGITS; i += 2) {
    line += " 0x";
    line += imei[i + 1];
    line += imei[i];
  }
  line += " 0x";
  line += imei[IMEI_DIGITS - 1];
  return line;
}

std::string DecodeImei(const uint8_t* data) {
  std::string digits;
  for (size_t i = 0; i + 1 < IMEI_BYTES; ++i) {
    digits += static_cast<char>('0' + (data[i] & 0x0F));
    digits += static_cast<char>('0' + (data[i] >> 4));
  }
  digits += static_cast<char>('0' + (data[IMEI_BYTES - 1] & 0x0F));
  return digits;
}

void SplitImei(std::string_view imei, std::string fields[4]) {
  size_t at = 0;
  for (size_t i = 0; i < 4; ++i) {
    fields[i] = std::string(imei.substr(std::min(at, imei.size()), IMEI_FIELD_LENGTHS[i]));
    at += IMEI_FIELD_LENGTHS[i];
  }
}

std::optional<std::string> HwVersionWriteLine(std::string_view text) {
  if (text.size() != HW_VERSION_CHARS) return std::nullopt;
  std::string line = "stw 11";
  for (char c : text) {
    // Above 0x7F the character would be sign-extended into a value no table byte holds.
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    line += ' ' + Hex(static_cast<unsigned char>(c));
  }
  return line;
}

std::string DecodeText(const uint8_t* data, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && data[i] != 0; ++i) text += static_cast<char>(data[i]);
  return text;
}

std::optional<std::string> SerialWriteLine(std::string_view digits) {
  if (digits.size() != SERIAL_DIGITS || !AllDigits(digits)) return std::nullopt;
  std::string line = "stw 61";
  for (size_t i = 0; i < SERIAL_DIGITS; i += 2) {
    line += " 0x";
    line += digits[i];
    line += digits[i + 1];
  }
  return line;
}

std::string DecodeSerial(const uint8_t* data) {
  std::string digits;
  for (size_t i = 0; i < SERIAL_BYTES; ++i) {
    digits += static_cast<char>('0' + (data[i] >> 4));
    digits += static_cast<char>('0' + (data[i] & 0x0F));
  }
  return digits;
}

std::string RtcWriteLine(const std::tm& t) {
  // tm_wday counts 0 = Sunday already: the handset's weekday is the same number.
  const int values[7] = {
      t.tm_wday, t.tm_year + 1900 - 2000, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  std::string line = "stw 20";
  for (int v : values) line += ' ' + Hex(static_cast<unsigned>(v));
  return line;
}

std::string FormatTime(const std::tm& t) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char buffer[96];
  const size_t n = strftime_l(buffer, sizeof buffer, TIME_FORMAT, &t, c_locale);
  return std::string(buffer, n);
}

int RegionCode(std::string_view comboText) {
  if (comboText == "HK") return REGION_HK;
  if (comboText == "CH") return REGION_CH;
  return 0;
}

std::optional<std::string> RegionWriteLine(std::string_view comboText) {
  const int code = RegionCode(comboText);
  if (code == 0) return std::nullopt;
  return "spw 100 " + std::to_string(code);
}

std::string RegionText(int value) {
  if (value == REGION_HK) return "HK";
  if (value == REGION_CH) return "CH";
  return "Not Support";
}

}  // namespace identity
