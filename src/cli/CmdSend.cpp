#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "link/CComm.h"
#include "link/Exchange.h"
#include "platform/Notifier.h"
#include "platform/PollLoop.h"
#include "service/ManualCal.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/LinkHarness.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// tesmira-cli send: command lines to the handset, one after another, as the manual command
// window sends them; every answer frame is printed in the `frames` format, followed by what
// the window's display shows for it.
namespace {

constexpr int DEFAULT_PORT = 1;
constexpr uint32_t HANDSET_BAUD = 115200;
constexpr uint32_t DEFAULT_TIMEOUT_MS = 3000;
constexpr uint32_t MAX_TIMEOUT_MS = 600000;

// The operator's messages (a lost link, ...) go to stderr; stdout carries the answers.
class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// The manual command window driven line by line: send, then let the loop run until the
// answer or the answer time-out. After each answer frame come the lines the window's display
// would show for it ("display: ..."), one per display line.
class LineSender : private ManualCalView {
 public:
  LineSender(EventLoop& loop, Port& port, Notifier& notifier, uint32_t timeoutMs, FILE* out)
      : loop_(loop), out_(out), manual_(loop, port, notifier, *this, timeoutMs) {
    manual_.onFrame = [this](Exchange& ex, AnswerClass answerClass) {
      PrintFrame(ex, answerClass);
    };
    manual_.OnInit();
  }

  // True when the line got ANSWER_OK.
  bool Send(const std::string& line) {
    std::fprintf(out_, "> %s\n", line.c_str());
    echoing_ = true;  // the window shows the typed line itself: not a line of any answer
    manual_.Send(line);
    echoing_ = false;
    if (manual_.LastOutcome() == ManualCal::Outcome::NOT_SENT) {
      std::fprintf(stderr, "serial port error !!!\n");
      return false;
    }
    Exchange& ex = manual_.GetExchange();
    // The answer timer ends every wait, but an answer to another request stops it while the
    // window goes on listening: then the wait ends when the time-out would have. The guard
    // only covers a loop that stops dispatching.
    const uint32_t start = loop_.TickCount();
    while (true) {
      const ManualCal::Outcome outcome = manual_.LastOutcome();
      const uint32_t waited = loop_.TickCount() - start;
      if (outcome != ManualCal::Outcome::PENDING && outcome != ManualCal::Outcome::OTHER_ANSWER) {
        break;
      }
      if ((outcome == ManualCal::Outcome::OTHER_ANSWER && waited >= ex.AnswerTimeout()) ||
          waited > ex.AnswerTimeout() + 1000) {
        ex.StopTimers();
        break;
      }
      if (!loop_.PumpMessages()) break;
    }
    std::fflush(out_);
    return manual_.LastOutcome() == ManualCal::Outcome::ANSWERED;
  }

 private:
  void PrintFrame(Exchange& ex, AnswerClass answerClass) {
    FrameReport report;
    report.answerClass = answerClass;
    report.raw.assign(ex.Frame(), ex.Frame() + ex.FrameLength());
    const uint16_t decoded = ex.DecodeFrameCopy();
    report.unescaped.assign(ex.Decoded(), ex.Decoded() + decoded);
    report.removed = static_cast<int>(report.raw.size() - report.unescaped.size());
    std::fprintf(out_, "%s\n", FormatFrameReport(report).c_str());
  }

  void AppendDisplay(const std::string& text) override {
    if (echoing_) return;
    size_t at = 0;
    while (true) {
      const size_t breakAt = text.find("\r\n", at);
      std::fprintf(out_, "display: %s\n", text.substr(at, breakAt - at).c_str());
      if (breakAt == std::string::npos) break;
      at = breakAt + 2;
    }
  }
  void ClearDisplay() override {}
  void ClearCommandLine() override {}

  EventLoop& loop_;
  FILE* out_;
  bool echoing_ = false;
  ManualCal manual_;
};

// Sends every line on an open port; true when each got ANSWER_OK. Any port and loop will do: a
// real line on PollLoop here, a simulated handset on SimLoop.
bool SendLines(EventLoop& loop, Port& port, const std::vector<std::string>& lines,
               uint32_t timeoutMs, FILE* out) {
  StderrNotifier notifier;
  LineSender sender(loop, port, notifier, timeoutMs, out);
  bool allAnswered = true;
  for (const auto& line : lines) allAnswered = sender.Send(line) && allAnswered;
  return allAnswered;
}

bool ParseNumber(std::string_view text, uint32_t min, uint32_t max, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v < min || v > max) return false;
  value = v;
  return true;
}

// --sim: the simulated handset of a bench drawn from seed, in virtual time.
int RunSendSim(uint32_t portNumber, uint64_t seed, const std::vector<std::string>& lines,
               uint32_t timeoutMs) {
  SimLoop loop;
  sim::Bench bench(seed, [&loop] { return loop.Now(); });
  SimPort port(loop);
  SimPortHandset handset(loop, port, bench);
  port.Open(static_cast<int>(portNumber), HANDSET_BAUD);
  return SendLines(loop, port, lines, timeoutMs, stdout) ? 0 : 1;
}

int RunSend(const std::vector<std::string>& args) {
  uint32_t port = DEFAULT_PORT;
  bool simulated = false;
  uint64_t seed = 1;
  uint32_t timeoutMs = DEFAULT_TIMEOUT_MS;
  std::vector<std::string> lines;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::string_view name;
    std::string_view value;
    if (arg == "--sim") {
      simulated = true;
      continue;
    }
    if (arg == "--seed") {
      char* end = nullptr;
      const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
      seed = std::strtoull(text, &end, 0);
      if (*text == '\0' || *text == '-' || *end != '\0') {
        return CliUsageError("send", "--seed needs a number");
      }
      ++i;
      continue;
    }
    if (arg == "--port" || arg == "--timeout") {
      if (i + 1 == args.size()) return CliUsageError("send", std::string(arg) + " needs a value");
      name = arg;
      value = args[++i];
    } else if (arg.starts_with("--port=") || arg.starts_with("--timeout=")) {
      name = arg.substr(0, arg.find('='));
      value = arg.substr(arg.find('=') + 1);
    } else if (arg.starts_with("--")) {
      return CliUsageError("send", "unknown option '" + std::string(arg) + "'");
    } else {
      lines.push_back(args[i]);
      continue;
    }
    if (name == "--port" && !ParseNumber(value, 1, 255, port)) {
      return CliUsageError("send", "bad port number '" + std::string(value) + "' (1 to 255)");
    }
    if (name == "--timeout" && !ParseNumber(value, 1, MAX_TIMEOUT_MS, timeoutMs)) {
      return CliUsageError("send", "bad time-out '" + std::string(value) + "' (1 to 600000 ms)");
    }
  }
  if (lines.empty()) return CliUsageError("send", "give at least one command line");
  if (simulated) return RunSendSim(port, seed, lines, timeoutMs);

  PollLoop loop;
  StderrNotifier notifier;
  CComm comm(loop, &notifier);
  if (!comm.Open(static_cast<int>(port), HANDSET_BAUD)) {
    std::fprintf(stderr, "serial port error !!!\n");
    std::fprintf(stderr, "tesmira-cli send: %s\n", comm.LastError().c_str());
    return 2;
  }
  const bool allAnswered = SendLines(loop, comm, lines, timeoutMs, stdout);
  comm.Close();
  loop.PumpMessages();  // messages still on their way to the operator
  return allAnswered ? 0 : 1;
}

const bool registered = RegisterCliCommand(
    {"send", "[--port N] [--timeout MS] [--sim [--seed S]] LINE...",
     "send command lines to the handset on COM N (default 1, 115200 baud) and print the answers;\n"
     "      --sim: to the simulated handset of bench seed S (default 1), in virtual time",
     &RunSend});

}  // namespace
