#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/bench/BenchService.h"

namespace sim {

// The transports tesmira-bench serves its instruments over: socket (always), vxi11 (a LAN/GPIB
// gateway), hislip (LAN instruments), prologix (a GPIB-ETHERNET adapter), prologix-usb (a
// GPIB-USB adapter on a pty), serial (the supply's RS-232 port on a pty).
const std::vector<std::string>& BenchTransports();

// "vxi11,serial" into names; false with the name that is not a transport in *bad.
bool ParseTransports(const std::string& text, std::vector<std::string>* out, std::string* bad);

struct ChosenAlias {
  std::string resource;
  std::string target;
  std::string transport;
};
// Each instrument's target: from the first wanted transport that serves it, else its socket.
std::vector<ChosenAlias> ChooseAliases(const BenchContext& context);
// `export TESMIRA_VISA_ALIASES="RESOURCE=TARGET;..."`, or "" without instruments.
std::string AliasLine(const std::vector<ChosenAlias>& aliases);

}  // namespace sim
