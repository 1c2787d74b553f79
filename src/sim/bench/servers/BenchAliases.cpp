#include "sim/bench/servers/BenchAliases.h"

#include <algorithm>

namespace sim {

const std::vector<std::string>& BenchTransports() {
  static const std::vector<std::string> names = {"socket",   "vxi11",        "hislip",
                                                 "prologix", "prologix-usb", "serial"};
  return names;
}

bool ParseTransports(const std::string& text, std::vector<std::string>* out, std::string* bad) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string name = text.substr(start, comma - start);
    const auto& known = BenchTransports();
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      *bad = name;
      return false;
    }
    if (std::find(out->begin(), out->end(), name) == out->end()) out->push_back(name);
    start = comma + 1;
  }
  return true;
}

std::vector<ChosenAlias> ChooseAliases(const BenchContext& context) {
  std::vector<ChosenAlias> chosen;
  for (const auto& [resource, socketTarget] : context.aliases) {
    ChosenAlias alias{resource, socketTarget, "socket"};
    for (const std::string& transport : context.transports) {
      auto it = context.transportAliases.find(transport);
      if (it == context.transportAliases.end()) continue;
      auto entry = std::find_if(it->second.begin(), it->second.end(),
                                [&](const auto& e) { return e.first == resource; });
      if (entry != it->second.end()) {
        alias = {resource, entry->second, transport};
        break;
      }
      if (transport == "socket") break;
    }
    chosen.push_back(alias);
  }
  return chosen;
}

std::string AliasLine(const std::vector<ChosenAlias>& aliases) {
  if (aliases.empty()) return "";
  std::string joined;
  for (const auto& alias : aliases) {
    if (!joined.empty()) joined += ";";
    joined += alias.resource + "=" + alias.target;
  }
  return "export TESMIRA_VISA_ALIASES=\"" + joined + "\"";
}

}  // namespace sim
