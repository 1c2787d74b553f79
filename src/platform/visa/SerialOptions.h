#pragma once

#include <string>
#include <vector>

#include "platform/SerialDevice.h"
#include "platform/visa/Aliases.h"
#include "platform/visa/VisaTypes.h"

// The settings of a serial (ASRL) session: the line, VISA's flow-control bits and the
// termination rules. VISA's defaults (9600 baud, 8 data bits, no parity, 1 stop bit, no flow
// control, reads end at the termination character), except that a write ends with the
// termination character unless it already does (VI_ATTR_ASRL_END_OUT), as the socket backend
// ends it with a line feed.
namespace visa::detail {

struct SerialOptions {
  SerialLineSettings line;
  ViUInt16 flow = VI_ASRL_FLOW_NONE;  // VI_ASRL_FLOW_* bits
  ViUInt16 endIn = VI_ASRL_END_TERMCHAR;
  ViUInt16 endOut = VI_ASRL_END_TERMCHAR;
  ViUInt16 stopBits = VI_ASRL_STOP_ONE;  // as set: 1.5 is kept apart from 2
};

// Settings from an alias target: baud, data_bits (5-8), parity (none, odd, even, mark, space),
// stop_bits (1, 1.5, 2), flow_control (none, xon_xoff, rts_cts, dtr_dsr), end_in and end_out
// (termchar, none). "init" belongs to the session and is skipped here. False with a reason.
bool ParseSerialSettings(const std::vector<Setting>& settings, SerialOptions* options,
                         std::string* error);

// VI_ATTR_ASRL_BAUD, _DATA_BITS, _PARITY, _STOP_BITS, _FLOW_CNTRL into *options:
// VI_SUCCESS, VI_ERROR_NSUP_ATTR_STATE for a value the line cannot take, VI_ERROR_NSUP_ATTR
// for another attribute.
ViStatus ApplySerialAttribute(ViAttr attr, ViAttrState value, SerialOptions* options);
// Those attributes and END_IN/END_OUT as VISA types them; false for another attribute.
bool GetSerialAttribute(const SerialOptions& options, ViAttr attr, void* value);

}  // namespace visa::detail
