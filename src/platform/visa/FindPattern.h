#pragma once

#include <optional>
#include <regex>
#include <string>

namespace visa::detail {

// A viFindRsrc expression ("?*INSTR", "GPIB[0-9]*::?*INSTR", "TCPIP?*|GPIB?*") as a
// case-insensitive regular expression matching whole names. Attribute clauses ("{...}") are
// not supported: nullopt, as for any malformed expression.
std::optional<std::regex> CompileFindPattern(const std::string& expression);

}  // namespace visa::detail
