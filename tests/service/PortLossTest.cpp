// The handset's port lost in the middle of an exchange of each service window: the window stops
// as a stop leaves it (its timers killed, a dump ended), sends nothing more, and shows no
// time-out message afterwards; the port's own message is the only one. A command given while
// the port is gone is refused or reported as on a closed link.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "service/EepromMap.h"
#include "service/GsmRamp.h"
#include "service/LogicTest.h"
#include "service/ManualCal.h"
#include "service/RfTest.h"
#include "service/ServiceBench.h"
#include "service/ServiceText.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct Views : ManualCalView, RfTestView, LogicTestView, GsmRampView, EepromMapView {
  Lines display, results, eepromLines;
  void AppendDisplay(const std::string& text) override { display.push_back(text); }
  void ClearDisplay() override {}
  void ClearCommandLine() override {}
  void SetResult(const std::string& text) override { results.push_back(text); }
  void SetCaption(LogicButton, const std::string&) override {}
  void SetValueField(int, int32_t) override {}
  void SetTotals(int32_t, int32_t) override {}
  void SetDacText(const std::string&) override {}
  void SetIndexText(const std::string&) override {}
  void SetCallCaption(const std::string&) override {}
  void ClearCommandWindow() override {}
  void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>&) override {}
  void HandOverAnswer(const uint8_t*, size_t) override {}
  std::string TxLevelText() override { return "5"; }
  std::string IndexText() override { return "0"; }
  void InsertLine(int position, const std::string& text) override {
    eepromLines.insert(eepromLines.begin() + position, text);
  }
  void ClearLines() override { eepromLines.clear(); }
};

// One window under test, built on the bench: what it starts before the loss, what the
// operator does while the port is gone, and the timers it may hold.
struct Window {
  virtual ~Window() = default;
  virtual Exchange& Ex() = 0;
  virtual void Start() = 0;
  virtual void PressWhileGone() = 0;
  virtual std::vector<int> OwnTimers() const { return {}; }
};

struct ManualWindow : Window {
  ManualWindow(ServiceBench& s, Views& v) : w(s.loop, s.port, s.messages, v) { w.OnInit(); }
  Exchange& Ex() override { return w.GetExchange(); }
  void Start() override { w.Send("se 6"); }
  void PressWhileGone() override { w.Send("se 6"); }
  ManualCal w;
};

struct RfWindow : Window {
  RfWindow(ServiceBench& s, Views& v) : w(s.loop, s.port, s.messages, v) { w.OnInit(); }
  Exchange& Ex() override { return w.GetExchange(); }
  void Start() override { w.Press(RfButton::TX_ON, {}); }
  void PressWhileGone() override { w.Press(RfButton::TX_OFF, {}); }
  RfTest w;
};

struct LogicWindow : Window {
  LogicWindow(ServiceBench& s, Views& v) : w(s.loop, s.port, s.messages, v) { w.OnInit(); }
  Exchange& Ex() override { return w.GetExchange(); }
  void Start() override { w.Press(LogicButton::LOGIC_DATA_SAVE, "", 25); }
  void PressWhileGone() override { w.Press(LogicButton::VIB_TEST, "", 25); }
  std::vector<int> OwnTimers() const override { return {TIMER_RESULT_CLEAR}; }
  LogicTest w;
};

struct RampWindow : Window {
  RampWindow(ServiceBench& s, Views& v) : w(s.loop, s.port, s.messages, v, table) { w.OnInit(); }
  Exchange& Ex() override { return w.GetExchange(); }
  void Start() override { w.CommandWindowEnter("ttr 0"); }
  void PressWhileGone() override { w.Load(); }
  RampTemplate table;
  GsmRamp w;
};

struct EepromWindow : Window {
  EepromWindow(ServiceBench& s, Views& v, const fs::path& file)
      : w(s.loop, s.port, s.messages, v, file.string()) {
    w.OnInit();
  }
  Exchange& Ex() override { return w.GetExchange(); }
  void Start() override { w.Read(); }
  void PressWhileGone() override { w.Read(); }
  EepromMap w;
};

struct LossCase {
  const char* name;
  std::function<std::unique_ptr<Window>(ServiceBench&, Views&, const fs::path&)> make;
  bool handsetSilent;       // the loss comes while the window waits for an answer that never comes
  uint64_t lossAfterMs;     // from the start
  Lines resultsOnLoss;      // what the loss writes into the window's result field
  Lines messagesWhileGone;  // what a press while the port is gone shows
  Lines resultsWhileGone;   // and what it writes into the window's result field
};

template <typename W>
auto Make() {
  return [](ServiceBench& s, Views& v, const fs::path&) -> std::unique_ptr<Window> {
    return std::make_unique<W>(s, v);
  };
}

const LossCase CASES[] = {
    {"ManualCommand", Make<ManualWindow>(), true, 1000, {}, {LINK_CLOSED_MESSAGE}, {}},
    // The panel never asks whether the link is open: its answer time-out reports the press.
    {"RfTest", Make<RfWindow>(), true, 1000, {}, {}, {RF_COMMAND_ERROR}},
    // The save's answer showed "WRITE SUCCESS" and armed the result-clearing timer; the loss
    // comes while it runs. What the field showed belonged to the handset that is gone.
    {"LogicTest", Make<LogicWindow>(), false, 1000, {""}, {}, {}},
    {"LogicTestMidExchange", Make<LogicWindow>(), true, 1000, {""}, {}, {}},
    {"RampEditor", Make<RampWindow>(), true, 1000, {}, {LINK_CLOSED_MESSAGE}, {}},
    {"EepromDump",
     [](ServiceBench& s, Views& v, const fs::path& f) -> std::unique_ptr<Window> {
       return std::make_unique<EepromWindow>(s, v, f);
     },
     false,
     150,
     {},
     {},
     {}},
    {"EepromDumpSilent",
     [](ServiceBench& s, Views& v, const fs::path& f) -> std::unique_ptr<Window> {
       return std::make_unique<EepromWindow>(s, v, f);
     },
     true,
     1000,
     {},
     {},
     {}},
};

class PortLoss : public ::testing::TestWithParam<LossCase> {
 protected:
  PortLoss()
      : file_(fs::temp_directory_path() /
              ("portloss-" + std::to_string(::getpid()) + "-" +
               std::to_string(reinterpret_cast<uintptr_t>(this)) + ".txt")) {}
  ~PortLoss() override { fs::remove(file_); }
  fs::path file_;
};

TEST_P(PortLoss, WindowStopsQuietlyAndStaysUsable) {
  const LossCase& c = GetParam();
  ServiceBench s;
  Views views;
  std::unique_ptr<Window> w = c.make(s, views, file_);
  s.loop.RunFor(sim::Bench::BOOT_MS + 100);
  s.bench.faults.silentHandset = c.handsetSilent;

  w->Start();
  s.loop.RunFor(c.lossAfterMs);
  const bool wasArmed =
      s.loop.TimerArmed(&w->Ex(), TIMER_ANSWER) || s.loop.TimerArmed(&w->Ex(), TIMER_POLL);
  const bool ownArmed =
      !w->OwnTimers().empty() && s.loop.TimerArmed(&w->Ex(), w->OwnTimers().front());
  EXPECT_TRUE(wasArmed || ownArmed) << "the loss must come while the window is busy";
  const size_t sentBefore = s.port.writes.size();
  const Lines displayBefore = views.display;
  views.results.clear();

  s.port.DeviceLost();
  s.loop.RunFor(1);  // the port's report reaches its owner
  for (int id : {TIMER_POLL, TIMER_ANSWER}) EXPECT_FALSE(s.loop.TimerArmed(&w->Ex(), id)) << id;
  for (int id : w->OwnTimers()) EXPECT_FALSE(s.loop.TimerArmed(&w->Ex(), id)) << id;

  // Long past every time-out: nothing more sent, no message, no late line.
  s.loop.RunFor(10000);
  EXPECT_EQ(s.port.writes.size(), sentBefore);
  const size_t requestsBefore = s.requests.size();  // a frame on the wire at the loss included
  EXPECT_EQ(s.messages.texts, Lines{});
  EXPECT_EQ(views.display, displayBefore);
  EXPECT_EQ(views.results, c.resultsOnLoss);

  // The window still takes commands: refused or reported as on a closed link.
  views.results.clear();
  w->PressWhileGone();
  s.loop.RunFor(10000);
  EXPECT_EQ(s.messages.texts, c.messagesWhileGone);
  EXPECT_EQ(views.results, c.resultsWhileGone);
  EXPECT_EQ(s.port.writes.size(), sentBefore);
  EXPECT_EQ(s.requests.size(), requestsBefore);
}

INSTANTIATE_TEST_SUITE_P(Windows, PortLoss, ::testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The dump ends where the loss found it: every listed block is in the file, none is torn.
TEST(PortLossEeprom, DumpEndsWithTheBlocksListedSoFarAllRecorded) {
  const fs::path file =
      fs::temp_directory_path() / ("portloss-eeprom-" + std::to_string(::getpid()) + ".txt");
  fs::remove(file);
  ServiceBench s;
  Views views;
  EepromMap map(s.loop, s.port, s.messages, views, file.string());
  map.OnInit();
  s.loop.RunFor(sim::Bench::BOOT_MS + 100);
  map.Read();
  s.loop.RunUntil([&] { return map.Counter() >= 3 * EEPROM_BLOCK_BYTES; }, 5000);
  s.port.DeviceLost();
  s.loop.RunFor(10000);
  EXPECT_FALSE(map.Reading());
  EXPECT_GE(map.Counter(), 3 * EEPROM_BLOCK_BYTES);
  EXPECT_LT(map.Counter(), EEPROM_DUMP_BYTES);
  EXPECT_EQ(map.Counter() % EEPROM_BLOCK_BYTES, 0);
  EXPECT_EQ(static_cast<int>(views.eepromLines.size()), map.Counter());
  EXPECT_EQ(map.UnwrittenRecords(), 0u);
  const auto size = fs::file_size(file);
  // Each record: CR LF, then one line and CR LF per byte.
  size_t expected = 0;
  for (int block = 0; block < map.Counter() / EEPROM_BLOCK_BYTES; ++block) {
    expected += 2;
    for (int i = 0; i < EEPROM_BLOCK_BYTES; ++i) {
      expected += views.eepromLines[static_cast<size_t>(block * EEPROM_BLOCK_BYTES + i)].size() + 2;
    }
  }
  EXPECT_EQ(size, expected);
  EXPECT_EQ(s.messages.texts, Lines{});
  fs::remove(file);
}

// The loss reaches only the port's owner of the moment. A window whose request was still out
// when another one took the port hears of it through its own timers: no "No Response" of a
// lost port pops up for it either.
TEST(PortLossOwners, AWindowThatNoLongerOwnsThePortStopsToo) {
  ServiceBench s;
  Views views;
  ManualCal manual(s.loop, s.port, s.messages, views);
  RfTest rf(s.loop, s.port, s.messages, views);
  manual.OnInit();
  rf.OnInit();
  s.loop.RunFor(sim::Bench::BOOT_MS + 100);
  s.bench.faults.silentHandset = true;
  manual.TakePort();
  manual.Send("se 6");
  s.loop.RunFor(200);
  rf.TakePort();  // the operator moved to the RF panel before the answer came
  s.loop.RunFor(200);
  s.port.DeviceLost();
  s.loop.RunFor(POLL_PERIOD_MS + 1);
  for (Exchange* ex : {&manual.GetExchange(), &rf.GetExchange()}) {
    EXPECT_FALSE(s.loop.TimerArmed(ex, TIMER_POLL));
    EXPECT_FALSE(s.loop.TimerArmed(ex, TIMER_ANSWER));
  }
  s.loop.RunFor(10000);
  EXPECT_EQ(s.messages.texts, Lines{});
  EXPECT_EQ(views.display, Lines{"se 6"});
  EXPECT_EQ(manual.LastOutcome(), ManualCal::Outcome::PORT_LOST);
}

// Opened again (the adapter plugged back in, "connect" chosen): the window works as before.
TEST(PortLossOwners, AfterReconnectingTheWindowWorksAgain) {
  ServiceBench s;
  Views views;
  ManualCal manual(s.loop, s.port, s.messages, views);
  manual.OnInit();
  s.loop.RunFor(sim::Bench::BOOT_MS + 100);
  manual.Send("se 6");
  s.port.DeviceLost();
  s.loop.RunFor(5000);
  EXPECT_FALSE(s.port.IsOpen());
  EXPECT_TRUE(s.port.Lost());
  ASSERT_TRUE(s.port.Open(1, 115200));
  EXPECT_FALSE(s.port.Lost());
  manual.Send("se 6");
  s.loop.RunFor(5000);
  EXPECT_EQ(manual.LastOutcome(), ManualCal::Outcome::ANSWERED);
  EXPECT_EQ(s.messages.texts, Lines{});
}

}  // namespace
