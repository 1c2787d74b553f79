#include <gtest/gtest.h>

#include <string>

#include "cli/RunCli.h"

// tesmira-cli scpi against the simulated bench in process: replies, the error queue, exit codes.
namespace {

using Result = clitest::CliRun;

// stderr is dropped: the tests look at what a script would read.
Result RunScpi(const std::string& args) {
  return clitest::RunCli("scpi " + args, clitest::Stderr::Drop);
}

TEST(ScpiCli, QueriesPrintTheirRepliesThenTheErrorQueue) {
  const Result r = RunScpi("--sim GPIB0::4 '*IDN?' ':CONF:CSYS GEN' '*OPC?'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Willtek,4400 Mobile Phone Tester (simulated),SIM0440001,1.20\n1\n+0,\"No error\"\n");
}

TEST(ScpiCli, ExitStatuses) {
  struct Case {
    const char* args;
    int status;
    const char* out;
  };
  const Case cases[] = {
      // The instrument reports an error: shown, and the exit status says so.
      {"--sim GPIB::4::INSTR ':NO:SUCH:HEADER'", 1, "-113,\"Undefined header\"\n"},
      // A query with no answer times out; the queue still tells why.
      {"--sim --timeout 200 GPIB0::4 ':NO:SUCH?'", 1, "-113,\"Undefined header\"\n"},
      // Nothing at that address.
      {"--sim GPIB0::22 '*IDN?'", 2, ""},
      {"--sim GPIB0::4", 2, ""},
      {"--timeout 0 GPIB0::4 '*IDN?'", 2, ""},
      {"--bogus GPIB0::4 '*IDN?'", 2, ""},
  };
  for (const auto& c : cases) {
    const Result r = RunScpi(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

}  // namespace
