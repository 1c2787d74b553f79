#include "sim/HandsetCommands.h"

// What goes wrong with the identity a production line programs: an IMEI write the EEPROM did
// not take although the handset acknowledged it, and a firmware that does not report its
// version. The identity tables themselves ("stw"/"str" 60, 61, 11, 20, 10; "spw"/"spr" 100)
// live with the other tables in HandsetCommands.cpp.
namespace sim {
namespace {
constexpr uint8_t OP_STW = 0x52;
constexpr uint8_t OP_STR = 0x53;
constexpr uint8_t TABLE_SW_VERSION = 10;
constexpr uint8_t TABLE_IMEI = 60;
}  // namespace

std::optional<HandsetReply> IdentityFault(Bench& bench, const uint8_t* payload, size_t length) {
  if (length < 2) return std::nullopt;
  const uint8_t opcode = payload[0];
  const uint8_t table = payload[1];
  if (opcode == OP_STW && table == TABLE_IMEI && bench.faults.imeiWriteLost) {
    return HandsetReply{};  // acknowledged, not stored
  }
  if (opcode == OP_STR && table == TABLE_SW_VERSION && bench.faults.swVersionSilent) {
    HandsetReply silent;
    silent.answer = false;
    return silent;
  }
  return std::nullopt;
}

}  // namespace sim
