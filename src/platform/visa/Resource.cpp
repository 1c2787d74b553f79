#include "platform/visa/Resource.h"

#include <array>
#include <cctype>
#include <charconv>

namespace visa {
namespace {

constexpr std::array<std::string_view, 7> CLASSES = {"INSTR",   "SOCKET", "INTFC", "BACKPLANE",
                                                     "SERVANT", "RAW",    "MEMACC"};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// A plain decimal number in [low, high]; nothing else in the field.
std::optional<int> Number(std::string_view field, int low, int high) {
  if (field.empty() || field.size() > 6) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

bool IsDevicePath(std::string_view field) {
  return field.size() > 1 && field.front() == '/';
}

std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find("::", start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 2;
  }
}

// The per-interface rules; fields are normalised in place. False: not a valid name.
bool NormaliseFields(ResourceName& name) {
  auto& f = name.fields;
  if (name.type == "GPIB") {
    if (name.resourceClass == "INTFC") return f.empty();
    if (name.resourceClass != "INSTR" || f.empty() || f.size() > 2) return false;
    const auto primary = Number(f[0], 0, 30);
    if (!primary) return false;
    f[0] = std::to_string(*primary);
    if (f.size() == 2) {
      // Secondary addresses are 0..30, or 96..126 in the raw form some libraries accept.
      const auto secondary = Number(f[1], 0, 126);
      if (!secondary || (*secondary > 30 && *secondary < 96)) return false;
      f[1] = std::to_string(*secondary);
    }
    return true;
  }
  if (name.type == "TCPIP") {
    if (f.empty() || f[0].empty()) return false;
    f[0] = Lower(f[0]);  // host names are case-insensitive
    if (name.resourceClass == "SOCKET") {
      if (f.size() != 2) return false;
      const auto port = Number(f[1], 1, 65535);
      if (!port) return false;
      f[1] = std::to_string(*port);
      return true;
    }
    if (name.resourceClass != "INSTR" || f.size() > 2) return false;
    if (f.size() == 1) f.push_back("inst0");  // the VXI-11 default device
    if (f[1].empty()) return false;
    f[1] = Lower(f[1]);
    return true;
  }
  if (name.type == "ASRL") {
    // ASRL<n> (COM n), or the device itself: ASRL::/dev/ttyUSB0::INSTR. Paths keep their case.
    if (name.resourceClass != "INSTR" || f.size() > 1) return false;
    return f.empty() || IsDevicePath(f[0]);
  }
  if (name.type == "PRLGX-TCPIP") {
    // A Prologix GPIB-ETHERNET adapter: PRLGX-TCPIP<n>::host[::port]::INTFC (port 1234).
    if (name.resourceClass != "INTFC" || f.empty() || f.size() > 2 || f[0].empty()) return false;
    f[0] = Lower(f[0]);
    if (f.size() == 1) f.push_back("1234");
    const auto port = Number(f[1], 1, 65535);
    if (!port) return false;
    f[1] = std::to_string(*port);
    return true;
  }
  if (name.type == "PRLGX-ASRL") {
    // A Prologix GPIB-USB adapter on its serial device: PRLGX-ASRL<n>::/dev/ttyUSB0::INTFC.
    return name.resourceClass == "INTFC" && f.size() == 1 && IsDevicePath(f[0]);
  }
  for (const auto& field : f) {
    if (field.empty()) return false;
  }
  return true;
}

}  // namespace

std::optional<ResourceName> ParseResource(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 255) return std::nullopt;
  auto parts = Split(text);

  // Interface: letters (and '-', as in GPIB-VXI) then an optional board number.
  const std::string_view head = parts.front();
  size_t letters = 0;
  while (letters < head.size() &&
         (std::isalpha(static_cast<unsigned char>(head[letters])) || head[letters] == '-')) {
    ++letters;
  }
  if (letters == 0) return std::nullopt;
  ResourceName name;
  name.type = Upper(head.substr(0, letters));
  std::string headPath;  // ASRL/dev/ttyUSB0::INSTR, the form Python's VISA stack uses
  if (letters < head.size() && name.type == "ASRL" && head[letters] == '/') {
    headPath = std::string(head.substr(letters));
  } else if (letters < head.size()) {
    const auto board = Number(head.substr(letters), 0, 999);
    if (!board) return std::nullopt;
    name.board = *board;
  }

  parts.erase(parts.begin());
  if (!headPath.empty()) parts.insert(parts.begin(), headPath);
  name.resourceClass = "INSTR";
  if (!parts.empty()) {
    const std::string last = Upper(parts.back());
    for (auto known : CLASSES) {
      if (last == known) {
        name.resourceClass = last;
        parts.pop_back();
        break;
      }
    }
  }
  for (auto part : parts) name.fields.emplace_back(part);
  if (!NormaliseFields(name)) return std::nullopt;

  name.canonical = name.type + std::to_string(name.board);
  for (const auto& field : name.fields) name.canonical += "::" + field;
  name.canonical += "::" + name.resourceClass;
  return name;
}

std::string CanonicalResource(std::string_view text) {
  auto name = ParseResource(text);
  return name ? name->canonical : std::string();
}

}  // namespace visa
