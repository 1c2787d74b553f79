#pragma once

// The operator's messages of the identity window and its scan sequence.
namespace imeimsg {

constexpr char NO_RESPONSE[] = "No Response";
constexpr char STATUS_ERROR[] = "Status is error. ";
constexpr char COMMAND_ERROR[] = "command error";
constexpr char TI_ERROR[] = "tm init command error";
constexpr char STW_ERROR[] = "special_table_write command error";
constexpr char STR_ERROR[] = "special_table_read command error";

constexpr char CANNOT_CREATE_PORT[] = "Can't not create CComm Object !";
constexpr char PORT_ALREADY_OPEN[] = "COM Port already open !";
constexpr char SCAN_ERROR[] = "ERROR !!!";
constexpr char SCANNER_READ_FAILED[] = "Scanner가 정보를 읽는데 실패했습니다.";
// A "G1" code (or one that is not 15 digits) ends the scan. Not the scanner's own
// "다시 시도하세요.!!!" warning (ScannerLine.h), which differs by a few characters.
constexpr char CODE_REJECTED[] = "잘못 읽혔습니다. 다시 작업하세요 !!!";
constexpr char IMEI_NOT_WRITTEN[] = "Set에 IMEI번호를 저장하지 못했습니다. 다시 작업하세요 !!!";
constexpr char IMEI_NOT_READ[] = "Set에서 IMEI번호를 읽지 못했습니다. 다시 작업하세요 !!!";
constexpr char IMEI_MISMATCH[] = "읽은번호와 쓴번호가 다릅니다. 다시 작업하세요 !!!";
constexpr char SW_VERSION_MISMATCH[] = "Software Version이 다릅니다. 다시 작업하세요 !!!";
constexpr char REGION_NOT_WRITTEN[] = "Region값을 저장할수없습니다. 다시 작업하세요 !!!";

// Input the handset commands cannot carry.
constexpr char BAD_IMEI_INPUT[] = "IMEI: enter 6, 2, 6 and 1 digits";
constexpr char BAD_HW_INPUT[] = "H/W version: enter 3 characters";
constexpr char BAD_SERIAL_INPUT[] = "Serial NUM: enter 6 digits";

}  // namespace imeimsg
