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
// Read from the environment at every call, so a changed variable takes effect at the next open.
std::vector<Alias> EnvironmentAliases();
std::optional<std::string> LookupAlias(const std::string& canonicalResource);

}  // namespace visa::detail
