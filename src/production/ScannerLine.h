#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What one answer line of the barcode scanner means. A line is every byte queued since the
// command went out; it is complete when its last byte is CR.
enum class ScannerLineKind {
  INCOMPLETE,   // the last byte is not CR: the line never ended
  ACKNOWLEDGE,  // "OK" CR
  REFUSED,      // another three-byte line ("NG" CR)
  CODE,         // 15 characters and CR, the first a digit
  CODE_LETTER,  // 15 characters and CR, the first not a digit: taken, the operator warned
  SHORT_CODE,   // 14 characters and CR: one character lost in the read
  OTHER,        // any other length
};

struct ScannerLine {
  ScannerLineKind kind = ScannerLineKind::OTHER;
  bool success = false;  // what the exchange reports
  std::string text;      // the code (CODE, CODE_LETTER); empty otherwise
};

constexpr uint8_t SCANNER_CR = 0x0D;
constexpr size_t SCANNER_ACK_LENGTH = 3;    // "OK" CR
constexpr size_t SCANNER_CODE_LENGTH = 16;  // 15 characters and CR

ScannerLine ClassifyScannerLine(const uint8_t* bytes, size_t count);

// "잘못 읽혔습니다. 다시 시도하세요.!!!": a code read whose first character is not a digit.
extern const char MSG_CODE_LETTER[];
