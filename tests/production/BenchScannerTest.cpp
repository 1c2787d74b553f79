#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "link/CComm.h"
#include "platform/PollLoop.h"
#include "production/Scanner.h"
#include "support/Deadline.h"

// tesmira-bench's production line: the scanner on its second pseudo-terminal with the codes and
// fault given on its command line, and the printer sink it announces.
namespace {

#ifdef TESMIRA_BENCH_EXE
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int PORT = 7;  // TESMIRA_COM7

struct Quiet : Notifier {
  void Message(const std::string&) override {}
};

class BenchProgram {
 public:
  explicit BenchProgram(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 2);
      setenv("TESMIRA_BENCH_SUPPLY", "none", 1);
      std::vector<char*> argv{const_cast<char*>(TESMIRA_BENCH_EXE)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TESMIRA_BENCH_EXE, argv.data());
      _exit(127);
    }
    close(out[1]);
    fd_ = out[0];
  }
  ~BenchProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      waitpid(pid_, &status, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  // The exports up to the alias line (or until the program ends).
  std::string Exports() {
    std::string all;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end && all.find("TESMIRA_VISA_ALIASES") == all.npos) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[512];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      all.append(buffer, static_cast<size_t>(n));
    }
    return all;
  }
  int Wait() {
    int status = -1;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

std::string Value(const std::string& exports, const std::string& name) {
  const std::string key = "export " + name + "=";
  const size_t at = exports.find(key);
  if (at == std::string::npos) return "";
  const size_t end = exports.find('\n', at);
  return exports.substr(at + key.size(), end - at - key.size());
}

TEST(BenchScanner, ServesTheListedCodesOnItsSecondTerminal) {
  testsupport::Deadline deadline(30s);
  const fs::path sink = fs::temp_directory_path() / ("tesmira-sink-" + std::to_string(getpid()));
  BenchProgram bench(
      {"--seed", "3", "--scanner-code", "350000001234565", "--printer", sink.string()});
  const std::string exports = bench.Exports();
  const std::string com2 = Value(exports, "TESMIRA_COM2");
  ASSERT_EQ(com2.rfind("/dev/pts/", 0), 0u) << exports;
  EXPECT_EQ(Value(exports, "TESMIRA_LPT1"), sink.string());
  EXPECT_TRUE(fs::exists(sink));

  setenv(("TESMIRA_COM" + std::to_string(PORT)).c_str(), com2.c_str(), 1);
  PollLoop loop;
  Quiet quiet;
  CComm comm(loop, &quiet);
  ASSERT_TRUE(comm.Open(PORT, Scanner::BAUD));
  Scanner scanner(loop, comm, quiet);
  comm.SetQueueMode(true);
  EXPECT_TRUE(scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
  EXPECT_TRUE(scanner.SendScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS));
  EXPECT_EQ(scanner.ScannerText(), "350000001234565");
  comm.SetQueueMode(false);
  comm.Close();
  fs::remove(sink);
}

TEST(BenchScanner, FaultOnItsCommandLine) {
  testsupport::Deadline deadline(30s);
  {
    BenchProgram bench({"--scanner-fault", "ng"});
    const std::string com2 = Value(bench.Exports(), "TESMIRA_COM2");
    ASSERT_FALSE(com2.empty());
    setenv(("TESMIRA_COM" + std::to_string(PORT)).c_str(), com2.c_str(), 1);
    PollLoop loop;
    Quiet quiet;
    CComm comm(loop, &quiet);
    ASSERT_TRUE(comm.Open(PORT, Scanner::BAUD));
    Scanner scanner(loop, comm, quiet);
    comm.SetQueueMode(true);
    EXPECT_FALSE(scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
    EXPECT_EQ(scanner.LastKind(), ScannerLineKind::REFUSED);
  }
  BenchProgram bad({"--scanner-fault", "bogus"});
  EXPECT_EQ(bad.Wait(), 1);
}
#endif

}  // namespace
