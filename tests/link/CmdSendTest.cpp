// tesmira-cli send, run as its own process against a handset stand-in on a pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/PtyHelpers.h"

extern char** environ;

using namespace testing_serial;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int PORT = 9;

// Answers each request frame it reads with the bytes scripted for it (in pieces when asked).
class Responder {
 public:
  explicit Responder(PtyFarEnd& far) : far_(far) {}
  ~Responder() { Stop(); }

  // Replies for the wire frame `request`, in order; a request without replies stays unanswered.
  void On(const Bytes& request, std::vector<Bytes> replies) {
    script_[request] = std::move(replies);
  }
  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<Bytes> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Run() {
    Bytes frame;
    bool escaped = false;
    while (!stop_) {
      pollfd p{far_.Master(), POLLIN, 0};
      if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
      uint8_t buf[256];
      const ssize_t n = read(far_.Master(), buf, sizeof buf);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n; ++i) {
        const uint8_t b = buf[i];
        if (frame.empty() && b != 0x02) continue;
        frame.push_back(b);
        if (escaped) {
          escaped = false;
        } else if (b == 0x10) {
          escaped = true;
        } else if (b == 0x02 && frame.size() > 1) {
          Answer(frame);
          frame.clear();
        }
      }
    }
  }
  void Answer(const Bytes& request) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    auto it = script_.find(request);
    if (it == script_.end()) return;
    for (const auto& reply : it->second) far_.Write(reply);
  }

  PtyFarEnd& far_;
  std::map<Bytes, std::vector<Bytes>> script_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Bytes> requests_;
};

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string CliPath() {
  if (const char* env = std::getenv("TESMIRA_CLI")) return env;
  // Built next to this test program: <build>/tests/link/test_link, <build>/src/cli/tesmira-cli.
  const auto self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path() / "../../src/cli/tesmira-cli").lexically_normal().string();
}

// Runs tesmira-cli with args; the caller's Deadline ends a hang.
RunResult RunCli(const std::vector<std::string>& args) {
  RunResult result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  const std::string path = CliPath();
  std::vector<std::string> argvText = {path};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned == 0) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
      if (poll(fds, 2, -1) < 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buf[512];
        const ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<size_t>(n));
        } else {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  close(out[0]);
  close(err[0]);
  return result;
}

const Bytes SE6 = {0x02, 0x14, 0x54, 0x06, 0x00, 0x52, 0x02};     // "se 6"
const Bytes SPR100 = {0x02, 0x14, 0x51, 0x64, 0x00, 0x35, 0x02};  // "spr 100"
const Bytes SE6_OK = {0x02, 0x14, 0x54, 0x00, 0x06, 0x42, 0x02};
const Bytes SE6_BAD = {0x02, 0x14, 0x54, 0x01, 0x06, 0x43, 0x02};
const Bytes SPR_OK_ESCAPED = {0x02, 0x14, 0x51, 0x00, 0x64, 0x10, 0x02, 0x01, 0x77, 0x02};
const Bytes OTHER = {0x02, 0x14, 0x36, 0x00, 0x01, 0x23, 0x02};

struct SendCase {
  const char* name;
  std::vector<std::string> args;
  std::map<Bytes, std::vector<Bytes>> script;
  int status;
  std::string out;
  std::vector<Bytes> requests;  // what the handset stand-in read
};

class CmdSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(CliPath())) {
      GTEST_SKIP() << "tesmira-cli is not built at " << CliPath();
    }
  }
};

TEST_F(CmdSendTest, SendsEachLineAndPrintsItsAnswerFrames) {
  const SendCase cases[] = {
      {"answered",
       {"se 6"},
       {{SE6, {SE6_OK}}},
       0,
       "> se 6\n"
       "frame=02 14 54 00 06 42 02 unescaped=02 14 54 00 06 42 02 removed=0 class=ANSWER_OK\n",
       {SE6}},
      {"answer written in pieces after an answer to another request, escaped data",
       {"spr 100"},
       {{SPR100,
         {{0x02, 0x14, 0x36},
          {0x00, 0x01, 0x23, 0x02, 0x02, 0x14},
          {0x51, 0x00, 0x64, 0x10},
          {0x02, 0x01, 0x77, 0x02}}}},
       0,
       "> spr 100\n"
       "frame=02 14 36 00 01 23 02 unescaped=02 14 36 00 01 23 02 removed=0 class=ANSWER_OTHER\n"
       "display: txpw command error\n"
       "frame=02 14 51 00 64 10 02 01 77 02 unescaped=02 14 51 00 64 02 01 77 02 removed=1 "
       "class=ANSWER_OK\n"
       "display: Unknown value : 258\n",
       {SPR100}},
      {"bad status, then silence",
       {"--timeout", "300", "se 6", "spr 100"},
       {{SE6, {SE6_BAD}}, {SPR100, {SPR_OK_ESCAPED}}},
       1,
       "> se 6\n"
       "frame=02 14 54 01 06 43 02 unescaped=02 14 54 01 06 43 02 removed=0 "
       "class=ANSWER_STATUS_ERROR\n"
       "display: Status is error. \n"
       "display: No Response\n"
       "> spr 100\n"
       "frame=02 14 51 00 64 10 02 01 77 02 unescaped=02 14 51 00 64 02 01 77 02 removed=1 "
       "class=ANSWER_OK\n"
       "display: Unknown value : 258\n",
       {SE6, SPR100}},
      {"silent handset, unknown line sent as an empty frame",
       {"--timeout=200", "se 6", "bogus"},
       {},
       1,
       "> se 6\ndisplay: No Response\n> bogus\ndisplay: No Response\n",
       {SE6, {0x02, 0x02}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Deadline deadline(10s);
    PtyFarEnd far;
    far.BindTo(PORT);
    Responder handset(far);
    for (const auto& [request, replies] : c.script) handset.On(request, replies);
    handset.Start();
    std::vector<std::string> args = {"send", "--port", std::to_string(PORT)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunCli(args);
    handset.Stop();
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(handset.Requests(), c.requests);
  }
}

TEST_F(CmdSendTest, RefusesAPortItCannotOpenAndBadArguments) {
  Deadline deadline(10s);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* err;
  };
  PtyFarEnd far;
  far.BindTo(PORT);
  const int held = open(far.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  setenv("TESMIRA_COM8", "/nonexistent/ttyTESMIRA", 1);
  const Case cases[] = {
      {"absent device", {"send", "--port", "8", "se 6"}, "serial port error !!!\n"},
      {"held by another program", {"send", "--port", "9", "se 6"}, "serial port error !!!\n"},
      {"no line", {"send", "--port", "9"}, "tesmira-cli send: LINE is required\n"},
      {"bad port", {"send", "--port", "0", "se 6"}, "tesmira-cli send: --port: "},
      {"bad time-out", {"send", "--timeout", "soon", "se 6"}, "tesmira-cli send: --timeout: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  close(held);
}

}  // namespace
