#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The records the kill test writes: "W<writer> <seq> <payload> <sum>\r\n", the payload's length
// varying with seq and sum the bytes before it, so a torn or interleaved record shows.
namespace appendtest {

inline std::string Checksum(const std::string& text) {
  uint32_t sum = 0;
  for (const unsigned char c : text) sum = (sum * 31 + c) & 0xFFFFFF;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(sum));
  return hex;
}

inline std::string Record(int writer, uint64_t seq) {
  std::string body = "W" + std::to_string(writer) + " " + std::to_string(seq) + " ";
  body.append(20 + seq % 300, static_cast<char>('a' + seq % 26));
  return body + " " + Checksum(body) + "\r\n";
}

}  // namespace appendtest
