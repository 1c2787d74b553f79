#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "link/Bcommand.h"
#include "platform/Notifier.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// The handset's side of a window's link, played by the fuzzer. Each request frame the window
// writes takes the next reply from the replies: a kind byte, a delay byte, a piece.
//   kind % 5 == 0: the simulated handset answers it (deep sequences such as a dump get through)
//              1: an executed answer to the request's opcode, the piece as sub-code and data
//              2: an answer whose opcode and status are the piece's first two bytes (an answer
//                 to another command, a status error), the rest as data
//              3: the piece on the line as it is (cut frames, garbage, stray markers)
//              4: nothing (the time-out)
// kind bit 0x80 sends a second reply after the first, so two frames can meet in one burst.
// The delay is the byte in ms, or in 20 ms steps with kind bit 0x40 (a late answer).
// When the replies have run out, the simulated handset answers every request.
class ScriptedHandset : public SimFarEnd, private HandsetLink {
 public:
  ScriptedHandset(SimLoop& loop, SimPort& port, sim::Bench& bench, FuzzInput& in)
      : loop_(loop), port_(port), in_(in), sim_(bench, *this) {
    port_.Attach(this);
  }
  ~ScriptedHandset() override { port_.Attach(nullptr); }

  void OnStationBytes(const uint8_t* data, size_t count) override {
    if (in_.Empty()) {
      sim_.OnStationBytes(data, count);
      return;
    }
    const uint8_t kind = in_.Byte();
    Reply(kind, data, count);
    if ((kind & 0x80) && !in_.Empty()) Reply(in_.Byte() & 0x7F, data, count);
  }

  // The answer frame as the handset puts it on the line: markers, header, escapes; the check
  // byte is the XOR from the header on.
  static std::vector<uint8_t> AnswerFrame(uint8_t opcode, uint8_t status, std::string_view data) {
    std::vector<uint8_t> body = {FRAME_HEADER, opcode, status};
    body.insert(body.end(), data.begin(), data.end());
    uint8_t check = 0;
    for (const uint8_t b : body) check ^= b;
    body.push_back(check);
    std::vector<uint8_t> frame = {FRAME_MARKER};
    for (const uint8_t b : body) {
      if (b == FRAME_MARKER || b == FRAME_ESCAPE) frame.push_back(FRAME_ESCAPE);
      frame.push_back(b);
    }
    frame.push_back(FRAME_MARKER);
    return frame;
  }

 private:
  void Reply(uint8_t kind, const uint8_t* request, size_t count) {
    const uint8_t delayByte = in_.Byte();
    const uint64_t delay = (kind & 0x40) ? delayByte * 20ull : delayByte;
    switch ((kind & 0x3F) % 5) {
      case 0:
        sim_.OnStationBytes(request, count);
        return;
      case 1:
        Later(delay, AnswerFrame(LastOpcode(), 0, in_.Piece()));
        return;
      case 2: {
        const std::string_view piece = in_.Piece();
        const uint8_t opcode = piece.size() > 0 ? static_cast<uint8_t>(piece[0]) : 0;
        const uint8_t status = piece.size() > 1 ? static_cast<uint8_t>(piece[1]) : 0;
        Later(delay,
              AnswerFrame(opcode, status, piece.substr(piece.size() > 2 ? 2 : piece.size())));
        return;
      }
      case 3: {
        const std::string_view piece = in_.Piece();
        Later(delay, std::vector<uint8_t>(piece.begin(), piece.end()));
        return;
      }
      default:
        return;
    }
  }

  void Later(uint64_t delay, std::vector<uint8_t> bytes) {
    loop_.After(delay, [this, bytes = std::move(bytes)] { port_.DeviceSend(bytes); });
  }

  // The simulated handset's line: its answers go out as a real handset's would.
  void Transmit(std::vector<uint8_t> bytes) override { port_.DeviceSend(bytes); }
  void After(uint64_t delayMs, std::function<void()> fn) override {
    loop_.After(delayMs, std::move(fn));
  }

  SimLoop& loop_;
  SimPort& port_;
  FuzzInput& in_;
  HandsetSim sim_;
};

struct NullNotifier : Notifier {
  void Message(const std::string&) override {}
};

// A temporary directory made once per process, for the result files a window appends to:
// /dev/shm when there is one (its fsync costs nothing), the system's temporary directory
// otherwise. Never the working directory.
inline const std::string& FuzzTempDir() {
  // On the heap: still there for the clean-up at exit, after the statics are gone.
  static const std::string* dir = [] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
    auto* path = new std::string(std::string(base) + "/tesmira-fuzz-XXXXXX");
    if (::mkdtemp(path->data()) == nullptr) __builtin_trap();
    std::atexit([] { std::filesystem::remove_all(FuzzTempDir()); });
    return path;
  }();
  return *dir;
}
