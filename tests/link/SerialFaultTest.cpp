#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/Bcommand.h"
#include "link/CComm.h"
#include "link/Exchange.h"
#include "link/LinkText.h"
#include "link/PtyHelpers.h"
#include "platform/PollLoop.h"

// The serial fault matrix: a request ("se 6", opcode 0x54) on a real port over a pseudo-terminal
// whose far end plays a script of bytes, pauses and a hang-up. Each case names what the station
// sees, in order: the class of every frame the receive rule completes, the answer time-out, the
// loss of the device. Every wait has a deadline; the reader thread's CPU time shows it neither
// hangs nor spins.
using namespace testing_serial;

namespace {

constexpr int PORT = 9;
constexpr uint32_t ANSWER_TIMEOUT_MS = 400;

using Bytes = std::vector<uint8_t>;

// One step of the far end: bytes to write, a pause, the far end closing, or the line hung up.
struct Act {
  enum Kind { WRITE, PAUSE, HANGUP, VHANGUP } kind;
  Bytes bytes;
  int ms = 0;
};
Act Write(Bytes bytes) {
  return {Act::WRITE, std::move(bytes), 0};
}
Act Pause(int ms) {
  return {Act::PAUSE, {}, ms};
}
Act Hangup() {
  return {Act::HANGUP, {}, 0};
}
Act VHangup() {
  return {Act::VHANGUP, {}, 0};
}

// Whether this process may hang up a line (the superuser's capability): probed on a spare one.
bool CanHangUpLines() {
  PtyFarEnd probe;
  return probe.VHangup();
}

const Bytes GOOD = {0x02, 0x14, 0x54, 0x00, 0x06, 0x52, 0x02};

// What the window logic is told: frame classes, "timeout", "lost".
class RecordingClient : public ExchangeClient {
 public:
  void DecodeAnswer(Exchange& ex) override {
    const AnswerClass cls = ex.CheckAnswer();
    events.push_back(AnswerClassName(cls));
    if (cls == ANSWER_OK) ex.StopAnswerTimer();
  }
  // The poll goes on, so what comes late is still cut into frames.
  void OnAnswerTimeout(Exchange& ex) override {
    events.push_back("timeout");
    ex.StopAnswerTimer();
  }
  void OnPortLost(Exchange&) override {
    events.push_back("lost");
    lostAt = std::chrono::steady_clock::now();
  }
  std::vector<std::string> events;
  std::chrono::steady_clock::time_point lostAt;
};

Bytes Oversize() {
  Bytes frame = {0x02, 0x14, 0x54, 0x00};
  frame.insert(frame.end(), 5000, 0x55);
  frame.push_back(0x02);
  return frame;
}

// Written in pieces with pauses, as a slow line delivers them, so the 4096-byte ring is drained
// between pieces and the frame itself is what is tested.
std::vector<Act> InPieces(const Bytes& bytes, size_t piece) {
  std::vector<Act> acts;
  for (size_t i = 0; i < bytes.size(); i += piece) {
    acts.push_back(
        Write(Bytes(bytes.begin() + static_cast<long>(i),
                    bytes.begin() + static_cast<long>(std::min(bytes.size(), i + piece)))));
    acts.push_back(Pause(100));
  }
  return acts;
}

struct FaultCase {
  const char* name;
  std::vector<Act> script;
  std::vector<std::string> events;  // what the station reports, in order
};

std::vector<FaultCase> Cases() {
  std::vector<FaultCase> cases = {
      {"good answer", {Write(GOOD)}, {"ANSWER_OK"}},
      // The opcode echo is missing: the frame answers "another" request; the wait goes on.
      {"dropped byte", {Write({0x02, 0x14, 0x00, 0x06, 0x52, 0x02})}, {"ANSWER_OTHER", "timeout"}},
      // The echo twice: the status byte reads 0x54, not executed.
      {"duplicated byte",
       {Write({0x02, 0x14, 0x54, 0x54, 0x00, 0x06, 0x52, 0x02})},
       {"ANSWER_STATUS_ERROR", "timeout"}},
      // A flipped bit in the header: not an answer at all.
      {"one flipped bit (header)",
       {Write({0x02, 0x15, 0x54, 0x00, 0x06, 0x52, 0x02})},
       {"ANSWER_NONE", "timeout"}},
      // In a data byte: the receive side checks header, echo and status only, so the answer is
      // taken; the value check is the decoder's.
      {"one flipped bit (data)",
       {Write({0x02, 0x14, 0x54, 0x00, 0x07, 0x52, 0x02})},
       {"ANSWER_OK"}},
      // Bit 0 of the data byte and of the check byte: the XOR check byte could not tell either.
      {"two flipped bits in the same position",
       {Write({0x02, 0x14, 0x54, 0x00, 0x07, 0x53, 0x02})},
       {"ANSWER_OK"}},
      {"cut frame", {Write({0x02, 0x14, 0x54})}, {"timeout"}},
      // Bytes before the start marker are dropped, escapes among them included.
      {"garbage before the marker",
       {Write({0xAA, 0x55, 0x10, 0x14, 0x00}), Pause(100), Write(GOOD)},
       {"ANSWER_OK"}},
      // The escape makes the closing marker data: the frame stays open until the next marker,
      // which is the start of the following answer; that one's own bytes are then outside.
      {"escape as last byte",
       {Write({0x02, 0x14, 0x54, 0x00, 0x06, 0x10, 0x02}), Pause(ANSWER_TIMEOUT_MS + 200),
        Write(GOOD)},
       {"timeout", "ANSWER_OK"}},
      {"answer to another command",
       {Write({0x02, 0x14, 0x21, 0x00, 0x05, 0x02})},
       {"ANSWER_OTHER", "timeout"}},
      // Received after the time-out, it is still classified against the last request.
      {"late answer after the time-out",
       {Pause(ANSWER_TIMEOUT_MS + 200), Write(GOOD)},
       {"timeout", "ANSWER_OK"}},
      {"hang-up (EIO)", {Write({0x02, 0x14}), Pause(50), Hangup()}, {"lost"}},
  };
  // A pseudo-terminal whose far end closes reads EIO; a hung-up line (a USB adapter unplugged)
  // reads 0. Both are the device gone.
  if (CanHangUpLines()) {
    cases.push_back(
        {"read of 0 after a hang-up", {Write({0x02, 0x14}), Pause(50), VHangup()}, {"lost"}});
  } else {
    std::printf(
        "[ fault    ] read of 0 after a hang-up: not run, hanging up a line is refused here\n");
  }
  // More than 4096 bytes: the frame keeps its first 4096 (the closing marker is not among them,
  // so not executed); the answer after it is received whole. The slow line outlasts the answer
  // time-out.
  FaultCase oversize{"oversize frame (> 4096)",
                     InPieces(Oversize(), 1000),
                     {"timeout", "ANSWER_STATUS_ERROR", "ANSWER_OK"}};
  oversize.script.push_back(Write(GOOD));
  cases.push_back(oversize);
  return cases;
}

TEST(SerialFaultMatrix, EachFaultGetsItsReaction) {
  for (const FaultCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    Deadline deadline(20s);
    PtyFarEnd far;
    far.BindTo(PORT);
    PollLoop loop;
    RecordingNotifier notifier;
    CComm port(loop, &notifier);
    RecordingClient client;
    Exchange exchange(loop, port, client, ANSWER_TIMEOUT_MS);
    port.SetOwner(&exchange);
    ASSERT_TRUE(port.Open(PORT, 115200));
    ASSERT_TRUE(WaitFor([&] { return port.ReaderThreadId() != 0; }, 2s));
    const pid_t reader = port.ReaderThreadId();
    const long long cpuBefore = TaskCpuNs(reader);

    ASSERT_TRUE(exchange.Send("se 6"));
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point hungUpAt{};
    std::thread farEnd([&] {
      for (const Act& act : c.script) {
        if (act.kind == Act::WRITE) far.Write(act.bytes);
        if (act.kind == Act::PAUSE) std::this_thread::sleep_for(std::chrono::milliseconds(act.ms));
        if (act.kind == Act::HANGUP || act.kind == Act::VHANGUP) {
          hungUpAt = std::chrono::steady_clock::now();
          if (act.kind == Act::HANGUP) far.Hangup();
          if (act.kind == Act::VHANGUP) {
            EXPECT_TRUE(far.VHangup());
          }
        }
      }
    });
    // Until every expected event came, then a little longer for any that should not come.
    loop.RunUntil([&] { return client.events.size() >= c.events.size(); }, 5000);
    farEnd.join();
    const long long cpuAfter = TaskCpuNs(reader);
    loop.RunUntil([] { return false; }, ANSWER_TIMEOUT_MS + 100);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);

    EXPECT_EQ(client.events, c.events);
    // The reader sleeps in poll(): a few ms of CPU at most for a few kB.
    ASSERT_GE(cpuBefore, 0);
    if (c.events.back() == "lost") {
      // After a loss the reader has ended: it cannot spin on the hung-up descriptor.
      EXPECT_TRUE(WaitFor([&] { return TaskState(reader) == 0; }, 2s));
    } else {
      ASSERT_GE(cpuAfter, 0);
      EXPECT_LT(cpuAfter - cpuBefore, 100'000'000LL);
    }
    if (c.events.back() == "lost") {
      EXPECT_LT(client.lostAt - hungUpAt, 1s);
      EXPECT_EQ(notifier.messages,
                std::vector<std::string>{"serial port lost: " + far.SlavePath()});
      EXPECT_FALSE(port.IsOpen());
    } else {
      EXPECT_TRUE(notifier.messages.empty());
    }
    std::printf("[ fault    ] %-40s %s in %lld ms\n", c.name,
                ::testing::PrintToString(client.events).c_str(),
                static_cast<long long>(took.count()));
    port.Close();
  }
}

}  // namespace
