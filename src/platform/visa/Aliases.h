#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace visa::detail {

// TESMIRA_VISA_ALIASES: "RESOURCE=TARGET;RESOURCE=TARGET". The resource side is stored in
// canonical form; entries without '=' or with an invalid resource are ignored.
struct Alias {
  std::string resource;
  std::string target;
};

std::vector<Alias> ParseAliases(std::string_view text);

// A target may carry settings for its backend after the resource, in braces:
// "ASRL::/dev/ttyUSB0::INSTR{baud=9600,stop_bits=2,flow_control=dtr_dsr,init=SYST:REM}".
// Keys are lower case; a key may repeat (init). nullopt when the braces or a setting are
// malformed.
struct Setting {
  std::string key;
  std::string value;
};
struct Target {
  std::string resource;
  std::vector<Setting> settings;
};
std::optional<Target> SplitTarget(std::string_view target);
// Read from the environment at every call, so a changed variable takes effect at the next open.
std::vector<Alias> EnvironmentAliases();
std::optional<std::string> LookupAlias(const std::string& canonicalResource);
// For a GPIB instrument without an alias of its own: the alias of its board,
// "GPIB<n>::INTFC=PRLGX-TCPIP::host::INTFC", which reaches every address on that board.
std::optional<std::string> LookupBoardAlias(const std::string& canonicalResource);

}  // namespace visa::detail
