#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "link/CComm.h"
#include "platform/Notifier.h"
#include "platform/PollLoop.h"
#include "service/GsmRamp.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// tesmira-cli ramp: the ramp table editor headless. Reads one template ("LOAD") and prints its
// values, totals and the 32 points of its chart, or writes one (template "SAVE").
namespace {

constexpr uint32_t HANDSET_BAUD = 115200;

struct RampOptions {
  bool simulated = false;
  uint64_t seed = 1;
  uint32_t port = 1;
  int index = -1;
  bool write = false;
  RampTemplate values;
};

// What the editor's controls would show, printed as it happens; the messages recorded.
class PrintingRampView : public GsmRampView, public Notifier {
 public:
  PrintingRampView(std::string indexText, FILE* out) : index_(std::move(indexText)), out_(out) {}

  void SetValueField(int field, int32_t value) override { fields_[field] = value; }
  void SetTotals(int32_t up, int32_t down) override { up_ = up, down_ = down; }
  void SetResult(const std::string& text) override {
    result = text;
    std::fprintf(out_, "Result: %s\n", text.c_str());
  }
  void SetDacText(const std::string&) override {}
  void SetIndexText(const std::string&) override {}
  void SetCallCaption(const std::string&) override {}
  void ClearCommandWindow() override {}
  void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>& points) override {
    chart_ = points;
  }
  void HandOverAnswer(const uint8_t*, size_t) override {}
  std::string TxLevelText() override { return {}; }
  std::string IndexText() override { return index_; }

  void Message(const std::string& text) override {
    messages.push_back(text);
    std::fprintf(out_, "message: %s\n", text.c_str());
  }

  void PrintTemplate() const {
    for (int row = 0; row < 2; ++row) {
      std::fprintf(out_, "%s:", row == 0 ? "up" : "down");
      for (int i = 0; i < RAMP_STEPS; ++i) std::fprintf(out_, " %d", fields_[row * RAMP_STEPS + i]);
      std::fprintf(out_, "\n");
    }
  }
  void PrintTotals() const {
    std::fprintf(out_, "RAMP UP TOTAL: %d\nRAMP DOWN TOTAL: %d\n", up_, down_);
  }
  void PrintChart() const {
    std::fprintf(out_, "chart:");
    // Rounded first, so a level that sums back to zero is not printed as -0.0000.
    for (double p : chart_) std::fprintf(out_, " %.4f", std::round(p * 1e4) / 1e4 + 0.0);
    std::fprintf(out_, "\n");
  }

  std::string result;
  std::vector<std::string> messages;

 private:
  std::string index_;
  FILE* out_;
  std::array<int32_t, RAMP_FIELDS> fields_{};
  int32_t up_ = 0;
  int32_t down_ = 0;
  std::array<double, RAMP_CHART_POINTS> chart_{};
};

// The read or the write on an open port; 0 when the handset did it, 1 otherwise.
int RunRampJob(EventLoop& loop, Port& port, const RampOptions& o, FILE* out) {
  PrintingRampView view(std::to_string(o.index), out);
  RampTemplate table;
  GsmRamp ramp(loop, port, view, view, table);
  ramp.onSend = [out](const std::string& line) { std::fprintf(out, "> %s\n", line.c_str()); };
  ramp.OnInit();
  if (o.write) {
    for (int i = 0; i < RAMP_FIELDS; ++i) {
      ramp.ValueChanged(i, std::to_string(RampTemplate(o.values).Field(i)));
    }
    ramp.SaveTemplate();
  } else {
    ramp.Load();
  }
  auto done = [&] { return o.write ? view.result == "Writing Success" : ramp.TemplateLoaded(); };
  // The answer timer ends a wait unless an answer to another request stopped it; the editor
  // would still take the awaited answer, so wait as long as the time-out would have.
  const uint32_t start = loop.TickCount();
  while (!done()) {
    const bool timedOut = !view.messages.empty() && view.messages.back() == "No response";
    if (timedOut || loop.TickCount() - start > GsmRamp::ANSWER_TIMEOUT_MS + 1000) break;
    if (!loop.PumpMessages()) break;
  }
  ramp.GetExchange().StopTimers();
  if (!done()) return 1;
  if (!o.write) {
    view.PrintTemplate();
    view.PrintChart();
  }
  view.PrintTotals();
  std::fflush(out);
  return 0;
}

int RunRampSim(const RampOptions& o) {
  SimLoop loop;
  sim::Bench bench(o.seed, [&loop] { return loop.Now(); });
  SimPort port(loop);
  SimPortHandset handset(loop, port, bench);
  port.Open(static_cast<int>(o.port), HANDSET_BAUD);
  return RunRampJob(loop, port, o, stdout);
}

class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

int RunRampPort(const RampOptions& o) {
  PollLoop loop;
  StderrNotifier notifier;
  CComm comm(loop, &notifier);
  if (!comm.Open(static_cast<int>(o.port), HANDSET_BAUD)) {
    std::fprintf(stderr, "serial port error !!!\n");
    std::fprintf(stderr, "tesmira-cli ramp: %s\n", comm.LastError().c_str());
    return 2;
  }
  const int status = RunRampJob(loop, comm, o, stdout);
  comm.Close();
  loop.PumpMessages();
  return status;
}

RampOptions options;
std::optional<std::string> indexText;
std::optional<std::string> portText;
std::optional<std::string> writeText;

void Define(CLI::App& app) {
  clioptions::AddSimSeed(app, options.simulated, options.seed, "the simulated handset");
  app.add_option_function<std::string>(
         "--port", [](const std::string& v) { portText = v; }, "COM N (1 to 255, default 1)")
      ->type_name("N");
  app.add_option_function<std::string>(
         "--index", [](const std::string& v) { indexText = v; }, "ramp template 0 to 30")
      ->type_name("N");
  app.add_option_function<std::string>(
         "--write", [](const std::string& v) { writeText = v; },
         "write the template: up and down values, 0 to 31 each")
      ->type_name("\"u0,...,u15/d0,...,d15\"");
}

// The values' own checks, each with its reason.
int Run() {
  RampOptions& o = options;
  uint64_t number = 0;
  if (portText) {
    if (!clioptions::ParseNumber(*portText, 1, 255, number)) {
      return CliUsageError("ramp", "bad port number '" + *portText + "' (1 to 255)");
    }
    o.port = static_cast<uint32_t>(number);
  }
  if (!indexText) return CliUsageError("ramp", "give the template index with --index N");
  if (!clioptions::ParseNumber(*indexText, 0, RAMP_INDEX_MAX, number)) {
    return CliUsageError("ramp", "bad template index '" + *indexText + "' (0 to 30)");
  }
  o.index = static_cast<int>(number);
  if (writeText) {
    std::string error;
    if (!ParseTemplateText(*writeText, o.values, error)) return CliUsageError("ramp", error);
    o.write = true;
  }
  return o.simulated ? RunRampSim(o) : RunRampPort(o);
}

const bool registered = RegisterCliCommand(
    {"ramp",
     "read ramp template N (0-30) and print its values, totals and 32 chart points, or write it "
     "with the given up and down values (0-31 each)",
     &Define, &Run});

}  // namespace
