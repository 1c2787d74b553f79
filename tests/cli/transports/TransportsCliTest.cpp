#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/transports/BenchProcess.h"
#include "cli/transports/Processes.h"
#include "sim/bench/servers/PortMapper.h"
#include "support/Deadline.h"

// The station's "Instrument Check" (tesmira-cli instruments) and a full tesmira-cli calibrate
// through each transport against tesmira-bench, as a user would run them: the bench prints
// the assignments, the station runs with them in real time.
namespace {

using namespace std::chrono_literals;
using e2e::Bench;
using e2e::Child;
using e2e::Clock;
using e2e::TempDir;
namespace fs = std::filesystem;

struct Route {
  const char* transport;  // tesmira-bench --transport
  const char* testSet;    // tesmira-cli --test-set
  const char* over;       // the backends the station must use, as tesmira-bench reports them
};

// One bench per transport; its routes one after the other, the transports side by side.
struct CheckGroup {
  const char* transport;
  const char* over;
  std::vector<const char*> testSets;
};

const CheckGroup CHECKS[] = {
    {"socket", "socket", {"8960"}},
    {"vxi11", "vxi11", {"8960", "4400"}},
    {"hislip", "hislip", {"4400"}},
    {"prologix", "prologix", {"8960", "4400"}},
    {"prologix-usb", "prologix-usb", {"4400"}},
    {"serial", "serial", {"8960"}},
};

TEST(TransportsCli, InstrumentCheckThroughEachTransport) {
  testsupport::Deadline deadline(240s);
  struct Group {
    const CheckGroup* check;
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<Bench> bench;
  };
  std::vector<Group> groups;
  std::string skipped;
  for (const CheckGroup& check : CHECKS) {
    Group group{&check, std::make_unique<TempDir>(), nullptr};
    group.bench = std::make_unique<Bench>(group.dir->path());
    std::string why;
    bool skip = false;
    if (!group.bench->Start(check.transport, 7, &why, &skip)) {
      if (skip) {
        skipped += std::string(check.transport) + ": " + why + "\n";
      } else {
        ADD_FAILURE() << check.transport << ": " << why;
      }
      continue;
    }
    EXPECT_NE(group.bench->Log().find(std::string(" over ") + check.over), std::string::npos)
        << group.bench->Log();
    groups.push_back(std::move(group));
  }
  for (size_t round = 0; round < 2; ++round) {
    std::vector<std::pair<Group*, std::unique_ptr<Child>>> running;
    for (Group& group : groups) {
      if (round >= group.check->testSets.size()) continue;
      auto cli = std::make_unique<Child>();
      const std::string out = group.dir->path() + "/out" + std::to_string(round) + ".txt";
      ASSERT_TRUE(cli->Start({TESMIRA_CLI_PATH, "instruments", "--test-set",
                              group.check->testSets[round], "--supply", "3631A"},
                             group.bench->Env(), group.dir->path(), out,
                             group.dir->path() + "/err.txt"));
      running.emplace_back(&group, std::move(cli));
    }
    for (auto& [group, cli] : running) {
      const char* testSet = group->check->testSets[round];
      SCOPED_TRACE(std::string(group->check->transport) + " " + testSet);
      const int status = cli->Wait(Clock::now() + 60s);
      const std::string out =
          e2e::ReadFile(group->dir->path() + "/out" + std::to_string(round) + ".txt");
      EXPECT_EQ(status, 0) << out << e2e::ReadFile(group->dir->path() + "/err.txt");
      EXPECT_NE(out.find(std::string("test set ") + testSet), std::string::npos) << out;
      EXPECT_NE(out.find("OK    "), std::string::npos) << out;
      EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
      EXPECT_NE(out.find("supply   nominal 3.8 V, 3.0 A limit: current"), std::string::npos) << out;
    }
  }
  for (Group& group : groups) group.bench->Stop();
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// Each route carries a whole calibration; the runs go side by side, as they would take
// minutes one after the other. Routes that reach the 4400 go through its own driver.
constexpr Route CALIBRATIONS[] = {
    {"socket", "4400", "socket"},
    {"vxi11", "8960", "vxi11"},
    {"hislip", "8960", "hislip"},
    {"prologix", "4400", "prologix"},
    {"prologix-usb", "8960", "prologix-usb"},
    {"serial", "4400", "serial"},
};

TEST(TransportsCli, FullCalibrationThroughEachTransport) {
#ifdef TESMIRA_SANITIZED
  GTEST_SKIP() << "the real-time calibrations (minutes each) run in the normal build only";
#endif
  if (const char* quick = std::getenv("TESMIRA_QUICK_CHECK"); quick && *quick) {
    GTEST_SKIP() << "TESMIRA_QUICK_CHECK is set: the real-time calibrations are left out";
  }
  testsupport::Deadline deadline(1100s);
  struct Run {
    const Route* route;
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<Bench> bench;
    std::unique_ptr<Child> cli;
  };
  std::vector<Run> runs;
  std::string skipped;
  int seed = 11;
  for (const Route& route : CALIBRATIONS) {
    Run run{&route, std::make_unique<TempDir>(), nullptr, nullptr};
    run.bench = std::make_unique<Bench>(run.dir->path());
    std::string why;
    bool skip = false;
    if (!run.bench->Start(route.transport, seed++, &why, &skip)) {
      if (skip) {
        skipped += std::string(route.transport) + ": " + why + "\n";
      } else {
        ADD_FAILURE() << route.transport << ": " << why;
      }
      continue;
    }
    run.cli = std::make_unique<Child>();
    ASSERT_TRUE(
        run.cli->Start({TESMIRA_CLI_PATH, "calibrate", "--power-on", "--quiet", "--test-set",
                        route.testSet, "--supply", "3631A", "--max-minutes", "15"},
                       run.bench->Env(), run.dir->path(), run.dir->path() + "/out.txt",
                       run.dir->path() + "/err.txt"));
    runs.push_back(std::move(run));
  }
  const auto end = Clock::now() + 1000s;
  for (Run& run : runs) {
    SCOPED_TRACE(std::string(run.route->transport) + " " + run.route->testSet);
    const int status = run.cli->Wait(end);
    const std::string out = e2e::ReadFile(run.dir->path() + "/out.txt");
    EXPECT_EQ(status, 0) << out << e2e::ReadFile(run.dir->path() + "/err.txt");
    EXPECT_NE(out.find("Calibration Success.... "), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(run.dir->path() + "/calresult.txt"));
    EXPECT_NE(run.bench->Log().find(std::string(" over ") + run.route->over), std::string::npos);
    run.bench->Stop();
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

}  // namespace
