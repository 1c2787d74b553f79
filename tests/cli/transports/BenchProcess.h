#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/transports/Processes.h"
#include "sim/bench/servers/PortMapper.h"

// tesmira-bench as a child process, and a scratch folder for each run.
namespace e2e {

// A tesmira-bench serving with the chosen transports, and the environment it announced.
class Bench {
 public:
  explicit Bench(std::string dir) : dir_(std::move(dir)) {}
  // False with the reason when it could not start; *skip when the reason is the machine's
  // (no port mapper, another VXI-11 server holding it), not a fault.
  // extra: more arguments for tesmira-bench (a fault to switch on at SIGUSR1).
  bool Start(const std::string& transport, int seed, std::string* why, bool* skip,
             const std::vector<std::string>& extra = {}) {
    *skip = false;
    if (transport.find("vxi11") != std::string::npos && !sim::EnsurePortMapper(why)) {
      *skip = true;
      return false;
    }
    std::vector<std::string> argv{TESMIRA_BENCH_EXE, "--seed", std::to_string(seed), "--transport",
                                  transport};
    argv.insert(argv.end(), extra.begin(), extra.end());
    if (!child_.Start(argv, {}, dir_, "", dir_ + "/bench.err", true)) {
      *why = "cannot start tesmira-bench";
      return false;
    }
    std::string printed;
    const std::string line =
        child_.WaitForLine("export TESMIRA_VISA_ALIASES=", std::chrono::seconds(20), &printed);
    if (line.empty()) {
      *why = "tesmira-bench printed no aliases: " + printed + ReadFile(dir_ + "/bench.err");
      *skip = why->find("holds the port mapper") != std::string::npos;
      return false;
    }
    for (std::string entry : {printed.substr(0, printed.find('\n')), line}) {
      entry.erase(0, entry.find(' ') + 1);  // "export "
      const size_t eq = entry.find('=');
      std::string value = entry.substr(eq + 1);
      if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
      env_.push_back(entry.substr(0, eq + 1) + value);
    }
    return true;
  }
  const std::vector<std::string>& Env() const { return env_; }
  std::string Log() const { return ReadFile(dir_ + "/bench.err"); }
  void Stop() { child_.Stop(); }
  void Signal(int sig) { child_.Signal(sig); }

 private:
  std::string dir_;
  Child child_;
  std::vector<std::string> env_;
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tesmira-e2e-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace e2e
