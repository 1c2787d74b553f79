#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "link/CComm.h"
#include "link/Exchange.h"
#include "link/PtyHelpers.h"
#include "platform/PollLoop.h"
#include "sim/Bench.h"
#include "sim/PtyHandset.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"

// The simulated handset on a pseudo-terminal in real time, reached through the station's real
// serial port object: first in-process (the bench on its own thread), then the tesmira-bench
// program itself. Every wait has a hard deadline.
namespace {

using namespace std::chrono_literals;
using testing_serial::Deadline;

constexpr int PORT = 9;  // TESMIRA_COM9, so no real COM port is touched

class QuietNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// The station: PollLoop, CComm and one window's exchange.
class PtyStation : private ExchangeClient {
 public:
  explicit PtyStation(const std::string& device)
      : comm_(loop_, &notifier_), exchange_(loop_, comm_, *this, 3000) {
    setenv(("TESMIRA_COM" + std::to_string(PORT)).c_str(), device.c_str(), 1);
    comm_.SetOwner(&exchange_);
  }
  ~PtyStation() override { comm_.Close(); }

  bool Open() { return comm_.Open(PORT, 115200); }

  // The first answer frame, unescaped; empty after the time-out.
  std::vector<uint8_t> Ask(const std::string& line, AnswerClass* cls) {
    got_ = false;
    timed_out_ = false;
    exchange_.Send(line);
    loop_.RunUntil([this] { return got_ || timed_out_; }, 5000);
    *cls = got_ ? cls_ : ANSWER_NONE;
    return got_ ? decoded_ : std::vector<uint8_t>{};
  }

 private:
  void DecodeAnswer(Exchange& ex) override {
    if (got_) return;
    cls_ = ex.CheckAnswer();
    const uint16_t n = ex.DecodeFrameCopy();
    decoded_.assign(ex.Decoded(), ex.Decoded() + n);
    ex.StopTimers();
    got_ = true;
  }
  void OnAnswerTimeout(Exchange& ex) override {
    ex.StopTimers();
    timed_out_ = true;
  }

  PollLoop loop_;
  QuietNotifier notifier_;
  CComm comm_;
  Exchange exchange_;
  bool got_ = false;
  bool timed_out_ = false;
  AnswerClass cls_ = ANSWER_NONE;
  std::vector<uint8_t> decoded_;
};

unsigned U16(const std::vector<uint8_t>& f, size_t i) {
  return i + 1 < f.size() ? f[i] | (f[i + 1] << 8) : 0xFFFFFFFFu;
}

// A station session against a handset at device: the calibration's own exchanges.
void TalkToHandset(const std::string& device) {
  PtyStation station(device);
  ASSERT_TRUE(station.Open());
  AnswerClass cls;
  for (const char* line : {"ti", "tms 1", "rfpw 2 62", "rfe 1"}) {
    station.Ask(line, &cls);
    ASSERT_EQ(cls, ANSWER_OK) << line;
  }
  const auto battery = station.Ask("spr 54", &cls);
  ASSERT_EQ(cls, ANSWER_OK);
  EXPECT_GT(U16(battery, 5), 540u);  // 3.8 V in the jig
  EXPECT_LT(U16(battery, 5), 590u);
  const auto gmagic = station.Ask("rftr 31", &cls);
  ASSERT_EQ(cls, ANSWER_OK);
  EXPECT_EQ(gmagic[4], 31);
  EXPECT_EQ(U16(gmagic, 5), 195u);
  const auto report = station.Ask("sr 1 2", &cls);
  ASSERT_EQ(cls, ANSWER_OK);
  EXPECT_EQ(report[6], 2);
  // Escaped bytes cross the terminal untouched (raw mode on both ends).
  station.Ask("spw 16 4098", &cls);
  ASSERT_EQ(cls, ANSWER_OK);
  EXPECT_EQ(U16(station.Ask("spr 16", &cls), 5), 4098u);
  const auto block = station.Ask("str 55", &cls);
  ASSERT_EQ(cls, ANSWER_OK);
  EXPECT_EQ(block.size(), 64u + 7u);
}

TEST(BenchPty, HandsetOnAPseudoTerminalThroughCComm) {
  Deadline deadline(20s);
  std::promise<std::string> device;
  std::atomic<RealTimeDriver*> driverPtr{nullptr};
  std::thread bench([&] {
    SimLoop loop;
    sim::Bench model(3, [&loop] { return loop.Now(); });
    PtyHandset handset(loop, model);
    std::string error;
    RealTimeDriver driver(loop);
    if (!handset.Open(&error)) {
      device.set_value("");
      return;
    }
    driver.Watch(handset.MasterFd(), [&] { handset.OnReadable(); });
    driverPtr = &driver;
    device.set_value(handset.SlavePath());
    driver.Run();
    driverPtr = nullptr;
  });
  auto future = device.get_future();
  ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
  const std::string path = future.get();
  if (!path.empty()) TalkToHandset(path);
  // Stop the bench thread; it may not have published the driver yet only if opening failed.
  for (int i = 0; i < 500 && driverPtr == nullptr && !path.empty(); ++i)
    std::this_thread::sleep_for(1ms);
  if (RealTimeDriver* d = driverPtr.load()) d->Stop();
  bench.join();
  ASSERT_FALSE(path.empty()) << "no pseudo-terminal";
}

#ifdef TESMIRA_BENCH_EXE
// Reads lines from fd until one starts with prefix or the deadline passes.
std::string WaitForLine(int fd, const std::string& prefix, std::chrono::milliseconds limit,
                        std::string* all) {
  const auto end = std::chrono::steady_clock::now() + limit;
  std::string pending;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    all->append(buffer, static_cast<size_t>(n));
    size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
      const std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
  }
  return "";
}

TEST(BenchPty, TesmiraBenchPrintsItsPortAndServesUntilTerminated) {
  Deadline deadline(20s);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    // Without the simulated supply (whose output starts off, as a real one's) the handset sits
    // powered in the jig, as the bench model starts.
    setenv("TESMIRA_BENCH_SUPPLY", "none", 1);
    execl(TESMIRA_BENCH_EXE, TESMIRA_BENCH_EXE, "--seed", "42", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string printed;
  const std::string device = WaitForLine(out[0], "export TESMIRA_COM1=", 5s, &printed);
  EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << printed;
  if (!device.empty()) TalkToHandset(device);

  kill(pid, SIGTERM);
  int status = -1;
  for (int i = 0; i < 300; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    std::this_thread::sleep_for(10ms);
  }
  if (!WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "tesmira-bench did not stop on SIGTERM";
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  close(out[0]);
}
#endif

}  // namespace
