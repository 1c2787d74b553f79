#include "production/ScannerLine.h"

const char MSG_CODE_LETTER[] = "잘못 읽혔습니다. 다시 시도하세요.!!!";

ScannerLine ClassifyScannerLine(const uint8_t* bytes, size_t count) {
  ScannerLine line;
  if (count == 0 || bytes[count - 1] != SCANNER_CR) {
    // Without its CR the line may be cut anywhere: nothing of it is taken.
    line.kind = ScannerLineKind::INCOMPLETE;
    return line;
  }
  if (count == SCANNER_ACK_LENGTH) {
    const bool ok = bytes[0] == 'O' && bytes[1] == 'K';
    line.kind = ok ? ScannerLineKind::ACKNOWLEDGE : ScannerLineKind::REFUSED;
    line.success = ok;
    return line;
  }
  if (count == SCANNER_CODE_LENGTH - 1) {
    // One character short: the CR would stand in for the check digit.
    line.kind = ScannerLineKind::SHORT_CODE;
    return line;
  }
  if (count == SCANNER_CODE_LENGTH) {
    line.text.assign(reinterpret_cast<const char*>(bytes), count - 1);
    const bool digit = bytes[0] >= '0' && bytes[0] <= '9';
    line.kind = digit ? ScannerLineKind::CODE : ScannerLineKind::CODE_LETTER;
    line.success = true;
    return line;
  }
  line.kind = ScannerLineKind::OTHER;
  return line;
}
