#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

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

// The bench killed in the middle of GMAGIC takes the handset's pseudo-terminal with it: the run
// stops within a second with one message naming the port, instead of resending until the
// station-time limit.
TEST(ProgressCli, DeviceLostMidRunStopsWithinASecond) {
  e2e::TempDir dir;
  e2e::Bench bench(dir.path());
  std::string why;
  bool skip = false;
  ASSERT_TRUE(bench.Start("socket", 5, &why, &skip)) << why;
  e2e::Child cli;
  ASSERT_TRUE(cli.Start(
      {TESMIRA_CLI_PATH, "calibrate", "--power-on", "--log", "none", "--max-minutes", "3"},
      bench.Env(), dir.path(), "", dir.path() + "/err.txt", true));
  std::string out;
  // GMAGIC under way.
  const auto limit = e2e::Clock::now() + 60s;
  while (out.find("GMAGIC CAL Processing") == std::string::npos && e2e::Clock::now() < limit) {
    cli.WaitForLine("[", 1s, &out);
  }
  ASSERT_NE(out.find("GMAGIC CAL Processing"), std::string::npos)
      << out << e2e::ReadFile(dir.path() + "/err.txt");
  std::this_thread::sleep_for(500ms);
  bench.Signal(SIGKILL);
  const auto killed = e2e::Clock::now();
  const std::string outcome = "stopped: the handset link was lost";
  const auto stopLimit = killed + 10s;
  while (out.find(outcome) == std::string::npos && e2e::Clock::now() < stopLimit) {
    cli.WaitForLine("", 100ms, &out);
  }
  const auto stopped =
      std::chrono::duration_cast<std::chrono::milliseconds>(e2e::Clock::now() - killed);
  cli.WaitForLine("\x01never", 15s, &out);  // everything up to the end of its output
  const int status = cli.Wait(e2e::Clock::now() + 10s);
  const auto exited =
      std::chrono::duration_cast<std::chrono::milliseconds>(e2e::Clock::now() - killed);
  std::printf("[ measured ] device lost to the run's outcome %lld ms, to the exit %lld ms\n",
              static_cast<long long>(stopped.count()), static_cast<long long>(exited.count()));
  EXPECT_EQ(status, 1) << out;
  // The stop within 1 s, with the time a loaded machine takes to show it. The exit closes the
  // instruments, which went with the bench.
  EXPECT_LT(stopped, 1500ms) << out;
  size_t named = 0;
  for (size_t at = out.find("serial port lost: /dev/pts/"); at != std::string::npos;
       at = out.find("serial port lost: /dev/pts/", at + 1)) {
    ++named;
  }
  EXPECT_EQ(named, 1u) << out;
  EXPECT_EQ(out.find("message: message:"), std::string::npos) << out;
}

}  // namespace
