#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the ramp editor's result display window writes for one answer frame it is handed (the
// unescaped copy: byte 2 opcode echo, byte 3 status, byte 4 first data byte, then the rest):
// the rule line first, then the lines of the opcode. A frame too short for the bytes a line
// reads gives the short-answer line of the manual command window instead.

inline constexpr char RESULT_RULE_LINE[] =
    "--------------------------------------------------------------------";

std::vector<std::string> ResultDisplayLines(const uint8_t* frame, size_t length);
