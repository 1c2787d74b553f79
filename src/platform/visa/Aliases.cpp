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

std::optional<Target> SplitTarget(std::string_view text) {
  text = Trim(text);
  Target target;
  const size_t open = text.find('{');
  if (open == std::string_view::npos) {
    if (text.find('}') != std::string_view::npos) return std::nullopt;
    target.resource = std::string(text);
    return target;
  }
  if (text.back() != '}' || open == 0) return std::nullopt;
  target.resource = std::string(Trim(text.substr(0, open)));
  std::string_view body = text.substr(open + 1, text.size() - open - 2);
  if (body.find_first_of("{}") != std::string_view::npos) return std::nullopt;
  while (!body.empty()) {
    const size_t comma = body.find(',');
    const std::string_view item = Trim(body.substr(0, comma));
    body = comma == std::string_view::npos ? std::string_view() : body.substr(comma + 1);
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    std::string key(Trim(item.substr(0, eq)));
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    target.settings.push_back({key, std::string(Trim(item.substr(eq + 1)))});
  }
  return target;
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

std::optional<std::string> LookupBoardAlias(const std::string& canonicalResource) {
  const auto name = ParseResource(canonicalResource);
  if (!name || name->type != "GPIB" || name->resourceClass != "INSTR") return std::nullopt;
  return LookupAlias("GPIB" + std::to_string(name->board) + "::INTFC");
}

}  // namespace visa::detail
