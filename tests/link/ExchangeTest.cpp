#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "link/Exchange.h"
#include "link/HandsetDouble.h"
#include "sim/LinkHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Reply = HandsetDouble::Reply;
using Events = std::vector<std::string>;

Bytes Hex(const std::string& text) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(ParseHexBytes({text}, out, error)) << error;
  return out;
}

// A window following the decoding skeleton, writing down what happened and when.
class RecordingWindow : public ExchangeClient {
 public:
  explicit RecordingWindow(SimLoop& loop) : loop_(loop) {}

  void DecodeAnswer(Exchange& ex) override {
    const AnswerClass c = ex.CheckAnswer();
    std::string frame = HexText(Bytes(ex.Frame(), ex.Frame() + ex.FrameLength()));
    switch (c) {
      case ANSWER_OTHER:
        ex.StopAnswerTimer();  // the poll goes on, so a later frame is still examined
        break;
      case ANSWER_OK:
        ex.StopTimers();
        ex.DecodeFrameCopy();
        frame = HexText(Bytes(ex.Decoded(), ex.Decoded() + ex.DecodedLength()));
        break;
      case ANSWER_STATUS_ERROR:  // timers keep running: the time-out reaction follows
      case ANSWER_NONE:
        break;
    }
    Record(std::string(AnswerClassName(c)) + " " + frame);
  }
  void OnAnswerTimeout(Exchange& ex) override {
    Record("TIMEOUT");
    ex.StopTimers();
  }
  void OnOtherTimer(int id) override { Record("TIMER " + std::to_string(id)); }
  void OnPortLost(Exchange&) override { Record("LOST"); }
  bool MayArmTimers() override { return mayArm; }

  bool mayArm = true;
  Events events;

 private:
  void Record(const std::string& what) {
    events.push_back(std::to_string(loop_.Now()) + " " + what);
  }
  SimLoop& loop_;
};

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEncoderState();
    ASSERT_TRUE(port.Open(1, 115200));
    port.SetOwner(&ex);
  }
  bool PollArmed() { return loop.TimerArmed(&ex, TIMER_POLL); }
  bool AnswerArmed() { return loop.TimerArmed(&ex, TIMER_ANSWER); }

  SimLoop loop;
  SimPort port{loop};
  HandsetDouble handset{loop, port};
  RecordingWindow window{loop};
  Exchange ex{loop, port, window, 3000};
};

TEST_F(ExchangeTest, SendPutsOneWireFrameOnTheLineAndArmsBothTimers) {
  std::vector<Bytes> observed;
  ex.onWire = [&](const uint8_t* w, size_t n) { observed.emplace_back(w, w + n); };
  ASSERT_TRUE(ex.Send("txpw 1 512"));
  // The escaped 0x02 inside does not end the frame; only the closing marker writes it.
  const Bytes wire = Hex("02 14 36 01 00 00 10 02 35 02");
  EXPECT_EQ(port.writes, std::vector<Bytes>{wire});
  EXPECT_EQ(observed, std::vector<Bytes>{wire});
  EXPECT_EQ(port.purges, 1);
  EXPECT_TRUE(PollArmed());
  EXPECT_TRUE(AnswerArmed());
  loop.RunFor(2);
  ASSERT_EQ(handset.requests, std::vector<Bytes>{wire});
  EXPECT_EQ(handset.requestTimes[0], 1u);  // 10 bytes take 868 us at 115200 baud
}

TEST_F(ExchangeTest, AnswerIsDecodedAtThePollAndStopsBothTimers) {
  handset.data = {0x00, 0x52};
  ASSERT_TRUE(ex.Send("se 6"));
  loop.RunFor(10000);
  EXPECT_EQ(window.events, Events{"50 ANSWER_OK 02 14 54 00 06 00 52 00 02"});
  EXPECT_FALSE(PollArmed());
  EXPECT_FALSE(AnswerArmed());
}

TEST_F(ExchangeTest, AnswerInPiecesAcrossPollsIsAssembledIntoOneFrame) {
  handset.reply = Reply::PIECES;
  handset.data = {0x10, 0x02, 0x33};  // escapes inside, so pieces may split an escape pair
  ASSERT_TRUE(ex.Send("spr 100"));
  loop.RunFor(140);
  EXPECT_TRUE(window.events.empty());  // two pieces arrived and were polled, no frame yet
  loop.RunFor(10000);
  // The last piece leaves at 126 ms and is drained by the poll at 150 ms.
  EXPECT_EQ(window.events, Events{"150 ANSWER_OK 02 14 51 00 64 10 02 33 14 02"});
}

TEST_F(ExchangeTest, TwoAnswersInOneBurstAreDecodedInTheSamePollTick) {
  handset.reply = Reply::TWICE;
  ASSERT_TRUE(ex.Send("se 6"));
  loop.RunFor(10000);
  EXPECT_EQ(window.events, (Events{"50 ANSWER_OK 02 14 54 00 06 00 00 52 02",
                                   "50 ANSWER_OK 02 14 54 00 06 00 00 99 CB 02"}));
}

TEST_F(ExchangeTest, AnswerToAnotherOpcodeStopsOnlyTheAnswerTimer) {
  handset.reply = Reply::OTHER_OPCODE;
  ASSERT_TRUE(ex.Send("se 6"));
  loop.RunFor(100);
  EXPECT_EQ(window.events, Events{"50 ANSWER_OTHER 02 14 55 00 06 00 00 53 02"});
  EXPECT_TRUE(PollArmed());
  EXPECT_FALSE(AnswerArmed());
  // The poll still examines later frames; no time-out is left to fire.
  loop.At(500, [&] { port.DeviceSend(HandsetDouble::AnswerFrame(0x54, 0, 6, {})); });
  loop.RunFor(10000);
  EXPECT_EQ(window.events, (Events{"50 ANSWER_OTHER 02 14 55 00 06 00 00 53 02",
                                   "550 ANSWER_OK 02 14 54 00 06 52 02"}));
}

TEST_F(ExchangeTest, BadStatusIsReportedThenTheTimeOutReactionRuns) {
  handset.reply = Reply::BAD_STATUS;
  ASSERT_TRUE(ex.Send("str 60"));
  loop.RunFor(10000);
  EXPECT_EQ(window.events,
            (Events{"50 ANSWER_STATUS_ERROR 02 14 53 01 3C 00 00 6E 02", "3000 TIMEOUT"}));
}

TEST_F(ExchangeTest, SilentHandsetTimesOutAfterTheWindowsTimeOut) {
  handset.reply = Reply::SILENT;
  ex.SetAnswerTimeout(2000);
  loop.RunFor(100);  // the request leaves later than the start of time
  ASSERT_TRUE(ex.Send("ti"));
  loop.RunFor(10000);
  EXPECT_EQ(window.events, Events{"2100 TIMEOUT"});
  EXPECT_FALSE(PollArmed());
}

TEST_F(ExchangeTest, ClosedLinkSendsAndEncodesNothing) {
  port.Close();
  EXPECT_FALSE(ex.Send("se 6"));
  loop.RunFor(10000);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_TRUE(handset.requests.empty());
  EXPECT_EQ(port.purges, 0);
  EXPECT_EQ(LastOpcode(), 0);
  EXPECT_FALSE(PollArmed());
  EXPECT_TRUE(window.events.empty());
}

// The poll timer can notice a loss before the port's own word of it arrives: one loss, told once;
// a loss after the port was opened again and used is a new one.
TEST_F(ExchangeTest, ALossIsToldOnceWhicheverNewsComesFirst) {
  handset.reply = Reply::SILENT;
  ASSERT_TRUE(ex.Send("se 6"));
  port.DeviceLost();
  ex.OnTimer(TIMER_POLL);  // due before the loop ran the port's posted word
  loop.RunFor(5000);
  EXPECT_EQ(window.events, Events{"0 LOST"});
  EXPECT_FALSE(PollArmed());
  EXPECT_FALSE(AnswerArmed());

  ASSERT_TRUE(port.Open(1, 115200));
  ASSERT_TRUE(ex.Send("se 6"));
  loop.RunFor(100);
  port.DeviceLost();
  loop.RunFor(5000);
  EXPECT_EQ(window.events, (Events{"0 LOST", "5100 LOST"}));
}

TEST_F(ExchangeTest, FirstAnswerAfterASecondRequestIsOtherAndStopsItsTimer) {
  handset.answersLeft = 1;  // only "se 6" is ever answered
  handset.delayMs = 20;
  ASSERT_TRUE(ex.Send("se 6"));
  loop.At(10, [&] { ex.Send("spr 100"); });
  loop.RunFor(10000);
  // Re-armed at 10 ms; the "se" answer classifies against 0x51 and the time-out never fires.
  EXPECT_EQ(window.events, Events{"60 ANSWER_OTHER 02 14 54 00 06 00 00 52 02"});
  EXPECT_EQ(handset.requests.size(), 2u);
}

TEST_F(ExchangeTest, AnswersGoToTheOwnerWhicheverWindowSent) {
  RecordingWindow otherWindow(loop);
  Exchange other(loop, port, otherWindow, 3000);
  ASSERT_TRUE(ex.Send("se 6"));
  loop.At(2, [&] { other.Send("spr 100"); });  // another dialog, not the owner
  loop.RunFor(10000);
  EXPECT_EQ(window.events, (Events{"50 ANSWER_OTHER 02 14 54 00 06 00 00 52 02",
                                   "50 ANSWER_OK 02 14 51 00 64 00 00 35 02"}));
  EXPECT_EQ(otherWindow.events, Events{"3002 TIMEOUT"});
}

TEST_F(ExchangeTest, TimersObeyTheWindowAndOtherIdsGoToIt) {
  window.mayArm = false;
  ASSERT_TRUE(ex.Send("se 6"));
  EXPECT_EQ(port.writes.size(), 1u);  // sent all the same
  EXPECT_FALSE(PollArmed());
  EXPECT_FALSE(AnswerArmed());
  loop.SetTimer(&ex, 5, 100);
  loop.RunFor(250);
  EXPECT_EQ(window.events, (Events{"100 TIMER 5", "200 TIMER 5"}));
}

TEST_F(ExchangeTest, NothingPendingSendsTheEmptyFrame) {
  ASSERT_EQ(EncodeCommand("TI"), ENC_UNKNOWN);
  ex.LoadFrame();
  ex.TransmitFrame();
  EXPECT_EQ(port.writes, std::vector<Bytes>{Hex("02 02")});
}

TEST_F(ExchangeTest, DestroyedExchangeLeavesNoTimerBehind) {
  const TimerClient* gone = nullptr;
  {
    RecordingWindow w(loop);
    Exchange temporary(loop, port, w, 3000);
    port.SetOwner(&temporary);
    ASSERT_TRUE(temporary.Send("se 6"));
    gone = &temporary;
  }
  port.SetOwner(&ex);
  loop.RunFor(10000);  // answer arrives for the owner; nothing calls the destroyed one
  EXPECT_FALSE(loop.TimerArmed(const_cast<TimerClient*>(gone), TIMER_POLL));
}

// The receive rule: a stream delivered as one burst and polled.
struct StreamCase {
  const char* name;
  const char* stream;
  Events frames;
};

TEST_F(ExchangeTest, ReceiveRuleCutsStreamsIntoFrames) {
  const StreamCase cases[] = {
      {"escaped marker", "02 14 21 00 10 02 05 02", {"ANSWER_OTHER 02 14 21 00 10 02 05 02"}},
      {"escaped escape before the end",
       "02 14 21 00 10 10 02 AA",
       {"ANSWER_OTHER 02 14 21 00 10 10 02"}},
      {"back to back",
       "02 14 54 00 01 55 02 02 14 51 00 02",
       {"ANSWER_OTHER 02 14 54 00 01 55 02", "ANSWER_OTHER 02 14 51 00 02"}},
      {"bytes between frames",
       "AA BB 02 14 54 00 02 CC 10 02 14 53 00 02",
       {"ANSWER_OTHER 02 14 54 00 02", "ANSWER_OTHER 02 14 53 00 02"}},
      {"stray marker", "02 02 14 54 00 06 52 02", {"ANSWER_NONE 02 02"}},
      {"no end marker", "02 14 54 00 06", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    window.events.clear();
    ex.Reset();
    loop.SetTimer(&ex, TIMER_POLL, POLL_PERIOD_MS);
    port.DeviceSend(Hex(c.stream));
    loop.RunFor(100);
    loop.KillTimer(&ex, TIMER_POLL);
    Events frames;
    for (const auto& e : window.events) frames.push_back(e.substr(e.find(' ') + 1));
    EXPECT_EQ(frames, c.frames);
  }
}

TEST_F(ExchangeTest, OversizeFrameKeepsItsFirst4096BytesAndTheNextFrameIsIntact) {
  Encoder().lastOpcode = 0x41;
  Bytes stream = {0x02, 0x14, 0x41, 0x00};
  stream.insert(stream.end(), 5000, 0x41);
  stream.push_back(0x02);
  const Bytes next = HandsetDouble::AnswerFrame(0x41, 0, 1, {});
  stream.insert(stream.end(), next.begin(), next.end());
  port.DeviceSend(stream);

  std::vector<uint16_t> lengths;
  std::vector<AnswerClass> classes;
  class Sizes : public RecordingWindow {
   public:
    using RecordingWindow::RecordingWindow;
    std::vector<uint16_t>* lengths;
    std::vector<AnswerClass>* classes;
    void DecodeAnswer(Exchange& e) override {
      classes->push_back(e.CheckAnswer());
      lengths->push_back(e.FrameLength());
    }
  } sizes(loop);
  sizes.lengths = &lengths;
  sizes.classes = &classes;
  Exchange big(loop, port, sizes, 3000);
  port.SetOwner(&big);
  loop.SetTimer(&big, TIMER_POLL, POLL_PERIOD_MS);
  loop.RunFor(1000);
  EXPECT_EQ(lengths, (std::vector<uint16_t>{4096, 7}));
  // The kept part has no end marker, so it cannot pass as an executed answer.
  EXPECT_EQ(classes, (std::vector<AnswerClass>{ANSWER_STATUS_ERROR, ANSWER_OK}));
}

TEST_F(ExchangeTest, RingKeepsTheNewestBytesWhenNotPolledInTime) {
  Encoder().lastOpcode = 0x54;
  Bytes stream(6000, 0xAA);
  const Bytes answer = HandsetDouble::AnswerFrame(0x54, 0, 6, {});
  stream.insert(stream.end(), answer.begin(), answer.end());
  port.DeviceSend(stream);  // two bursts, nobody polling
  loop.RunFor(1000);
  EXPECT_EQ(ex.RingCount(), Exchange::RING_SIZE);
  ex.OnTimer(TIMER_POLL);
  EXPECT_EQ(ex.RingCount(), 0u);
  EXPECT_EQ(window.events, Events{"1000 ANSWER_OK 02 14 54 00 06 52 02"});
}

TEST_F(ExchangeTest, ShortFramesNeverReadBeyondThemselves) {
  Encoder().lastOpcode = 0x54;
  const struct {
    const char* stream;
    AnswerClass expected;
  } cases[] = {
      {"02 02", ANSWER_NONE},
      {"02 14 02", ANSWER_OTHER},
      {"02 14 54 02", ANSWER_STATUS_ERROR},  // the end marker where the status would be
      {"02 14 54 00 02", ANSWER_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream);
    window.events.clear();
    port.DeviceSend(Hex(c.stream));
    loop.RunFor(10);
    ex.OnTimer(TIMER_POLL);
    ASSERT_EQ(window.events.size(), 1u);
    EXPECT_NE(window.events[0].find(AnswerClassName(c.expected)), std::string::npos);
  }
}

}  // namespace
