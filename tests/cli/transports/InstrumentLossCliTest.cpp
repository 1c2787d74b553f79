#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/transports/BenchProcess.h"
#include "cli/transports/Processes.h"

// tesmira-cli calibrate against tesmira-bench in real time, the test set's service closed or
// silenced in the middle of the GSM TX step while the handset link stays up.
namespace {

using namespace std::chrono_literals;

constexpr auto TEST_SET_TIMEOUT = 10000ms;  // the 8960 session's I/O time-out
constexpr auto MARGIN = 1000ms;
// What a loaded machine adds, and the longest stretch of the step without a test-set call at
// the levels where the fault begins (a 300 ms settling wait and two handset exchanges).
constexpr auto ALLOWANCE = 700ms;

std::vector<std::string> TraceLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(e2e::ReadFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct LossRun {
  const char* fault;
  const char* step;     // --step
  const char* before;   // the progress line after which the fault begins
  const char* message;  // the step's failure, as tesmira-cli prints it
  std::chrono::milliseconds limit;
  bool supplyAnswers;  // the supply can be read back afterwards
};

void RunLoss(const LossRun& run) {
  SCOPED_TRACE(run.fault);
  e2e::TempDir dir;
  e2e::Bench bench(dir.path());
  std::string why;
  bool skip = false;
  ASSERT_TRUE(bench.Start("socket", 5, &why, &skip, {"--fault-on-signal", run.fault})) << why;
  e2e::Child cli;
  const std::string trace = dir.path() + "/trace.jsonl";
  ASSERT_TRUE(cli.Start({TESMIRA_CLI_PATH, "calibrate", "--power-on", "--step", run.step, "--log",
                         "none", "--max-minutes", "3", "--trace", trace},
                        bench.Env(), dir.path(), "", dir.path() + "/err.txt", true));
  std::string out;
  const auto limit = e2e::Clock::now() + 90s;
  while (out.find(run.before) == std::string::npos && e2e::Clock::now() < limit) {
    cli.WaitForLine("[", 1s, &out);
  }
  ASSERT_NE(out.find(run.before), std::string::npos)
      << out << e2e::ReadFile(dir.path() + "/err.txt");
  bench.Signal(SIGUSR1);
  const auto faulted = e2e::Clock::now();
  const std::string message = std::string("result: ") + run.message;
  const auto failLimit = faulted + TEST_SET_TIMEOUT + 10s;
  while (out.find(message) == std::string::npos && e2e::Clock::now() < failLimit) {
    cli.WaitForLine("", 50ms, &out);
  }
  const auto failed =
      std::chrono::duration_cast<std::chrono::milliseconds>(e2e::Clock::now() - faulted);
  cli.WaitForLine("\x01never", 30s, &out);  // the rest of its output
  const int status = cli.Wait(e2e::Clock::now() + 30s);
  const auto exited =
      std::chrono::duration_cast<std::chrono::milliseconds>(e2e::Clock::now() - faulted);
  std::printf("[ measured ] %s: fault to the step's message %lld ms, to the exit %lld ms\n",
              run.fault, static_cast<long long>(failed.count()),
              static_cast<long long>(exited.count()));
  ASSERT_NE(out.find(message), std::string::npos) << out;
  EXPECT_LE(failed, run.limit) << out;
  EXPECT_EQ(status, 1) << out;

  // On the handset's side: the stop's "rfe 0" right after the failure, nothing resent.
  const auto lines = TraceLines(trace);
  size_t failAt = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("\"ev\":\"step\"") != std::string::npos &&
        lines[i].find("\"result\":\"fail\"") != std::string::npos) {
      failAt = i;
    }
    EXPECT_EQ(lines[i].find("\"resend\""), std::string::npos) << lines[i];
  }
  ASSERT_LT(failAt, lines.size()) << e2e::ReadFile(trace);
  std::vector<std::string> after;
  for (size_t i = failAt; i < lines.size(); ++i) {
    if (lines[i].find("\"ev\":\"tx\"") != std::string::npos) after.push_back(lines[i]);
  }
  ASSERT_EQ(after.size(), 1u) << e2e::ReadFile(trace);
  EXPECT_NE(after[0].find("\"line\":\"rfe 0\""), std::string::npos) << after[0];

  if (run.supplyAnswers) {
    // The supply was left where the run had it: 3.8 V, output on.
    e2e::Child scpi;
    ASSERT_TRUE(
        scpi.Start({TESMIRA_CLI_PATH, "scpi", "GPIB::5::INSTR", "INST:NSEL 1", "VOLT?", "OUTP?"},
                   bench.Env(), dir.path(), "", dir.path() + "/scpi.err", true));
    std::string supply;
    scpi.WaitForLine("\x01never", 20s, &supply);
    EXPECT_EQ(scpi.Wait(e2e::Clock::now() + 10s), 0) << supply;
    std::istringstream replies(supply);
    double volts = 0;
    int on = 0;
    replies >> volts >> on;
    EXPECT_DOUBLE_EQ(volts, 3.8) << supply;
    EXPECT_EQ(on, 1) << supply;
  }
  bench.Stop();
}

// Two levels of sub-band 1 settled: the step is well under way.
TEST(InstrumentLossCli, TestSetLostMidGsmFailsTheStepAndStopsTheHandset) {
  for (const LossRun& run :
       {LossRun{"testset-closed", "gsm", "GSM1 level 6", "GSM 1Band ", MARGIN + ALLOWANCE, true},
        LossRun{"testset-silent", "gsm", "GSM1 level 6", "GSM 1Band ",
                TEST_SET_TIMEOUT + MARGIN + ALLOWANCE, true}}) {
    RunLoss(run);
  }
}

// The reference found: the supply's next call is its return to 3.8 V once "se 11" is answered.
// A closed supply cannot be read back; a silent one is the test set's case over another socket.
TEST(InstrumentLossCli, SupplyClosedMidBatteryFailsTheStepAndStopsTheHandset) {
  RunLoss({"supply-closed", "battery", "Battery: reference", "******  BATCAL FAIL  ******",
           MARGIN + ALLOWANCE, false});
}

}  // namespace
