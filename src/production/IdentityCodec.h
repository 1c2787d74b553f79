#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// How the identity items travel between the station and the handset: the command lines the
// identity window sends and the decoding of the data bytes of their answers.
namespace identity {

constexpr size_t IMEI_DIGITS = 15;
constexpr size_t IMEI_FIELD_LENGTHS[4] = {6, 2, 6, 1};  // TAC, FAC, serial, check digit
constexpr size_t IMEI_BYTES = 8;
constexpr size_t SW_VERSION_BYTES = 14;
constexpr size_t HW_VERSION_CHARS = 3;
constexpr size_t SERIAL_DIGITS = 6;
constexpr size_t SERIAL_BYTES = 3;

constexpr int TABLE_SW_VERSION = 10;
constexpr int TABLE_HW_VERSION = 11;
constexpr int TABLE_RTC = 20;
constexpr int TABLE_IMEI = 60;
constexpr int TABLE_SERIAL = 61;
constexpr int PARAM_REGION = 100;
constexpr int REGION_HK = 1;
constexpr int REGION_CH = 2;

// The time format of the "Time" field and of the result record, in the C locale.
constexpr char TIME_FORMAT[] = "%H:%M:%S, %A, %B %d, %Y";

bool AllDigits(std::string_view text);

// The four IMEI fields joined, when they hold exactly 6, 2, 6 and 1 decimal digits; the
// commands need exactly these counts, and a letter would go into the handset as a nibble no
// IMEI has.
std::optional<std::string> JoinImeiFields(std::string_view tac, std::string_view fac,
                                          std::string_view serial, std::string_view check);

// "stw 60 0x53 0x00 0x00 0x00 0x21 0x43 0x65 0x5" for 350000001234565: the first fourteen
// digits in pairs, each pair swapped, the check digit alone. imei holds at least 15 characters.
std::string ImeiWriteLine(std::string_view imei);

// The 15 digits of an IMEI read answer (eight data bytes): low nibble first, the check digit
// in the low nibble of the last byte. A nibble above 9 comes out as the character after '9'
// (':' .. '?'), so it can never pass for a digit.
std::string DecodeImei(const uint8_t* data);
// The four display fields of 15 IMEI characters: 6, 2, 6 and 1 characters.
void SplitImei(std::string_view imei, std::string fields[4]);

// "stw 11 0x52 0x30 0x32" for "R02": three printable ASCII characters.
std::optional<std::string> HwVersionWriteLine(std::string_view text);
// Text of a fixed field of the answer, ending at the first zero byte.
std::string DecodeText(const uint8_t* data, size_t count);

// "stw 61 0x12 0x34 0x56" for "123456": six decimal digits, two per byte, first digit high.
std::optional<std::string> SerialWriteLine(std::string_view digits);
std::string DecodeSerial(const uint8_t* data);  // three bytes, high nibble first

// The clock: "stw 20 0x6 0x2 0x8 0x18 0xf 0x7 0x9" for Saturday 24 August 2002 15:07:09, and
// the text "15:07:09, Saturday, August 24, 2002" (English names whatever the user's locale).
std::string RtcWriteLine(const std::tm& local);
std::string FormatTime(const std::tm& local);

// "spw 100 1" for "HK", "spw 100 2" for "CH"; nothing for any other text or no selection.
std::optional<std::string> RegionWriteLine(std::string_view comboText);
int RegionCode(std::string_view comboText);  // 1, 2 or 0
// What the region display shows for the stored value.
std::string RegionText(int value);

}  // namespace identity
