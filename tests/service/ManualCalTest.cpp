#include "service/ManualCal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/ServiceBench.h"
#include "service/ServiceText.h"

namespace {

using Lines = std::vector<std::string>;

struct RecordingManualView : ManualCalView {
  Lines display;
  int commandLineClears = 0;
  void AppendDisplay(const std::string& text) override { display.push_back(text); }
  void ClearDisplay() override { display.clear(); }
  void ClearCommandLine() override { ++commandLineClears; }
};

class ManualCalTest : public ::testing::Test {
 protected:
  ManualCalTest() { manual.OnInit(); }
  // Sends and runs the loop until the exchange is over (or the limit).
  void SendAndWait(const std::string& line, uint64_t limitMs = 5000) {
    manual.Send(line);
    s.loop.RunUntil([&] { return manual.LastOutcome() != ManualCal::Outcome::PENDING; }, limitMs);
  }

  ServiceBench s;
  RecordingManualView view;
  ManualCal manual{s.loop, s.port, s.messages, view};
};

TEST_F(ManualCalTest, ShowsTheTypedLineThenTheAnswer) {
  EXPECT_EQ(s.port.Owner(), &manual.GetExchange());
  SendAndWait("se 5");
  EXPECT_EQ(view.display, (Lines{"se 5", "Target Resetted"}));
  EXPECT_EQ(view.commandLineClears, 1);
  EXPECT_EQ(manual.LastOutcome(), ManualCal::Outcome::ANSWERED);
  EXPECT_FALSE(s.loop.TimerArmed(&manual.GetExchange(), TIMER_POLL));
  EXPECT_FALSE(s.loop.TimerArmed(&manual.GetExchange(), TIMER_ANSWER));

  SendAndWait("txpw 1 7");
  SendAndWait("txpr 4");
  const int dac = s.bench.handset().eeprom.Apc(2, 1, 7);
  EXPECT_EQ(view.display.back(), "APC DAC value is " + std::to_string(dac));

  SendAndWait("ttr 3");
  ASSERT_EQ(view.display.size(), 10u);
  EXPECT_EQ(view.display[5], "ttr 3");
  EXPECT_EQ(view.display[6], "Up Ramp Templete #3");
  EXPECT_EQ(view.display[8], "Down Ramp Templete #3");
  EXPECT_EQ(s.messages.texts, Lines{});
}

TEST_F(ManualCalTest, TimeOutsAndErrors) {
  s.bench.faults.silentHandset = true;
  manual.Send("se 1");
  s.loop.RunFor(ManualCal::ANSWER_TIMEOUT_MS - 1);
  EXPECT_EQ(view.display, Lines{"se 1"});
  s.loop.RunFor(1);
  EXPECT_EQ(view.display, (Lines{"se 1", "No Response"}));
  EXPECT_FALSE(s.loop.TimerArmed(&manual.GetExchange(), TIMER_POLL));

  // A bad status leaves both timers running: the time-out follows.
  s.bench.faults.silentHandset = false;
  s.bench.faults.badStatusOpcode = 0x54;
  view.display.clear();
  const uint64_t sent = s.loop.Now();
  SendAndWait("se 1");
  EXPECT_EQ(view.display, (Lines{"se 1", "Status is error. ", "No Response"}));
  EXPECT_EQ(s.loop.Now() - sent, ManualCal::ANSWER_TIMEOUT_MS);
  s.bench.faults.badStatusOpcode = -1;

  // A line outside the language goes out as an empty frame and ends in no response.
  view.display.clear();
  s.requests.clear();
  SendAndWait("bogus 1");
  EXPECT_EQ(view.display, (Lines{"bogus 1", "No Response"}));
  EXPECT_EQ(s.requests, std::vector<uint8_t>{});
}

TEST_F(ManualCalTest, ANewLineReplacesThePendingOne) {
  manual.Send("se 1");
  manual.Send("ttr 0");
  s.loop.RunFor(ManualCal::ANSWER_TIMEOUT_MS * 2);
  ASSERT_GE(view.display.size(), 4u);
  EXPECT_EQ(view.display[0], "se 1");
  EXPECT_EQ(view.display[1], "ttr 0");
  // The first answer is another request's; the second one still arrives and is decoded, and
  // the stray answer stopped the answer timer, so no "No Response".
  EXPECT_EQ(view.display[2], "special enable command error");
  EXPECT_EQ(view.display[3], "Up Ramp Templete #0");
  EXPECT_EQ(view.display.size(), 7u);
  EXPECT_EQ(manual.LastOutcome(), ManualCal::Outcome::ANSWERED);
}

TEST_F(ManualCalTest, ClosedLinkStillShowsTheLine) {
  s.port.Close();
  manual.Send("se 5");
  s.loop.RunFor(ManualCal::ANSWER_TIMEOUT_MS * 2);
  EXPECT_EQ(view.display, Lines{"se 5"});
  EXPECT_EQ(s.messages.texts, Lines{LINK_CLOSED_MESSAGE});
  EXPECT_EQ(manual.LastOutcome(), ManualCal::Outcome::NOT_SENT);
  EXPECT_EQ(s.requests, std::vector<uint8_t>{});
  EXPECT_EQ(view.commandLineClears, 1);
}

TEST_F(ManualCalTest, ClearDuringARequestAndOverlongLines) {
  manual.Send("se 5");
  manual.Clear();
  s.loop.RunFor(ManualCal::ANSWER_TIMEOUT_MS);
  EXPECT_EQ(view.display, Lines{"Target Resetted"});

  const std::string longLine = "/" + std::string(150, 'c');
  manual.Send(longLine);
  EXPECT_EQ(view.display.back(), longLine.substr(0, 99));
}

}  // namespace
