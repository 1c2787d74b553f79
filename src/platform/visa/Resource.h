#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace visa {

// A VISA resource name taken apart. Interface type and resource class are upper case, the board
// number defaults to 0 and the class to INSTR, so equal instruments compare equal:
// "GPIB0::4", "GPIB0::4::INSTR" and "gpib::4::instr" all become "GPIB0::4::INSTR";
// "TCPIP::host::INSTR" becomes "TCPIP0::host::inst0::INSTR". Serial devices may be named by
// path: "ASRL::/dev/ttyUSB0::INSTR" and "ASRL/dev/ttyUSB0::INSTR" become
// "ASRL0::/dev/ttyUSB0::INSTR". Prologix adapters are interfaces:
// "PRLGX-TCPIP::host::INTFC" (port 1234 implied) and "PRLGX-ASRL::/dev/ttyUSB0::INTFC".
struct ResourceName {
  std::string type;  // "GPIB", "TCPIP", "ASRL", "USB", "PRLGX-TCPIP", "PRLGX-ASRL", ...
  int board = 0;
  std::vector<std::string> fields;  // between the interface and the class
  std::string resourceClass;        // "INSTR", "SOCKET", "INTFC", ...
  std::string canonical;
};

std::optional<ResourceName> ParseResource(std::string_view text);
// The canonical form, or "" when the text is not a resource name.
std::string CanonicalResource(std::string_view text);

}  // namespace visa
