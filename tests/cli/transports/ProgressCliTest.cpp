#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cli/transports/BenchProcess.h"
#include "cli/transports/Processes.h"

// tesmira-cli calibrate against tesmira-bench in real time, its output read as a script or a
// log file reads it.
namespace {

using namespace std::chrono_literals;

// A line that logs a run sees each progress line when it happens, not when the run ends.
TEST(ProgressCli, ProgressLinesReachAPipeAsTheyHappen) {
  e2e::TempDir dir;
  e2e::Bench bench(dir.path());
  std::string why;
  bool skip = false;
  ASSERT_TRUE(bench.Start("socket", 3, &why, &skip)) << why;
  e2e::Child cli;
  ASSERT_TRUE(cli.Start({TESMIRA_CLI_PATH, "calibrate", "--power-on", "--log", "none"}, bench.Env(),
                        dir.path(), "", dir.path() + "/err.txt", true));
  std::string seen;
  // The first lines come within seconds of a run that takes minutes.
  EXPECT_NE(cli.WaitForLine("[", 20s, &seen), "") << seen << e2e::ReadFile(dir.path() + "/err.txt");
  EXPECT_TRUE(cli.Running());
  cli.Stop();
  bench.Stop();
}

}  // namespace
