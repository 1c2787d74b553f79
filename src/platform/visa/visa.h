#pragma once

#include <string>

#include "platform/visa/VisaTypes.h"

// The VISA calls the station's drivers make, with the standard signatures and statuses.
// A resource is looked up, in its canonical form, in this order:
//   1. the alias list TESMIRA_VISA_ALIASES ("RESOURCE=TARGET;..."), whose target is
//      TCPIP<n>::host::port::SOCKET, TCPIP<n>::host[::device]::INSTR, a resource of the system
//      VISA library, or "sim" (the simulated device registered under RESOURCE);
//   2. the simulated devices registered in this process (visa/SimDevice.h);
//   3. the built-in backends: raw SCPI socket for ...::SOCKET, VXI-11 (liblxi) for TCPIP INSTR;
//   4. the system VISA library (TESMIRA_VISA_LIBRARY, else libvisa.so and the usual names),
//      for everything else (GPIB cards, HiSLIP, USB).
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
// Which backend serves an open instrument session: "sim", "socket", "vxi11", "system"; "" else.
std::string SessionBackend(ViSession vi);
// Closes every session and forgets the loaded system library (tests).
void ResetVisaState();

}  // namespace visa
