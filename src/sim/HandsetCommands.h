#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "sim/Bench.h"

// What the simulated handset does with one request payload (opcode and arguments, the check
// byte already verified and removed) and what it answers: status, sub-code (the low byte of the
// first argument) and the data of the command family.
namespace sim {

constexpr uint8_t STATUS_OK = 0x00;
constexpr uint8_t STATUS_FAILED = 0x01;        // a fault switch refused it
constexpr uint8_t STATUS_BAD_CHECK = 0x03;     // check byte does not match
constexpr uint8_t STATUS_UNKNOWN = 0x04;       // opcode not implemented
constexpr uint8_t STATUS_BAD_ARGUMENT = 0x05;  // value, table or parameter out of range
constexpr uint8_t STATUS_WRONG_MODE = 0x06;    // needs test mode ("ti", "tms 1") first
constexpr uint8_t STATUS_BAD_LENGTH = 0x07;    // payload shorter than the command's layout

// Firmware text returned by "str 10" (14 bytes).
constexpr char HANDSET_SW_VERSION[] = "ZR907XC-V1.06A";

struct HandsetReply {
  bool answer = true;  // false: the handset sends nothing (it is restarting)
  uint8_t status = STATUS_OK;
  uint8_t subCode = 0;
  std::vector<uint8_t> data;
  uint32_t workMs = 0;          // processing time beyond the usual few milliseconds
  std::function<void()> after;  // runs once the answer has left (state changes that follow it)
};

HandsetReply ExecuteRequest(Bench& bench, const uint8_t* payload, size_t length);

// The identity faults of the bench acting on a request of the right length: their reply, or
// nothing when the request runs as usual (sim/HandsetIdentityCommands.cpp).
std::optional<HandsetReply> IdentityFault(Bench& bench, const uint8_t* payload, size_t length);

// Seconds since 2000-01-01 00:00:00 of a date and time; -1 when a field is out of range.
int64_t RtcSeconds(int year, int month, int day, int hour, int minute, int second);
// The seven clock bytes (weekday 0 = Sunday, year - 2000, month, day, hour, minute, second).
std::vector<uint8_t> RtcBytes(int64_t secondsSince2000);

}  // namespace sim
