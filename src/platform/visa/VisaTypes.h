#pragma once

#include <cstdint>

// VISA types and values with their LP64 widths (32-bit sessions and statuses; 64-bit attribute
// states), as the IVI VISA standard defines them.
using ViStatus = int32_t;
using ViSession = uint32_t;
using ViObject = uint32_t;
using ViFindList = uint32_t;
using ViAttr = uint32_t;
using ViAccessMode = uint32_t;
using ViUInt32 = uint32_t;
using ViUInt16 = uint16_t;
using ViInt32 = int32_t;
using ViInt16 = int16_t;
using ViAttrState = uint64_t;
using ViBuf = unsigned char*;
using ViConstBuf = const unsigned char*;
using ViRsrc = char*;
using ViConstRsrc = const char*;
using ViString = char*;
using ViConstString = const char*;
using ViChar = char;
using ViBoolean = uint16_t;
using ViReal64 = double;
using ViUInt8 = uint8_t;
using ViPSession = ViSession*;
using ViPFindList = ViFindList*;
using ViPUInt32 = ViUInt32*;
using ViPBuf = unsigned char*;

constexpr ViBoolean VI_TRUE = 1;
constexpr ViBoolean VI_FALSE = 0;

constexpr ViStatus VI_SUCCESS = 0;
constexpr ViStatus VI_NULL = 0;
constexpr ViStatus VI_SUCCESS_TERM_CHAR = 0x3FFF0005;
constexpr ViStatus VI_SUCCESS_MAX_CNT = 0x3FFF0006;
constexpr ViStatus VI_WARN_NULL_OBJECT = 0x3FFF0082;
constexpr ViStatus VI_WARN_UNKNOWN_STATUS = 0x3FFF0085;

constexpr ViStatus VI_ERROR_SYSTEM_ERROR = static_cast<ViStatus>(0xBFFF0000);

constexpr ViStatus VI_ERROR_INV_OBJECT = static_cast<ViStatus>(0xBFFF000E);
constexpr ViStatus VI_ERROR_INV_EXPR = static_cast<ViStatus>(0xBFFF0010);
constexpr ViStatus VI_ERROR_RSRC_NFOUND = static_cast<ViStatus>(0xBFFF0011);
constexpr ViStatus VI_ERROR_INV_RSRC_NAME = static_cast<ViStatus>(0xBFFF0012);
constexpr ViStatus VI_ERROR_INV_ACC_MODE = static_cast<ViStatus>(0xBFFF0013);
constexpr ViStatus VI_ERROR_TMO = static_cast<ViStatus>(0xBFFF0015);
constexpr ViStatus VI_ERROR_CLOSING_FAILED = static_cast<ViStatus>(0xBFFF0016);
constexpr ViStatus VI_ERROR_NSUP_ATTR = static_cast<ViStatus>(0xBFFF001D);
constexpr ViStatus VI_ERROR_NSUP_ATTR_STATE = static_cast<ViStatus>(0xBFFF001E);
constexpr ViStatus VI_ERROR_ATTR_READONLY = static_cast<ViStatus>(0xBFFF001F);
constexpr ViStatus VI_ERROR_ALLOC = static_cast<ViStatus>(0xBFFF003C);
constexpr ViStatus VI_ERROR_INV_MASK = static_cast<ViStatus>(0xBFFF003D);
constexpr ViStatus VI_ERROR_IO = static_cast<ViStatus>(0xBFFF003E);
constexpr ViStatus VI_ERROR_NLISTENERS = static_cast<ViStatus>(0xBFFF005F);
constexpr ViStatus VI_ERROR_NSUP_OPER = static_cast<ViStatus>(0xBFFF0067);
constexpr ViStatus VI_ERROR_ASRL_PARITY = static_cast<ViStatus>(0xBFFF006A);
constexpr ViStatus VI_ERROR_ASRL_FRAMING = static_cast<ViStatus>(0xBFFF006B);
constexpr ViStatus VI_ERROR_ASRL_OVERRUN = static_cast<ViStatus>(0xBFFF006C);
constexpr ViStatus VI_ERROR_USER_BUF = static_cast<ViStatus>(0xBFFF0071);
constexpr ViStatus VI_ERROR_RSRC_BUSY = static_cast<ViStatus>(0xBFFF0072);
constexpr ViStatus VI_ERROR_INV_PARAMETER = static_cast<ViStatus>(0xBFFF0078);
constexpr ViStatus VI_ERROR_LIBRARY_NFOUND = static_cast<ViStatus>(0xBFFF009E);
constexpr ViStatus VI_ERROR_CONN_LOST = static_cast<ViStatus>(0xBFFF00A6);

constexpr ViAttr VI_ATTR_SEND_END_EN = 0x3FFF0016;
constexpr ViAttr VI_ATTR_TERMCHAR = 0x3FFF0018;
constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001A;
constexpr ViAttr VI_ATTR_RD_BUF_OPER_MODE = 0x3FFF002A;
constexpr ViAttr VI_ATTR_WR_BUF_OPER_MODE = 0x3FFF002D;
constexpr ViAttr VI_ATTR_TERMCHAR_EN = 0x3FFF0038;
constexpr ViAttr VI_ATTR_RM_SESSION = 0x3FFF00C4;
constexpr ViAttr VI_ATTR_RSRC_NAME = 0xBFFF0002;  // ViChar[256]
constexpr ViAttr VI_ATTR_INTF_TYPE = 0x3FFF0171;  // ViUInt16
constexpr ViAttr VI_ATTR_INTF_NUM = 0x3FFF0176;   // ViUInt16

constexpr ViAttr VI_ATTR_GPIB_PRIMARY_ADDR = 0x3FFF0172;    // ViUInt16
constexpr ViAttr VI_ATTR_GPIB_SECONDARY_ADDR = 0x3FFF0173;  // ViUInt16

// Serial line (ASRL) attributes.
constexpr ViAttr VI_ATTR_ASRL_BAUD = 0x3FFF0021;        // ViUInt32
constexpr ViAttr VI_ATTR_ASRL_DATA_BITS = 0x3FFF0022;   // ViUInt16, 5..8
constexpr ViAttr VI_ATTR_ASRL_PARITY = 0x3FFF0023;      // ViUInt16
constexpr ViAttr VI_ATTR_ASRL_STOP_BITS = 0x3FFF0024;   // ViUInt16
constexpr ViAttr VI_ATTR_ASRL_FLOW_CNTRL = 0x3FFF0025;  // ViUInt16
constexpr ViAttr VI_ATTR_ASRL_AVAIL_NUM = 0x3FFF00AC;   // ViUInt32, read only
constexpr ViAttr VI_ATTR_ASRL_CTS_STATE = 0x3FFF00AE;   // ViInt16, read only here
constexpr ViAttr VI_ATTR_ASRL_DCD_STATE = 0x3FFF00AF;   // ViInt16, read only
constexpr ViAttr VI_ATTR_ASRL_DSR_STATE = 0x3FFF00B1;   // ViInt16, read only
constexpr ViAttr VI_ATTR_ASRL_DTR_STATE = 0x3FFF00B2;   // ViInt16
constexpr ViAttr VI_ATTR_ASRL_END_IN = 0x3FFF00B3;      // ViUInt16
constexpr ViAttr VI_ATTR_ASRL_END_OUT = 0x3FFF00B4;     // ViUInt16
constexpr ViAttr VI_ATTR_ASRL_RI_STATE = 0x3FFF00BF;    // ViInt16, read only
constexpr ViAttr VI_ATTR_ASRL_RTS_STATE = 0x3FFF00C0;   // ViInt16

constexpr ViUInt16 VI_ASRL_PAR_NONE = 0;
constexpr ViUInt16 VI_ASRL_PAR_ODD = 1;
constexpr ViUInt16 VI_ASRL_PAR_EVEN = 2;
constexpr ViUInt16 VI_ASRL_PAR_MARK = 3;
constexpr ViUInt16 VI_ASRL_PAR_SPACE = 4;
constexpr ViUInt16 VI_ASRL_STOP_ONE = 10;
constexpr ViUInt16 VI_ASRL_STOP_ONE5 = 15;
constexpr ViUInt16 VI_ASRL_STOP_TWO = 20;
constexpr ViUInt16 VI_ASRL_FLOW_NONE = 0;
constexpr ViUInt16 VI_ASRL_FLOW_XON_XOFF = 1;
constexpr ViUInt16 VI_ASRL_FLOW_RTS_CTS = 2;
constexpr ViUInt16 VI_ASRL_FLOW_DTR_DSR = 4;
constexpr ViUInt16 VI_ASRL_END_NONE = 0;
constexpr ViUInt16 VI_ASRL_END_LAST_BIT = 1;
constexpr ViUInt16 VI_ASRL_END_TERMCHAR = 2;
constexpr ViUInt16 VI_ASRL_END_BREAK = 3;
constexpr ViInt16 VI_STATE_ASSERTED = 1;
constexpr ViInt16 VI_STATE_UNASSERTED = 0;
constexpr ViInt16 VI_STATE_UNKNOWN = -1;

// Interface types (VI_ATTR_INTF_TYPE).
constexpr ViUInt16 VI_INTF_GPIB = 1;
constexpr ViUInt16 VI_INTF_ASRL = 4;
constexpr ViUInt16 VI_INTF_TCPIP = 6;
constexpr ViUInt16 VI_INTF_USB = 7;

constexpr ViUInt16 VI_FLUSH_ON_ACCESS = 1;
constexpr ViUInt16 VI_FLUSH_WHEN_FULL = 2;
constexpr ViUInt16 VI_FLUSH_DISABLE = 3;
constexpr ViUInt16 VI_READ_BUF = 1;
constexpr ViUInt16 VI_WRITE_BUF = 2;
constexpr ViUInt32 VI_TMO_IMMEDIATE = 0;
constexpr ViUInt32 VI_TMO_INFINITE = 0xFFFFFFFFu;
constexpr ViAccessMode VI_NO_LOCK = 0;
constexpr ViAccessMode VI_EXCLUSIVE_LOCK = 1;
constexpr ViAccessMode VI_SHARED_LOCK = 2;
constexpr ViAccessMode VI_LOAD_CONFIG = 4;
constexpr int VI_FIND_BUFLEN = 256;

// VXIplug&play driver statuses.
constexpr ViStatus VI_ERROR_PARAMETER1 = static_cast<ViStatus>(0xBFFC0001);
constexpr ViStatus VI_ERROR_PARAMETER2 = static_cast<ViStatus>(0xBFFC0002);
constexpr ViStatus VI_ERROR_PARAMETER3 = static_cast<ViStatus>(0xBFFC0003);
constexpr ViStatus VI_ERROR_PARAMETER4 = static_cast<ViStatus>(0xBFFC0004);
constexpr ViStatus VI_ERROR_FAIL_ID_QUERY = static_cast<ViStatus>(0xBFFC0011);
constexpr ViStatus VI_ERROR_INV_RESPONSE = static_cast<ViStatus>(0xBFFC0012);
// The instrument's own error queue holds an error (VXIplug&play drivers of the 8960 and supplies).
constexpr ViStatus VI_INSTR_ERROR_DETECTED = static_cast<ViStatus>(0xBFFC0D07);
