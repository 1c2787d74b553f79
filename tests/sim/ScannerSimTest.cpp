#include "sim/ScannerSim.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

// The bench's barcode scanner: what it answers to each command and fault, and the codes it
// makes up once its list is used.
namespace {

struct Rig {
  SimLoop loop;
  SimPort port{loop};
  sim::ScannerModel model{9};
  SimPortScanner scanner{loop, port, model};
  Rig() {
    port.Open(2, 9600);
    port.SetQueueMode(true);
  }
  std::string Ask(const std::string& command, uint64_t ms = 1000) {
    port.Queue().Discard();
    port.SendAll(reinterpret_cast<const uint8_t*>(command.data()), command.size());
    loop.RunFor(ms);
    std::string got;
    while (port.Queue().Count() > 0) got += static_cast<char>(port.Queue().Get());
    return got;
  }
};

TEST(ScannerSimTest, AnswersByCommandAndFault) {
  struct Case {
    sim::ScannerFault fault;
    std::string clear;
    std::string read;
  } cases[] = {
      {sim::ScannerFault::NONE, "OK\r", "350000001234565\r"},
      {sim::ScannerFault::SILENT, "", ""},
      {sim::ScannerFault::NG, "NG\r", "350000001234565\r"},
      {sim::ScannerFault::G1_CODE, "OK\r", "G10000001234565\r"},
      {sim::ScannerFault::SHORT_LINE, "OK\r", "35000000123456\r"},
      {sim::ScannerFault::LETTER_FIRST, "OK\r", "A50000001234565\r"},
      {sim::ScannerFault::NO_CR, "OK\r", "350000001234565"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::ScannerFaultName(c.fault));
    Rig rig;
    rig.model.codes = {"350000001234565"};
    rig.model.fault = c.fault;
    EXPECT_EQ(rig.Ask("BCLR\r"), c.clear);
    EXPECT_EQ(rig.Ask("LON\r"), c.read);
    EXPECT_EQ(rig.Ask("LOFF\r"), "");
  }
}

TEST(ScannerSimTest, LoffStopsAReadAndRepeatedLonReadsOnce) {
  Rig rig;
  rig.model.codes = {"350000001234565", "350000001234573"};
  EXPECT_EQ(rig.Ask("LON\r", 50), "");
  EXPECT_EQ(rig.Ask("LOFF\r", 1000), "");  // stopped before the code was read
  EXPECT_EQ(rig.model.codes.size(), 2u);
  EXPECT_EQ(rig.Ask("LON\rLON\rLON\r"), "350000001234565\r");
  EXPECT_EQ(rig.model.commands, (std::vector<std::string>{"LON", "LOFF", "LON", "LON", "LON"}));
}

TEST(ScannerSimTest, MadeUpCodesAreFifteenDigitImeisWithTheirCheckDigit) {
  sim::ScannerModel model(11);
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::string code = model.TakeCode();
    ASSERT_EQ(code.size(), 15u);
    for (char ch : code) ASSERT_TRUE(ch >= '0' && ch <= '9') << code;
    EXPECT_EQ(code[14], sim::ImeiCheckDigit(code.substr(0, 14)));
    seen.insert(code);
  }
  EXPECT_EQ(seen.size(), 50u);
  EXPECT_EQ(sim::ImeiCheckDigit("49015420323751"), '8');  // a published example
  EXPECT_NE(sim::ScannerModel(11).NextCode(), sim::ScannerModel(12).NextCode());
}

TEST(ScannerSimTest, FaultNamesRoundTrip) {
  for (const char* name : {"none", "silent", "ng", "g1", "short", "letter", "no-cr"}) {
    sim::ScannerFault f;
    ASSERT_TRUE(sim::ParseScannerFault(name, &f)) << name;
    EXPECT_STREQ(sim::ScannerFaultName(f), name);
  }
  sim::ScannerFault f;
  EXPECT_FALSE(sim::ParseScannerFault("bogus", &f));
}

}  // namespace
