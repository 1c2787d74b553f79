#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/RunCli.h"

// tesmira-cli calibrate as a line would run it: a full simulated run with its files, the test
// sets, a population against the simulator's truth, and the exit statuses.
namespace {

using clitest::RunCli;
using clitest::Stderr;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

class CalibrateCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tesmira-calcli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
};

// The "line" of every transmitted request in a trace, resends marked with a leading '!'.
Lines TransmittedLines(const std::string& trace) {
  Lines lines;
  std::istringstream in(trace);
  std::string event;
  const std::regex tx(R"re(^\{"t":\d+,"ev":"tx","line":"([^"]*)".*?("resend":true)?\}$)re");
  std::smatch m;
  while (std::getline(in, event)) {
    if (std::regex_match(event, m, tx)) lines.push_back((m[2].matched ? "!" : "") + m[1].str());
  }
  return lines;
}

std::vector<int> JsonIntArray(const std::string& json, const std::string& key) {
  std::vector<int> values;
  const size_t at = json.find("\"" + key + "\":[");
  if (at == std::string::npos) return values;
  std::istringstream in(json.substr(at + key.size() + 4));
  int v;
  char sep = ',';
  while (sep == ',' && in >> v) {
    values.push_back(v);
    in >> sep;
  }
  return values;
}

TEST_F(CalibrateCli, FullSimulatedRunWritesLogTraceAndJson) {
  const auto r = RunCli("calibrate --sim --trace t.jsonl --json r.json", Stderr::Drop, dir_);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\nCalibration Success.... \n"), std::string::npos);
  EXPECT_TRUE(
      std::regex_search(r.out, std::regex(R"(\nStation time \d\d:\d\d \(\d+\.\d{3} s\)\n$)")))
      << r.out.substr(r.out.size() > 200 ? r.out.size() - 200 : 0);

  const std::string log = Read("calresult.txt");
  for (const char* section :
       {"***** Gmagic Calibration *****", "***** RX CHANNEL Calibration *****",
        "***** APC GSM TX Calibration *****", "***** APC DCS TX Calibration *****"}) {
    EXPECT_NE(log.find(section), std::string::npos) << section;
  }

  // The trace carries the RX step's exact order, with the values the JSON record reports.
  const Lines sent = TransmittedLines(Read("t.jsonl"));
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front(), "ti");  // GMAGIC opens the run in test mode
  for (const auto& line : sent) EXPECT_NE(line[0], '!') << "resend of " << line;
  const std::string json = Read("r.json");
  EXPECT_NE(json.find("\"outcome\":\"success\""), std::string::npos);
  const std::vector<int> rx = JsonIntArray(json, "rx");
  ASSERT_EQ(rx.size(), 17u);
  const int channels[] = {1,   20,  40,  62,  80,  100, 124,  512, 585,
                          660, 700, 790, 835, 885, 975, 1000, 1023};
  Lines expected{"se 300", "se 100"};
  for (int i = 0; i < 17; ++i) {
    expected.push_back("spw 1 " + std::to_string(channels[i]));
    expected.push_back("spr 11");
    expected.push_back("spw 11 " + std::to_string(rx[static_cast<size_t>(i)]));
  }
  expected.insert(expected.end(), {"se 101", "se 1"});
  const auto rxStart = std::find(sent.begin(), sent.end(), "se 300");
  ASSERT_NE(rxStart, sent.end());
  ASSERT_GE(static_cast<size_t>(sent.end() - rxStart), expected.size());
  EXPECT_EQ(Lines(rxStart, rxStart + static_cast<long>(expected.size())), expected);
  EXPECT_EQ(sent.back(), "se 1");  // DCS TX saves last
}

// The 4400 waits for the call the handset dials; its console trace stays off stdout.
TEST_F(CalibrateCli, FullRunOnThe4400) {
  const auto r = RunCli("calibrate --sim --test-set 4400 --log none", Stderr::Drop, dir_);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\nCalibration Success.... \n"), std::string::npos);
  EXPECT_EQ(r.out.find("WT4400"), std::string::npos);
}

// Run alone, DCS TX gets the handset into test mode first instead of having "rfe 7" refused.
TEST_F(CalibrateCli, DcsAloneOnAFreshHandset) {
  const auto r = RunCli("calibrate --sim --step dcs --log none --trace t.jsonl --max-minutes 10",
                        Stderr::Drop, dir_);
  EXPECT_EQ(r.status, 0) << r.out;
  const Lines sent = TransmittedLines(Read("t.jsonl"));
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 3), (Lines{"ti", "tms 1", "rfpw 1 512"}));
}

long Count(const std::string& out, const std::string& pattern) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex(pattern))) return -1;
  return std::stol(m[1].str());
}

// Every unit the model calls good passes with every value inside its tolerance in truth; every
// bad one fails with the message of its defect.
TEST_F(CalibrateCli, PopulationAgainstTheSimulatorsTruth) {
  const auto r = RunCli("calibrate --sim --population 120 --seed 7", Stderr::Drop, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.out;
  std::smatch good;
  ASSERT_TRUE(std::regex_search(
      r.out, good, std::regex(R"(Good units \(model\): (\d+), passed (\d+), failed (\d+))")))
      << r.out;
  EXPECT_GT(std::stol(good[1]), 90);
  EXPECT_EQ(good[1], good[2]);
  EXPECT_EQ(Count(r.out, R"(Bad units \(model\): (\d+))"),
            Count(r.out, R"(failed with the expected message (\d+))"));
  EXPECT_GT(Count(r.out, R"(Bad units \(model\): (\d+))"), 0);
  EXPECT_EQ(Count(r.out, R"(other failure (\d+))"), 0);
  EXPECT_EQ(Count(r.out, R"(outside target \+- tolerance: (\d+))"), 0);
  EXPECT_EQ(Count(r.out, R"(outside 50 \+- 1: (\d+))"), 0);
  EXPECT_EQ(Count(r.out, R"(outside true \+- 2: (\d+))"), 0);
  EXPECT_EQ(Count(r.out, R"(4\.18 V reading \+- 1\.5: (\d+))"), 0);
  EXPECT_GT(Count(r.out, R"(APC: (\d+) values)"), 8000);
}

TEST_F(CalibrateCli, ExitStatuses) {
  struct Case {
    const char* args;
    int status;
  };
  const Case cases[] = {
      {"calibrate --sim --step gmagic --log none", 0},
      {"calibrate --sim --test-set none --log none", 1},  // GMAGIC needs the test set
      {"calibrate --sim --step nothing", 2},
      {"calibrate --population 10", 2},  // populations are simulated
      {"calibrate --sim --tx-scatter 0.2", 2},
      {"calibrate --sim --power-on", 2},  // the simulated operator powers the jig
      {"calibrate --sim --mode rf --supply none", 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RunCli(c.args, Stderr::Drop, dir_).status, c.status) << c.args;
}

}  // namespace
