#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/Exchange.h"

// How frames and answer classes are written in CLI output and traces: "02 14 36", "ANSWER_OK".
std::string HexText(const uint8_t* bytes, size_t count);
inline std::string HexText(const std::vector<uint8_t>& bytes) {
  return HexText(bytes.data(), bytes.size());
}
const char* AnswerClassName(AnswerClass answerClass);
