#include "production/Scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "production/ImeiRwMessages.h"
#include "production/ScannerLine.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

namespace {

struct RecordingNotifier : Notifier {
  std::vector<std::string> messages;
  void Message(const std::string& text) override { messages.push_back(text); }
};

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(ScannerLineTest, ClassifiesByLengthCrAndFirstCharacter) {
  struct Case {
    std::string line;
    ScannerLineKind kind;
    bool success;
    std::string text;
  } cases[] = {
      {"OK\r", ScannerLineKind::ACKNOWLEDGE, true, ""},
      {"NG\r", ScannerLineKind::REFUSED, false, ""},
      {"Ok\r", ScannerLineKind::REFUSED, false, ""},
      {"350000001234565\r", ScannerLineKind::CODE, true, "350000001234565"},
      {"A50000001234565\r", ScannerLineKind::CODE_LETTER, true, "A50000001234565"},
      {"G10000001234565\r", ScannerLineKind::CODE_LETTER, true, "G10000001234565"},
      {"35000000123456\r", ScannerLineKind::SHORT_CODE, false, ""},  // 15 bytes
      {"350000001234565", ScannerLineKind::INCOMPLETE, false, ""},   // no CR
      {"OK", ScannerLineKind::INCOMPLETE, false, ""},
      {"OK\r\n", ScannerLineKind::INCOMPLETE, false, ""},
      {"", ScannerLineKind::INCOMPLETE, false, ""},
      {"\r", ScannerLineKind::OTHER, false, ""},
      {"123456789\r", ScannerLineKind::OTHER, false, ""},         // 10 bytes
      {"3500000012345650\r", ScannerLineKind::OTHER, false, ""},  // 17 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto bytes = Bytes(c.line);
    const ScannerLine line = ClassifyScannerLine(bytes.data(), bytes.size());
    EXPECT_EQ(line.kind, c.kind);
    EXPECT_EQ(line.success, c.success);
    EXPECT_EQ(line.text, c.text);
  }
}

// A scanner that answers each command with a scripted line after a delay (none: silent), and
// notes when each command arrived.
class ScriptedScanner : public SimFarEnd {
 public:
  ScriptedScanner(SimLoop& loop, SimPort& port) : loop_(loop), port_(port) { port_.Attach(this); }
  ~ScriptedScanner() override { port_.Attach(nullptr); }
  void OnStationBytes(const uint8_t* data, size_t count) override {
    arrivals.push_back(loop_.Now());
    received.emplace_back(reinterpret_cast<const char*>(data), count);
    if (answer.empty()) return;
    const std::string a = answer;
    loop_.After(delayMs, [this, a] { port_.DeviceSend(Bytes(a)); });
  }
  std::string answer;
  uint64_t delayMs = 10;
  std::vector<uint64_t> arrivals;
  std::vector<std::string> received;

 private:
  SimLoop& loop_;
  SimPort& port_;
};

struct ScannerRig {
  SimLoop loop;
  SimPort port{loop};
  ScriptedScanner far{loop, port};
  RecordingNotifier notifier;
  Scanner scanner{loop, port, notifier};
  ScannerRig() {
    port.Open(Scanner::PORT_NUMBER, Scanner::BAUD);
    port.SetQueueMode(true);
  }
};

TEST(ScannerTest, AnswerLinesDecideTheExchange) {
  struct Case {
    std::string answer;
    bool success;
    std::string text;
    std::vector<std::string> messages;
  } cases[] = {
      {"OK\r", true, "", {}},
      {"NG\r", false, "", {}},
      {"350000001234565\r", true, "350000001234565", {}},
      {"B50000001234565\r", true, "B50000001234565", {MSG_CODE_LETTER}},
      {"35000000123456\r", false, "", {}},
      {"350000001234565", false, "", {}},
      {"123456789\r", false, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ScannerRig rig;
    rig.far.answer = c.answer;
    const uint64_t start = rig.loop.Now();
    EXPECT_EQ(rig.scanner.SendScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS), c.success);
    EXPECT_EQ(rig.scanner.ScannerText(), c.text);
    EXPECT_EQ(rig.notifier.messages, c.messages);
    // An answer came at once: one write, and still the full wait.
    EXPECT_EQ(rig.far.received, std::vector<std::string>{"LON\r"});
    EXPECT_EQ(rig.loop.Now() - start, SCANNER_WAIT_MS);
    EXPECT_EQ(rig.port.Queue().Count(), 0u);  // the line is used up whatever it was
  }
}

TEST(ScannerTest, NoAnswerMeansThreeWritesOneWaitApart) {
  ScannerRig rig;
  const uint64_t start = rig.loop.Now();
  EXPECT_FALSE(rig.scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
  EXPECT_EQ(rig.loop.Now() - start, 3 * SCANNER_WAIT_MS);
  ASSERT_EQ(rig.far.arrivals.size(), 3u);
  EXPECT_EQ(rig.far.arrivals[1] - rig.far.arrivals[0], SCANNER_WAIT_MS);
  EXPECT_EQ(rig.far.arrivals[2] - rig.far.arrivals[1], SCANNER_WAIT_MS);
  EXPECT_EQ(rig.far.received, std::vector<std::string>(3, "BCLR\r"));
}

TEST(ScannerTest, AnswerAfterTheFirstWaitEndsTheAttemptsAtTheSecond) {
  ScannerRig rig;
  rig.far.answer = "OK\r";
  rig.far.delayMs = 1500;  // every write is answered, late
  const uint64_t start = rig.loop.Now();
  EXPECT_TRUE(rig.scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
  EXPECT_EQ(rig.loop.Now() - start, 2 * SCANNER_WAIT_MS);
  EXPECT_EQ(rig.far.received.size(), 2u);
}

TEST(ScannerTest, ZeroWaitWritesThreeTimesInQuickSuccession) {
  ScannerRig rig;
  const uint64_t start = rig.loop.Now();
  EXPECT_FALSE(rig.scanner.SendScannerCommand(SCANNER_LOFF, 5, 0));
  EXPECT_EQ(rig.loop.Now(), start);
  rig.loop.RunFor(100);
  ASSERT_EQ(rig.far.received, std::vector<std::string>(3, "LOFF\r"));
  // Back to back on the line: 5 bytes at 9600 baud each.
  EXPECT_LE(rig.far.arrivals[2] - start, 20u);
}

TEST(ScannerTest, WhatWasQueuedBeforeTheCommandIsNotTakenForItsAnswer) {
  ScannerRig rig;
  rig.port.DeviceSend(Bytes("350000001234565\r"));  // a late code from an earlier read
  rig.loop.RunFor(100);
  ASSERT_GT(rig.port.Queue().Count(), 0u);
  rig.far.answer = "OK\r";
  EXPECT_TRUE(rig.scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
  EXPECT_EQ(rig.scanner.ScannerText(), "");
  EXPECT_EQ(rig.scanner.LastKind(), ScannerLineKind::ACKNOWLEDGE);
}

TEST(ScannerTest, TwoLinesInOneWaitAreNoAnswer) {
  ScannerRig rig;
  rig.far.answer = "OK\r350000001234565\r";
  EXPECT_FALSE(rig.scanner.SendScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS));
  EXPECT_EQ(rig.scanner.ScannerText(), "");
}

}  // namespace

namespace {

std::vector<std::string>* g_trace = nullptr;

TEST(ScannerTest, EveryWriteLeavesItsTraceLine) {
  std::vector<std::string> trace;
  g_trace = &trace;
  SetDebugSink([](const std::string& line) { g_trace->push_back(line); });
  ScannerRig rig;
  rig.scanner.SendScannerCommand(SCANNER_BCLR, 5, 10);
  SetDebugSink(nullptr);
  g_trace = nullptr;
  EXPECT_EQ(trace, std::vector<std::string>(3, "T: 42 43 4C 52 0D 5\n"));
}

}  // namespace
