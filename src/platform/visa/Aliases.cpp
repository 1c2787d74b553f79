#include "platform/visa/Aliases.h"

#include <cctype>
#include <cstdlib>

#include "platform/Notifier.h"
#include "platform/visa/Resource.h"

namespace visa::detail {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::vector<Alias> ParseAliases(std::string_view text) {
  std::vector<Alias> aliases;
  while (!text.empty()) {
    const size_t end = text.find(';');
    const std::string_view entry = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (entry.empty()) continue;
    const size_t eq = entry.find('=');
    const std::string resource =
        eq == std::string_view::npos ? std::string() : CanonicalResource(entry.substr(0, eq));
    const std::string_view target =
        eq == std::string_view::npos ? std::string_view() : Trim(entry.substr(eq + 1));
    if (resource.empty() || target.empty()) {
      DebugLog("visa: ignoring alias entry '" + std::string(entry) + "'\n");
      continue;
    }
    aliases.push_back({resource, std::string(target)});
  }
  return aliases;
}

std::vector<Alias> EnvironmentAliases() {
  const char* text = std::getenv("TESMIRA_VISA_ALIASES");
  return text ? ParseAliases(text) : std::vector<Alias>();
}

std::optional<std::string> LookupAlias(const std::string& canonicalResource) {
  // The first entry for a resource wins.
  for (const auto& alias : EnvironmentAliases()) {
    if (alias.resource == canonicalResource) return alias.target;
  }
  return std::nullopt;
}

}  // namespace visa::detail
