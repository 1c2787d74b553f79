// tesmira-cli send (the display lines) and ramp, run as their own processes against the
// simulated handset.

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "cli/RunCli.h"

namespace {

using clitest::RunCli;
using clitest::Stderr;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<double> Numbers(const std::string& line, const std::string& prefix) {
  EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
  std::istringstream in(line.substr(prefix.size()));
  std::vector<double> v;
  for (double d; in >> d;) v.push_back(d);
  return v;
}

TEST(ServiceCli, SendPrintsTheDisplayLinesOfEachAnswer) {
  const auto run = RunCli("send --sim --timeout 500 'se 5' 'ttr 1' 'str 61' bogus", Stderr::Drop);
  EXPECT_EQ(run.status, 1);  // the last line got no answer
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 16u) << run.out;
  EXPECT_EQ(lines[0], "> se 5");
  EXPECT_EQ(lines[1].rfind("frame=02 14 54 00 05 ", 0), 0u);
  EXPECT_EQ(lines[2], "display: Target Resetted");
  EXPECT_EQ(lines[3], "> ttr 1");
  EXPECT_EQ(lines[4].rfind("frame=02 14 39 00 01 ", 0), 0u);
  EXPECT_EQ(lines[5], "display: Up Ramp Templete #1");
  // A block of sixteen values shows as two lines of eight.
  for (size_t i : {6u, 7u, 9u, 10u}) {
    EXPECT_EQ(lines[i].size(), std::string("display: ").size() + 64) << lines[i];
    EXPECT_EQ(Numbers(lines[i], "display: ").size(), 8u);
  }
  EXPECT_EQ(lines[8], "display: Down Ramp Templete #1");
  EXPECT_EQ(lines[11], "> str 61");
  EXPECT_EQ(lines[13].rfind("display: ", 0), 0u);
  EXPECT_EQ(lines[14], "> bogus");
  EXPECT_EQ(lines[15], "display: No Response");
}

TEST(ServiceCli, RampReadsATemplateWithTotalsAndChart) {
  const auto run = RunCli("ramp --sim=4 --index 7", Stderr::Fold);
  ASSERT_EQ(run.status, 0) << run.out;
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 7u) << run.out;
  EXPECT_EQ(lines[0], "> ttr 7");
  EXPECT_EQ(lines[1], "Result: command success");
  const auto up = Numbers(lines[2], "up:");
  const auto down = Numbers(lines[3], "down:");
  ASSERT_EQ(up.size(), 16u);
  ASSERT_EQ(down.size(), 16u);
  const auto chart = Numbers(lines[4], "chart:");
  ASSERT_EQ(chart.size(), 32u);
  double level = 0;
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(chart[i], level += up[i] / 31.0, 1e-4);
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(chart[15 + i], level -= down[i] / 31.0, 1e-4);
  EXPECT_NEAR(chart[30], level, 1e-4);
  EXPECT_NEAR(chart[31], level, 1e-4);
  EXPECT_EQ(lines[5],
            "RAMP UP TOTAL: " + std::to_string(int(std::accumulate(up.begin(), up.end(), 0.0))));
  EXPECT_EQ(lines[6], "RAMP DOWN TOTAL: " +
                          std::to_string(int(std::accumulate(down.begin(), down.end(), 0.0))));
}

TEST(ServiceCli, RampWritesTheLongestTemplateLine) {
  const std::string up = "31,31,31,31,31,31,31,31,31,31,31,31,31,31,31,31";
  const std::string down = "10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25";
  const auto run = RunCli("ramp --sim --index 30 --write '" + up + "/" + down + "'", Stderr::Fold);
  ASSERT_EQ(run.status, 0) << run.out;
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 5u) << run.out;
  EXPECT_EQ(lines[0], "> ttw 30 " + up + "," + down);
  EXPECT_EQ(lines[0].size(), 2u + 102u);
  EXPECT_EQ(lines[1], "Result: command success");
  EXPECT_EQ(lines[2], "Result: Writing Success");
  EXPECT_EQ(lines[3], "RAMP UP TOTAL: 496");
  EXPECT_EQ(lines[4], "RAMP DOWN TOTAL: 280");
}

TEST(ServiceCli, RampRefusesBadArguments) {
  struct Case {
    const char* args;
    const char* err;
  };
  const Case cases[] = {
      {"ramp --sim", "tesmira-cli ramp: give the template index with --index N"},
      {"ramp --sim --index 31", "tesmira-cli ramp: bad template index '31' (0 to 30)"},
      {"ramp --sim --index x", "tesmira-cli ramp: bad template index 'x' (0 to 30)"},
      {"ramp --sim=seed --index 1", "tesmira-cli ramp: --sim: bad seed 'seed'"},
      {"ramp --sim --index 1 --write 1,2", "tesmira-cli ramp: give the up and the down values"},
      {"ramp --sim --index 1 --color",
       "tesmira-cli ramp: The following argument was not expected: --color"},
      {"ramp --port 0 --index 1", "tesmira-cli ramp: bad port number '0' (1 to 255)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto run = RunCli(c.args, Stderr::Fold);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.rfind(c.err, 0), 0u) << run.out;
  }
}

}  // namespace
