#pragma once

#include <nlohmann/json.hpp>
#include <string>

// JSON as the station writes it: one document on one line, keys in the order they were put.
using JsonObject = nlohmann::ordered_json;

// Bytes that are not UTF-8 (a handset's or an operator's text may hold any) each become U+FFFD,
// so the line stays valid JSON; numbers that are not finite become null.
inline std::string JsonText(const JsonObject& value) {
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
