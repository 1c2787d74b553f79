#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
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

uint32_t port = DEFAULT_PORT;
bool simulated = false;
uint64_t seed = 1;
uint32_t timeoutMs = DEFAULT_TIMEOUT_MS;
std::vector<std::string> lines;

void Define(CLI::App& app) {
  app.add_option("--port", port, "COM N, always at 115200 baud")
      ->check(CLI::Range(1, 255))
      ->default_val(port)
      ->type_name("N");
  clioptions::AddTimeout(app, timeoutMs, "answer time-out per line");
  app.add_flag("--sim", simulated, "to the simulated handset of the bench, in virtual time");
  clioptions::AddSeed(app, seed);
  app.add_option("LINE", lines, "a command line (quote it: one argument per line)")->required();
}

int Run() {
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
    {"send", "send command lines to the handset and print the answers", &Define, &Run});

}  // namespace
