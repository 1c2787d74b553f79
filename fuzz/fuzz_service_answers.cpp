#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ScriptedHandset.h"
#include "service/AnswerDisplay.h"
#include "service/EepromMap.h"
#include "service/GsmRamp.h"
#include "service/LogicTest.h"
#include "service/ManualCal.h"
#include "service/ResultDisplay.h"
#include "service/RfTest.h"
#include "sim/BenchHandset.h"

// The service windows' answer handling, fed as the link feeds it: one window (manual command,
// ramp editor with its result display, RF test panel, logic test panel, EEPROM map) on a
// SimPort, the operator's presses from the input, and the handset's replies to each request
// from the rest of it (ScriptedHandset). The lines of every answer frame a window hands to its
// display are also checked never to depend on bytes past the frame's end.
namespace {

// Lines of a display decoder for the frame, once with the bytes after it all 0x00 and once all
// 0xFF: a decoder that reads past the frame gives different lines (or ASan stops it, since the
// copies end where the padding does).
template <typename Decoder>
void CheckReadsOnlyTheFrame(Decoder decode, const uint8_t* frame, size_t length) {
  std::vector<uint8_t> exact(frame, frame + length);
  const auto lines = decode(exact.data(), exact.size());
  for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
    std::vector<uint8_t> padded(exact);
    padded.resize(length + 64, fill);
    FUZZ_CHECK(decode(padded.data(), length) == lines);
  }
}

struct ManualView : ManualCalView {
  size_t lines = 0;
  void AppendDisplay(const std::string&) override { ++lines; }
  void ClearDisplay() override { lines = 0; }
  void ClearCommandLine() override {}
};

// The ramp editor with the result display open: every frame handed over is written there.
struct RampView : GsmRampView {
  std::string level = "5";
  std::string index = "0";
  void SetValueField(int, int32_t) override {}
  void SetTotals(int32_t, int32_t) override {}
  void SetResult(const std::string&) override {}
  void SetDacText(const std::string&) override {}
  void SetIndexText(const std::string& text) override { index = text; }
  void SetCallCaption(const std::string&) override {}
  void ClearCommandWindow() override {}
  void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>&) override {}
  void HandOverAnswer(const uint8_t* frame, size_t length) override {
    const auto lines = ResultDisplayLines(frame, length);
    FUZZ_CHECK(!lines.empty() && lines[0] == RESULT_RULE_LINE);
    CheckReadsOnlyTheFrame(ResultDisplayLines, frame, length);
  }
  std::string TxLevelText() override { return level; }
  std::string IndexText() override { return index; }
};

struct ResultView : RfTestView, LogicTestView {
  void SetResult(const std::string&) override {}
  void SetCaption(LogicButton, const std::string&) override {}
};

struct ListView : EepromMapView {
  int lines = 0;
  std::map<int, std::string> list;  // position: line
  size_t recordBytes = 0;           // what the result file holds once every listed block is in it
  void InsertLine(int position, const std::string& text) override {
    ++lines;
    list[position] = text;
    // Each block's record: CR LF, then each of its lines and CR LF.
    if (position % EEPROM_BLOCK_BYTES == 0) recordBytes += 2;
    recordBytes += text.size() + 2;
  }
  void ClearLines() override {
    lines = 0;
    list.clear();
  }
};

// Lines typed in the manual command window: one of each opcode's answer the display decodes,
// and the rest of the language.
const char* const MANUAL_LINES[] = {
    "ti",         "tms 1",  "vg 1 2",     "rfe 0",  "sr 1 2",   "scw 1 2", "scr 1",
    "rfpw 9 1.5", "rfpr 1", "rftw 1 2 3", "rftr 1", "rxpw 1 2", "rxpr 1",  "txpw 1 7",
    "txpr 4",     "ttr 3",  "mpw 1 2",    "mpr 1",  "spw 55 0", "spr 100", "stw 60 0x12",
    "str 0",      "str 60", "str 55",     "se 5",   "11",       "help",    "cr",
};
const char* const RAMP_VALUES[] = {"0", "-3", "12", "127", "128", "-129", "x", ""};
const char* const RAMP_LEVELS[] = {"5", "19", "103", "115", "", "abc"};

void RunFor(SimLoop& loop, uint8_t action, uint32_t timeoutMs) {
  // Now and then past the answer time-out, otherwise a command may follow the last one early.
  loop.RunFor(action & 0x80 ? timeoutMs + 600 : 40);
}

void Manual(SimLoop& loop, SimPort& port, FuzzInput& in) {
  NullNotifier notifier;
  ManualView view;
  ManualCal window(loop, port, notifier, view);
  window.onFrame = [](Exchange& ex, AnswerClass answerClass) {
    if (answerClass != ANSWER_OK) return;
    // A copy of the frame decoded on its own, as DecodeAnswer will.
    std::vector<uint8_t> frame(ex.Frame(), ex.Frame() + ex.FrameLength());
    const int removed = Unescape(frame.data(), static_cast<int>(frame.size()));
    CheckReadsOnlyTheFrame(ManualAnswerLines, frame.data(), frame.size() - removed);
  };
  window.OnInit();
  for (int step = 0; step < 48 && !in.Empty(); ++step) {
    const uint8_t action = in.Byte();
    switch (action & 0x7F) {
      case 0:
        window.Send(in.Piece());  // typed as it is
        break;
      case 1:
        window.Clear();
        break;
      default:
        window.Send(MANUAL_LINES[(action & 0x7F) % std::size(MANUAL_LINES)]);
        break;
    }
    RunFor(loop, action, ManualCal::ANSWER_TIMEOUT_MS);
  }
}

void Ramp(SimLoop& loop, SimPort& port, FuzzInput& in) {
  NullNotifier notifier;
  RampView view;
  RampTemplate table{};
  GsmRamp window(loop, port, notifier, view, table);
  window.OnInit();
  for (int step = 0; step < 48 && !in.Empty(); ++step) {
    const uint8_t action = in.Byte();
    const uint8_t argument = in.Byte();
    switch ((action & 0x7F) % 12) {
      case 0:
        window.BandChanged(argument % 8 == 7 ? GsmRamp::NO_BAND : argument % 8);
        break;
      case 1:
        view.level = RAMP_LEVELS[argument % std::size(RAMP_LEVELS)];
        window.TxLevelChanged();
        break;
      case 2:
        window.Load();
        break;
      case 3:
        window.SaveTemplate();
        break;
      case 4:
        window.SaveDac(RAMP_VALUES[argument % std::size(RAMP_VALUES)]);
        break;
      case 5:
        window.SaveToEeprom();
        break;
      case 6:
        window.ResetEeprom();
        break;
      case 7:
        window.Call();
        break;
      case 8:
        window.CommandWindowEnter(MANUAL_LINES[argument % std::size(MANUAL_LINES)]);
        break;
      case 9:
        window.CommandWindowEnter(in.Piece());
        break;
      case 10:
        window.SetApplyRampIndex(argument & 1);
        break;
      default:
        window.ValueChanged(argument % (RAMP_FIELDS + 1),
                            RAMP_VALUES[(argument >> 5) % std::size(RAMP_VALUES)]);
        break;
    }
    RunFor(loop, action, GsmRamp::ANSWER_TIMEOUT_MS);
  }
}

void RfPanel(SimLoop& loop, SimPort& port, FuzzInput& in) {
  NullNotifier notifier;
  ResultView view;
  RfTest window(loop, port, notifier, view);
  window.OnInit();
  const auto& buttons = RfButtons();
  const char* const values[] = {"1", "62", "124", "512", "885", "975", "1023", "7", "50", ""};
  for (int step = 0; step < 48 && !in.Empty(); ++step) {
    const uint8_t action = in.Byte();
    const uint8_t argument = in.Byte();
    if ((action & 0x7F) == 0) {
      window.Enter(std::string(in.Piece()));
    } else {
      RfTestFields fields;
      size_t pick = argument;
      for (std::string* field :
           {&fields.txChannel, &fields.txPowerLevel, &fields.apcDac, &fields.rxChannel, &fields.agc,
            &fields.afcChannel, &fields.afcPowerLevel, &fields.afcDac}) {
        *field = values[pick++ % std::size(values)];
      }
      window.Press(buttons[(action & 0x7F) % buttons.size()].button, fields);
    }
    RunFor(loop, action, RF_TEST_TIMEOUT_MS);
  }
}

void LogicPanel(SimLoop& loop, SimPort& port, FuzzInput& in) {
  NullNotifier notifier;
  ResultView view;
  LogicTest window(loop, port, notifier, view);
  window.OnInit();
  const auto& buttons = LogicButtons();
  const char* const gains[] = {"1", "255", "0", "256", "77", "", "g"};
  for (int step = 0; step < 48 && !in.Empty(); ++step) {
    const uint8_t action = in.Byte();
    const uint8_t argument = in.Byte();
    switch ((action & 0x7F) % 4) {
      case 0:
        window.SubVolChanged(argument % 64);
        break;
      case 1:
        window.SubV0Changed(argument % 8);
        break;
      default:
        window.Press(buttons[argument % buttons.size()], gains[(argument >> 4) % std::size(gains)],
                     MAIN_CONTRAST_CHOICES.first + argument % 11);
        break;
    }
    // Past the result field's clearing now and then as well.
    loop.RunFor(action & 0x80 ? RESULT_CLEAR_MS + 600 : 40);
  }
}

// handset: the simulated handset answers every request, so each line must show the byte at
// its address, whatever the operator pressed meanwhile.
void Eeprom(SimLoop& loop, SimPort& port, FuzzInput& in, bool writable,
            const sim::HandsetEeprom* handset) {
  NullNotifier notifier;
  ListView view;
  // A directory that is not there: the records wait in the window.
  const std::string path = FuzzTempDir() + (writable ? "/Eepresult.txt" : "/missing/Eepresult.txt");
  EepromMap window(loop, port, notifier, view, path);
  window.OnInit();
  for (int step = 0; step < 48 && !in.Empty(); ++step) {
    const uint8_t action = in.Byte();
    if (action & 1) {
      window.Clear();
    } else {
      window.Read();
    }
    // A whole dump of the simulated handset takes about 2 s.
    loop.RunFor(action & 0x80 ? 3000 + EEPROM_MAP_TIMEOUT_MS : 40);
    // Only whole blocks are listed, each line once.
    FUZZ_CHECK(window.Counter() % EEPROM_BLOCK_BYTES == 0);
    FUZZ_CHECK(view.lines == window.Counter());
    if (writable) FUZZ_CHECK(window.UnwrittenRecords() == 0);
  }
  if (handset != nullptr) {
    for (const auto& [address, line] : view.list) {
      FUZZ_CHECK(line == EepromLine(address, handset->Byte(address)));
    }
  }
  // Every block listed is in the file once, whole; nothing else is.
  struct stat file {};
  const off_t size = ::stat(path.c_str(), &file) == 0 ? file.st_size : 0;
  FUZZ_CHECK(static_cast<size_t>(size) == (writable ? view.recordBytes : 0));
  ::unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A window, the operator's presses (up to 255 bytes), then the handset's replies.
  FuzzInput in(data, size);
  const uint8_t window = in.Byte();
  FuzzInput actions(in.Piece());
  FuzzInput replies(in.Rest());
  ResetEncoderState();
  SimLoop loop;
  sim::Bench bench(1, [&loop] { return loop.Now(); });
  SimPort port(loop);
  port.Open(1, 115200);
  {
    ScriptedHandset handset(loop, port, bench, replies);
    switch (window % 6) {
      case 0:
        Manual(loop, port, actions);
        break;
      case 1:
        Ramp(loop, port, actions);
        break;
      case 2:
        RfPanel(loop, port, actions);
        break;
      case 3:
        LogicPanel(loop, port, actions);
        break;
      default:
        Eeprom(loop, port, actions, window % 6 == 4,
               replies.Empty() ? &bench.handset().eeprom : nullptr);
        break;
    }
  }
  port.Close();
  return 0;
}
