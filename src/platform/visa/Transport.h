#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/visa/VisaTypes.h"

namespace visa::detail {

// The I/O attributes of an instrument session, as the facade keeps them for its own backends.
struct IoSettings {
  ViUInt32 timeoutMs = 2000;  // VISA's default
  ViUInt8 termChar = '\n';
  bool termCharEnabled = true;  // message-based backends here end reads at the line feed
  bool sendEnd = true;          // END after the last byte of a write (a line feed on sockets)
};

// One backend's connection to an instrument. The facade owns the session bookkeeping and the
// attributes; a transport only moves bytes. Statuses are VISA's.
class Transport {
 public:
  virtual ~Transport() = default;
  virtual ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                         const IoSettings& io) = 0;
  virtual ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got,
                        const IoSettings& io) = 0;
  // After a read time-out the exchange is over: whatever reply arrives late must not be taken
  // for the next request's. Called before the next write.
  virtual void DiscardInput() = 0;
  virtual ViStatus Close() { return VI_SUCCESS; }

  // A system VISA session handles every attribute itself; the facade then passes them on.
  // Other transports are asked only for the attributes the facade does not keep (the serial
  // line's, a GPIB address).
  virtual bool PassesAttributes() const { return false; }
  virtual ViStatus SetAttribute(ViAttr, ViAttrState) { return VI_ERROR_NSUP_ATTR; }
  virtual ViStatus GetAttribute(ViAttr, void*) { return VI_ERROR_NSUP_ATTR; }
  virtual ViStatus SetBuf(ViUInt16, ViUInt32) { return VI_SUCCESS; }
};

}  // namespace visa::detail
