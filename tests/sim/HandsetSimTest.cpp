#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/BenchHandset.h"
#include "sim/HandsetCommands.h"
#include "sim/HandsetEeprom.h"
#include "sim/HandsetUnit.h"
#include "sim/SimRandom.h"
#include "sim/StationSide.h"

namespace {

std::string RampLine(int index) {
  std::string line = "ttw " + std::to_string(index) + " ";
  for (int i = 0; i < 32; ++i) {
    if (i) line += ",";
    line += std::to_string(i < 16 ? i : 31 - i);
  }
  return line;
}

// Every command word through the encoder, the simulated handset and the exchange: the echo,
// status, sub-code and data count that the station's decoders rely on.
TEST(HandsetSim, EveryCommandWordIsAnsweredWithItsLayout) {
  struct Row {
    std::string line;
    uint8_t opcode;
    uint8_t subCode;
    size_t dataCount;
  };
  const std::vector<Row> rows = {
      {"ti", 0x20, 0, 0},          {"tms 1", 0x21, 1, 0},
      {"vg 0xe0", 0x22, 0xE0, 2},  {"rfpw 2 62", 0x30, 2, 0},
      {"rfpr 2", 0x31, 2, 2},      {"rfe 1", 0x23, 1, 0},
      {"sr 1 1", 0x24, 1, 6},      {"sr 1 2", 0x24, 1, 6},
      {"sr 1 3", 0x24, 1, 6},      {"scw 3 77", 0x25, 3, 0},
      {"scr 3", 0x26, 3, 4},       {"rftw 31 193,40,0,39,40", 0x32, 31, 0},
      {"rftr 31", 0x33, 31, 10},   {"rftr 47", 0x33, 47, 10},
      {"rxpw 8 0", 0x34, 8, 0},    {"rxpr 8", 0x35, 8, 2},
      {"txpw 1 7", 0x36, 1, 0},    {"txpw 4 555", 0x36, 4, 0},
      {"txpr 1", 0x37, 1, 2},      {"txpr 4", 0x37, 4, 2},
      {RampLine(3), 0x38, 3, 0},   {"ttr 3", 0x39, 3, 32},
      {"mpw 5 9", 0x44, 5, 0},     {"mpr 5", 0x45, 5, 2},
      {"spw 21 530", 0x50, 21, 0}, {"spr 21", 0x51, 21, 2},
      {"spw 100 2", 0x50, 100, 0}, {"spr 100", 0x51, 100, 2},
      {"spr 54", 0x51, 54, 2},     {"stw 60 0x53 0x00 0x00 0x00 0x21 0x43 0x65 0x5", 0x52, 60, 0},
      {"str 60", 0x53, 60, 8},     {"str 10", 0x53, 10, 14},
      {"str 11", 0x53, 11, 3},     {"str 20", 0x53, 20, 7},
      {"str 61", 0x53, 61, 3},     {"spw 55 0", 0x50, 55, 0},
      {"str 55", 0x53, 55, 64},    {"se 30", 0x54, 30, 0},
      {"se 53", 0x54, 53, 0},      {"se 1", 0x54, 1, 0},
      {"se 11", 0x54, 11, 0},      {"se 5", 0x54, 5, 0},
      {"se 6", 0x54, 6, 0},        {"se 101", 0x54, 101, 0},
      {"se 100", 0x54, 100, 0},    {"11", 0x01, 0x01, 0},
  };
  StationSide s;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Answer a = s.Ask(row.line);
    ASSERT_EQ(a.cls, ANSWER_OK) << "status " << int(a.Byte(3));
    EXPECT_EQ(a.Byte(2), row.opcode);
    EXPECT_EQ(a.Byte(4), row.subCode);
    EXPECT_EQ(a.DataCount(), row.dataCount);
    uint8_t check = 0;  // the answer's own check byte covers opcode to last data byte
    for (size_t i = 2; i + 2 < a.decoded.size(); ++i) check ^= a.decoded[i];
    EXPECT_EQ(a.Byte(a.decoded.size() - 2), check);
  }
}

TEST(HandsetSim, ReadsReturnWhatWasWritten) {
  StationSide s;
  for (const char* line :
       {"ti", "tms 1", "rfpw 2 885", "txpw 1 103", "spw 31 612", "txpw 4 598", "rfpw 9 -1.5",
        "rftw 47 201,40,0,41,42", "rxpw 2 3", "scw 9 123456", "mpw 7 4660", "spw 1 660",
        "spw 11 -14", "stw 61 0x12 0x34 0x56", "stw 11 0x52 0x30 0x35", "spw 51 25"}) {
    ASSERT_EQ(s.Ask(line).cls, ANSWER_OK) << line;
  }
  struct Read {
    std::string line;
    int value;  // u16 (or s16 where negative) at byte 5
  };
  for (const Read& r : std::vector<Read>{{"rfpr 2", 885},
                                         {"txpr 1", 103},
                                         {"spr 31", 612},
                                         {"txpr 4", 598},
                                         {"rfpr 9", -12},
                                         {"rxpr 2", 3},
                                         {"mpr 7", 4660},
                                         {"spr 1", 660},
                                         {"spr 11", -14},
                                         {"spr 51", 25}}) {
    SCOPED_TRACE(r.line);
    const Answer a = s.Ask(r.line);
    ASSERT_EQ(a.cls, ANSWER_OK);
    EXPECT_EQ(r.value < 0 ? a.S16(5) : static_cast<int>(a.U16(5)), r.value);
  }
  const Answer scr = s.Ask("scr 9");
  EXPECT_EQ(scr.U16(5) | (scr.U16(7) << 16), 123456u);
  const Answer item = s.Ask("rftr 47");
  EXPECT_EQ(item.U16(5), 201u);
  EXPECT_EQ(item.U16(11), 41u);
  EXPECT_EQ(item.U16(13), 42u);
  const Answer serial = s.Ask("str 61");
  EXPECT_EQ(serial.Byte(5), 0x12);
  EXPECT_EQ(serial.Byte(7), 0x56);
  const Answer hw = s.Ask("str 11");
  EXPECT_EQ(std::string(hw.decoded.begin() + 5, hw.decoded.begin() + 8), "R05");
  // The channel correction lives with its channel: another channel keeps its own.
  ASSERT_EQ(s.Ask("spw 1 700").cls, ANSWER_OK);
  EXPECT_EQ(s.Ask("spr 11").S16(5), 0);
}

// The answers the calibration decodes, at the byte positions it reads them.
TEST(HandsetSim, CalibrationAnswerLayouts) {
  StationSide s(11);
  // GMAGIC: a tone at the station's CW level and frequency, path loss compensated by the test set.
  s.bench.SetCwGenerator(947467000.0, -74.5 + 1.2, true);
  for (const char* line : {"ti", "tms 1", "rfpw 2 62", "rfe 1"})
    ASSERT_EQ(s.Ask(line).cls, ANSWER_OK);
  const Answer kind2 = s.Ask("sr 1 2");
  EXPECT_EQ(kind2.Byte(4), 1);
  EXPECT_EQ(kind2.Byte(6), 2);
  const double reading2 = kind2.U16(8) / 64.0;
  const double expected =
      55.0 + (195.0 - s.bench.TrueGmagic(2)) / 2.0 + (1.2 - s.bench.PathLossDb(947.467));
  EXPECT_NEAR(reading2, expected, 0.45);
  const Answer kind3 = s.Ask("sr 1 3");
  EXPECT_EQ(kind3.Byte(6), 3);
  EXPECT_NEAR(kind3.U16(9) / 64.0, expected, 0.45);
  const double rx = ((kind3.Byte(7) << 8) | kind3.Byte(8)) / 2.0;
  EXPECT_EQ(rx, s.bench.RxReportAt(62, -74.5 + 1.2 - s.bench.PathLossDb(947.467)));
  const Answer kind1 = s.Ask("sr 1 1");
  EXPECT_EQ(((kind1.Byte(7) << 8) | kind1.Byte(8)) / 2.0, rx);

  const Answer gmagic = s.Ask("rftr 31");
  EXPECT_EQ(gmagic.Byte(4), 31);
  EXPECT_EQ(gmagic.U16(5), 195u);
  EXPECT_EQ(gmagic.U16(11), 39u);

  // Battery: the live ADC reading at the supply's 3.8 V.
  const Answer battery = s.Ask("spr 54");
  EXPECT_NEAR(battery.U16(5), s.bench.TrueBatteryAdc(3.8), 1.0);

  // RX channel correction: signed, bytes 5-6.
  ASSERT_EQ(s.Ask("spw 1 512").cls, ANSWER_OK);
  ASSERT_EQ(s.Ask("spw 11 -6").cls, ANSWER_OK);
  EXPECT_EQ(s.Ask("spr 11").S16(5), -6);
  EXPECT_EQ(s.bench.handset().eeprom.RxCorrection(7), -6);
}

// Layouts the service windows decode: templates, versions, identity, clock.
TEST(HandsetSim, ServiceWindowAnswerLayouts) {
  StationSide s;
  ASSERT_EQ(
      s.Ask("ttw 12 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,255,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0")
          .cls,
      ANSWER_OK);
  const Answer ramp = s.Ask("ttr 12");
  EXPECT_EQ(ramp.Byte(4), 12);
  EXPECT_EQ(static_cast<int8_t>(ramp.Byte(5 + 15)), 15);
  EXPECT_EQ(static_cast<int8_t>(ramp.Byte(21)), -1);  // first down value, signed
  EXPECT_EQ(ramp.Byte(36), 0);

  const Answer sw = s.Ask("str 10");
  EXPECT_EQ(std::string(sw.decoded.begin() + 5, sw.decoded.begin() + 19), sim::HANDSET_SW_VERSION);

  ASSERT_EQ(s.Ask("stw 60 0x53 0x00 0x00 0x00 0x21 0x43 0x65 0x5").cls, ANSWER_OK);
  const Answer imei = s.Ask("str 60");
  const std::vector<uint8_t> packed(imei.decoded.begin() + 5, imei.decoded.begin() + 13);
  EXPECT_EQ(packed, (std::vector<uint8_t>{0x53, 0x00, 0x00, 0x00, 0x21, 0x43, 0x65, 0x05}));
  EXPECT_EQ(s.bench.handset().eeprom.ImeiDigits(), "350000001234565");

  // Saturday 24 August 2002, 15:07:09; 61 s later the clock reads 15:08:10.
  ASSERT_EQ(s.Ask("stw 20 0x6 0x2 0x8 0x18 0xf 0x7 0x9").cls, ANSWER_OK);
  s.loop.RunFor(61000);
  const Answer clock = s.Ask("str 20");
  const std::vector<uint8_t> rtc(clock.decoded.begin() + 5, clock.decoded.begin() + 12);
  EXPECT_EQ(rtc, (std::vector<uint8_t>{6, 2, 8, 24, 15, 8, 10}));

  ASSERT_EQ(s.Ask("spw 100 1").cls, ANSWER_OK);
  EXPECT_EQ(s.Ask("spr 100").Byte(5), 1);

  ASSERT_EQ(s.Ask("rfpw 9 1.5").cls, ANSWER_OK);
  EXPECT_EQ(s.Ask("rfpr 9").S16(5) / 8.0, 1.5);
}

// Values 0x02 and 0x10 travel escaped in both directions.
TEST(HandsetSim, EscapedBytesRoundTrip) {
  StationSide s;
  ASSERT_EQ(s.Ask("spw 16 4098").cls, ANSWER_OK);  // 0x1002: both bytes need escaping
  const Answer a = s.Ask("spr 16");
  ASSERT_EQ(a.cls, ANSWER_OK);
  EXPECT_EQ(a.U16(5), 4098u);
  EXPECT_GT(a.raw.size(), a.decoded.size());
}

// The EEPROM dump of the map viewer: 41 blocks of 64 bytes, each equal to the image.
TEST(HandsetSim, EepromDumpShowsWhatWasWritten) {
  StationSide s;
  ASSERT_EQ(s.Ask("rftw 31 199,40,0,39,40").cls, ANSWER_OK);
  ASSERT_EQ(s.Ask("spw 54 621").cls, ANSWER_OK);
  std::vector<uint8_t> dump;
  for (int address = 0; address <= 2560; address += 64) {
    ASSERT_EQ(s.Ask("spw 55 " + std::to_string(address)).cls, ANSWER_OK);
    const Answer block = s.Ask("str 55");
    ASSERT_EQ(block.cls, ANSWER_OK);
    ASSERT_EQ(block.DataCount(), 64u);
    dump.insert(dump.end(), block.decoded.begin() + 5, block.decoded.begin() + 69);
  }
  ASSERT_EQ(dump.size(), sim::HandsetEeprom::SIZE);
  const auto& image = s.bench.handset().eeprom.Bytes();
  EXPECT_TRUE(std::equal(dump.begin(), dump.end(), image.begin()));
  const size_t gmagic = sim::HandsetEeprom::RF_ITEMS + 31 * 10;
  EXPECT_EQ(dump[gmagic] | (dump[gmagic + 1] << 8), 199);
  const size_t battery = sim::HandsetEeprom::SPECIAL_PARAMS + 54 * 2;
  EXPECT_EQ(dump[battery] | (dump[battery + 1] << 8), 621);
  EXPECT_EQ(s.Ask("spw 55 2624").Byte(3), sim::STATUS_BAD_ARGUMENT);
}

// Requests the handset refuses: the answer carries the opcode and a non-zero status.
TEST(HandsetSim, RefusedRequestsCarryAStatus) {
  struct Row {
    std::string line;
    uint8_t status;
  };
  const std::vector<Row> rows = {
      {"tms 1", sim::STATUS_WRONG_MODE},  // before "ti"
      {"rfe 7", sim::STATUS_WRONG_MODE},  // not in test mode
      {"se 30", sim::STATUS_WRONG_MODE},
      {"txpw 1 40", sim::STATUS_BAD_ARGUMENT},
      {"txpw 2 1", sim::STATUS_BAD_ARGUMENT},
      {"txpw 1 5", 0},
      {"txpw 4 1024", sim::STATUS_BAD_ARGUMENT},
      {"spw 31 600", sim::STATUS_BAD_ARGUMENT},  // a DCS sub-band while a GSM level is selected
      {"rfpw 2 300", sim::STATUS_BAD_ARGUMENT},  // no such channel
      {"sr 2 2", sim::STATUS_BAD_ARGUMENT},
      {"sr 1 4", sim::STATUS_BAD_ARGUMENT},
      {"ttr 31", sim::STATUS_BAD_ARGUMENT},
      {"str 99", sim::STATUS_BAD_ARGUMENT},
      {"stw 10 0x41", sim::STATUS_BAD_ARGUMENT},  // the software version is read only
      {"stw 60 0x12", sim::STATUS_BAD_LENGTH},
      {"stw 20 0x6 0x2 0xd 0x18 0xf 0x7 0x9", sim::STATUS_BAD_ARGUMENT},  // month 13
      {"spw 200 1", sim::STATUS_BAD_ARGUMENT},
      {"se 7", sim::STATUS_BAD_ARGUMENT},
  };
  StationSide s;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Answer a = s.Ask(row.line);
    EXPECT_EQ(a.cls, row.status == 0 ? ANSWER_OK : ANSWER_STATUS_ERROR);
    EXPECT_EQ(a.Byte(3), row.status);
  }
}

// Frames the encoder never builds, put on the wire by hand.
TEST(HandsetSim, RawFramesBadCheckUnknownOpcodeAndNoise) {
  StationSide s;
  std::vector<std::vector<uint8_t>> answers;
  s.handset.handset().onAnswer = [&](const std::vector<uint8_t>& f) { answers.push_back(f); };
  auto send = [&](std::vector<uint8_t> wire) {
    answers.clear();
    s.port.SendAll(wire.data(), wire.size());
    s.loop.RunFor(100);
  };
  send({0x02, 0x14, 0x54, 0x06, 0x00, 0x53, 0x02});  // "se 6" with check 0x53 instead of 0x52
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], BuildAnswerFrame(0x54, sim::STATUS_BAD_CHECK, 0x06, {}));
  send({0x02, 0x14, 0x61, 0x05, 0x64, 0x02});  // opcode 0x61 does not exist
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0][3], sim::STATUS_UNKNOWN);
  send({0x02, 0x02});  // an unrecognised line goes out empty: nothing to answer
  EXPECT_TRUE(answers.empty());
  send({0x02, 0x14, 0x02});  // "mw": the header alone
  EXPECT_TRUE(answers.empty());
  // Noise, a stray marker and a header-less frame before a good request: only it is answered.
  send({0x55, 0x10, 0x02, 0x99, 0x33, 0x02, 0x02, 0x14, 0x20, 0x20, 0x02});
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], BuildAnswerFrame(0x20, 0, 0, {}));
  // The closing marker of a frame whose start was lost does not swallow the next frame.
  send({0x14, 0x20, 0x20, 0x02, 0x02, 0x14, 0x20, 0x20, 0x02});
  EXPECT_EQ(answers.size(), 1u);
  // Bytes of an over-long frame are dropped without an answer.
  std::vector<uint8_t> longFrame = {0x02, 0x14};
  longFrame.insert(longFrame.end(), 200, 0x41);
  longFrame.push_back(0x02);
  send(longFrame);
  EXPECT_TRUE(answers.empty());
  EXPECT_GE(s.handset.handset().counters().badCheck, 1);
}

TEST(HandsetSim, FaultSwitches) {
  StationSide s;
  s.bench.faults.silentHandset = true;
  EXPECT_TRUE(s.Ask("ti").timedOut);
  s.bench.faults.silentHandset = false;

  s.bench.faults.badStatusOpcode = 0x54;
  const Answer refused = s.Ask("se 1");
  EXPECT_EQ(refused.cls, ANSWER_STATUS_ERROR);
  EXPECT_EQ(refused.Byte(3), sim::STATUS_FAILED);
  EXPECT_EQ(s.bench.handset().eeprom.Saves(0), 0);  // not executed
  EXPECT_EQ(s.Ask("ti").cls, ANSWER_OK);
  s.bench.faults.badStatusOpcode = -1;

  s.bench.faults.wrongOpcode = true;
  EXPECT_EQ(s.Ask("ti").cls, ANSWER_OTHER);
  s.bench.faults.wrongOpcode = false;

  s.bench.faults.garbageBetweenFrames = true;
  for (const char* line : {"tms 1", "spr 54", "str 60", "se 1"}) {
    const Answer a = s.Ask(line);
    EXPECT_EQ(a.cls, ANSWER_OK) << line;
  }
  EXPECT_EQ(s.bench.handset().eeprom.Saves(0), 1);
}

// Answers come after a few milliseconds (more for EEPROM work) plus their wire time, in order.
TEST(HandsetSim, AnswerLatency) {
  StationSide s;
  std::vector<uint64_t> requests, answers;
  s.handset.handset().onRequest = [&](const std::vector<uint8_t>&) {
    requests.push_back(s.loop.Now());
  };
  s.handset.handset().onAnswer = [&](const std::vector<uint8_t>&) {
    answers.push_back(s.loop.Now());
  };
  ASSERT_EQ(s.Ask("ti").cls, ANSWER_OK);
  ASSERT_EQ(s.Ask("se 6").cls, ANSWER_OK);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_GE(answers[0] - requests[0], 3u);
  EXPECT_LE(answers[0] - requests[0], 10u);
  EXPECT_GE(answers[1] - requests[1], 400u);  // the full reset takes its time
  EXPECT_LE(answers[1] - requests[1], 1000u);
}

// "se 300" restarts the handset: no answer, deaf while it boots, then out of test mode.
TEST(HandsetSim, RestartAndSignalling) {
  StationSide s;
  ASSERT_EQ(s.Ask("ti").cls, ANSWER_OK);
  ASSERT_EQ(s.Ask("tms 1").cls, ANSWER_OK);
  const uint64_t restartAt = s.loop.Now();
  EXPECT_TRUE(s.Ask("se 300").timedOut);
  EXPECT_GT(s.loop.Now(), restartAt + sim::Bench::BOOT_MS);
  EXPECT_EQ(s.Ask("rfe 7").Byte(3), sim::STATUS_WRONG_MODE);  // test mode was lost
  // "se 100" is answered, then the handset leaves test mode for signalling.
  ASSERT_EQ(s.Ask("ti").cls, ANSWER_OK);
  ASSERT_EQ(s.Ask("tms 1").cls, ANSWER_OK);
  EXPECT_FALSE(s.bench.handset().signalling);
  s.bench.SetCell(2, 80, 62, -58.8, true);
  ASSERT_EQ(s.Ask("se 100").cls, ANSWER_OK);
  EXPECT_TRUE(s.bench.handset().signalling);
  EXPECT_EQ(s.Ask("rfe 7").Byte(3), sim::STATUS_WRONG_MODE);
  // ...and dials its test call: it connects with nobody paging it.
  const uint64_t connectsAt = s.bench.CallConnectsAtMs();
  ASSERT_NE(connectsAt, 0u);
  EXPECT_LE(connectsAt, s.loop.Now() + 8000);
  s.loop.RunFor(connectsAt - s.loop.Now());
  EXPECT_TRUE(s.bench.CallConnected());
  s.bench.OriginateCall();  // a test set paging now joins the call
  EXPECT_TRUE(s.bench.CallConnected());
  ASSERT_EQ(s.Ask("se 101").cls, ANSWER_OK);
  EXPECT_FALSE(s.bench.handset().signalling);
  EXPECT_FALSE(s.bench.CallConnected());
}

// Without power the handset answers nothing; after power-up it boots before it listens.
TEST(HandsetSim, PowerAndBoot) {
  StationSide s;
  s.bench.SetSupplyOutput(3.8, 3.0, false);
  EXPECT_TRUE(s.Ask("ti").timedOut);
  s.bench.SetSupplyOutput(3.8, 3.0, true);
  EXPECT_TRUE(s.Ask("ti").timedOut);  // sent at once: still booting
  s.loop.RunFor(sim::Bench::BOOT_MS);
  EXPECT_EQ(s.Ask("ti").cls, ANSWER_OK);
  s.bench.InsertHandset(false);
  EXPECT_TRUE(s.Ask("ti").timedOut);
  s.bench.InsertHandset(true);
  s.loop.RunFor(sim::Bench::BOOT_MS);
  EXPECT_EQ(s.Ask("ti").cls, ANSWER_OK);
}

// Arbitrary requests with a good check byte: every one is answered once with a well-formed frame
// echoing its opcode, whatever its arguments; nothing reads outside the payload.
TEST(HandsetSim, ArbitraryRequestsAreAnsweredWithWellFormedFrames) {
  StationSide s(3);
  std::vector<std::vector<uint8_t>> answers;
  s.handset.handset().onAnswer = [&](const std::vector<uint8_t>& f) { answers.push_back(f); };
  const uint8_t opcodes[] = {0x01, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x30, 0x31,
                             0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x44, 0x45,
                             0x50, 0x51, 0x52, 0x53, 0x54, 0x40, 0x7F, 0xFF};
  sim::SimRandom r(12345);
  int sent = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> payload = {opcodes[r.UniformInt(0, sizeof opcodes - 1)]};
    const int args = r.UniformInt(0, 40);
    for (int k = 0; k < args; ++k) payload.push_back(static_cast<uint8_t>(r.UniformInt(0, 255)));
    if (payload[0] == 0x54 && payload.size() >= 3 && payload[1] == 0x2C && payload[2] == 0x01) {
      payload[1] = 0;  // "se 300" restarts the handset and answers nothing
    }
    uint8_t check = 0;
    for (uint8_t b : payload) check ^= b;
    payload.push_back(check);
    std::vector<uint8_t> wire = {0x02, 0x14};
    for (uint8_t b : payload) {
      if (b == 0x02 || b == 0x10) wire.push_back(0x10);
      wire.push_back(b);
    }
    wire.push_back(0x02);
    answers.clear();
    s.port.SendAll(wire.data(), wire.size());
    s.loop.RunFor(600);
    ++sent;
    ASSERT_EQ(answers.size(), 1u) << "request " << i;
    const std::vector<uint8_t>& f = answers[0];
    std::vector<uint8_t> body;
    for (size_t k = 2; k + 1 < f.size(); ++k) body.push_back(f[k] == 0x10 ? f[++k] : f[k]);
    ASSERT_GE(body.size(), 4u);
    EXPECT_EQ(body[0], payload[0]);
    uint8_t answerCheck = 0;
    for (size_t k = 0; k + 1 < body.size(); ++k) answerCheck ^= body[k];
    EXPECT_EQ(answerCheck, body.back());
    if (!s.bench.HandsetReady()) s.loop.RunFor(sim::Bench::BOOT_MS);
  }
  EXPECT_EQ(s.handset.handset().counters().answered, sent);
}

}  // namespace
