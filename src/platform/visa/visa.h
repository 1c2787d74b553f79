#pragma once

#include <string>

#include "platform/visa/VisaTypes.h"

// The VISA calls the station's drivers make, with the standard signatures and statuses.
// A resource is looked up, in its canonical form, in this order:
//   1. the alias list TESMIRA_VISA_ALIASES ("RESOURCE=TARGET;..."; for a GPIB instrument also
//      its board's "GPIB<n>::INTFC=TARGET"), whose target is TCPIP<n>::host::port::SOCKET,
//      TCPIP<n>::host[::device]::INSTR (VXI-11, or HiSLIP for hislip0[,port]), ASRL<n>::INSTR or
//      ASRL::/dev/...::INSTR, PRLGX-TCPIP<n>::host[::port]::INTFC or PRLGX-ASRL<n>::/dev/...::INTFC
//      (a Prologix adapter, at RESOURCE's GPIB address), a resource of the system VISA library,
//      or "sim" (the simulated device registered under RESOURCE); a target may end with
//      settings in braces ("{baud=9600,init=SYST:REM}");
//   2. the simulated devices registered in this process (visa/SimDevice.h);
//   3. the built-in backends: raw SCPI socket, VXI-11 (liblxi), HiSLIP, serial line, Prologix;
//   4. the system VISA library (TESMIRA_VISA_LIBRARY, else libvisa.so and the usual names),
//      for everything else (GPIB cards, USB).
// Not found anywhere: VI_ERROR_RSRC_NFOUND. Calls are made from one thread.
ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue);
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViPUInt32 retCount);
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 count, ViPUInt32 retCount);
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                    ViChar desc[]);
ViStatus viFindNext(ViFindList vi, ViChar desc[]);
ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);  // desc: 256 bytes

namespace visa {

// "VI_ERROR_TMO" and the like; "" for a status VISA does not name.
const char* StatusName(ViStatus status);
// Which backend serves an open instrument session: "sim", "socket", "vxi11", "hislip",
// "serial", "prologix", "system"; "" else.
std::string SessionBackend(ViSession vi);
// Closes every session and forgets the loaded system library (tests).
void ResetVisaState();

}  // namespace visa
