#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the manual command window writes for a handset answer. The frame given is the unescaped
// copy: 0x02, 0x14, opcode echo, status, sub-code (byte 4), data from byte 5, check byte, 0x02.
//
// A frame too short for the bytes its line reads gives SHORT_ANSWER_FORMAT instead of a value
// made of bytes the handset never sent.

inline constexpr char STATUS_ERROR_LINE[] = "Status is error. ";
inline constexpr char NO_RESPONSE_LINE[] = "No Response";
inline constexpr char SHORT_ANSWER_FORMAT[] = "Short answer: %d bytes";

// ANSWER_OTHER: the command-error line of the echoed opcode; nullptr for opcodes that have none.
const char* CommandErrorLine(uint8_t opcode);

// ANSWER_OK: the lines, in order. A line may hold "\r\n" (the template blocks of "ttr").
std::vector<std::string> ManualAnswerLines(const uint8_t* frame, size_t length);

// Formats with printf rules into a std::string.
std::string FormatLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Bytes as text, each byte one character (Latin-1), kept as UTF-8; stops at a NUL byte.
std::string ByteText(const uint8_t* bytes, size_t count);
