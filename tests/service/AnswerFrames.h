#pragma once

#include <cstdint>
#include <vector>

// An unescaped answer frame as the decoders get it: 0x02, 0x14, opcode, status, sub-code,
// data, check byte, 0x02.
inline std::vector<uint8_t> AnswerFrame(uint8_t opcode, uint8_t sub, std::vector<uint8_t> data,
                                        uint8_t status = 0) {
  std::vector<uint8_t> f;
  f.reserve(data.size() + 7);
  for (uint8_t b : {uint8_t{0x02}, uint8_t{0x14}, opcode, status, sub}) f.push_back(b);
  for (uint8_t b : data) f.push_back(b);
  uint8_t check = 0;
  for (size_t i = 1; i < f.size(); ++i) check ^= f[i];
  f.push_back(check);
  f.push_back(0x02);
  return f;
}
