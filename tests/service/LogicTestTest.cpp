#include "service/LogicTest.h"

#include <gtest/gtest.h>

#include <map>

#include "PanelBench.h"

using namespace paneltest;

namespace {

struct PanelView : LogicTestView {
  std::map<LogicButton, std::string> captions;
  std::vector<std::string> results;
  void SetCaption(LogicButton b, const std::string& c) override { captions[b] = c; }
  void SetResult(const std::string& text) override { results.push_back(text); }
};

class LogicPanel : public ::testing::Test {
 protected:
  explicit LogicPanel(bool open = true)
      : b_(11, open), panel_(b_.loop, b_.port, b_.notifier, view_) {
    b_.Watch(panel_.GetExchange());
    panel_.OnInit();
  }
  void Press(LogicButton button, const std::string& gain = "100", int contrast = 25) {
    panel_.Press(button, gain, contrast);
    b_.loop.RunFor(500);
  }
  std::string Caption(LogicButton b) { return view_.captions.count(b) ? view_.captions[b] : "-"; }
  bool AnswerArmed() { return b_.loop.TimerArmed(&panel_.GetExchange(), TIMER_ANSWER); }

  PanelBench b_;
  PanelView view_;
  LogicTest panel_;
};

class LogicPanelClosed : public LogicPanel {
 protected:
  LogicPanelClosed() : LogicPanel(false) {}
};

TEST_F(LogicPanel, EachControlSendsItsCommand) {
  using B = LogicButton;
  Press(B::VIB_TEST);
  Press(B::LCD_TEST);
  Press(B::SUB_LCD_TEST);
  Press(B::KEY_AUTO_TEST);
  Press(B::LED_TEST);
  Press(B::MAIN_LCD_CONTRAST, "100", 27);
  panel_.SubVolChanged(40);
  b_.loop.RunFor(500);
  panel_.SubV0Changed(3);
  b_.loop.RunFor(500);
  Press(B::LOGIC_DATA_SAVE);
  EXPECT_EQ(b_.wires, WiresOf({"se 56", "se 50", "se 51", "se 59", "spw 56 7", "spw 51 27",
                               "spw 52 40", "spw 53 3", "se 11"}));
  EXPECT_EQ(b_.bench.handset().ledPattern, 7);
  EXPECT_EQ(b_.bench.handset().lastLogicTest, 59);
  EXPECT_EQ(b_.bench.handset().eeprom.SpecialParam(51), 27);
  EXPECT_EQ(b_.bench.handset().eeprom.SpecialParam(52), 40);
  EXPECT_EQ(b_.bench.handset().eeprom.SpecialParam(53), 3);
  EXPECT_TRUE(b_.notifier.messages.empty());
}

TEST_F(LogicPanel, BacklightTogglesCommandAndCaption) {
  EXPECT_EQ(panel_.Caption(LogicButton::BACK_LIGHT), "Back Light ON");
  Press(LogicButton::BACK_LIGHT);
  EXPECT_EQ(Caption(LogicButton::BACK_LIGHT), "Back Light OFF");
  EXPECT_TRUE(b_.bench.handset().backlight);
  Press(LogicButton::BACK_LIGHT);
  EXPECT_EQ(Caption(LogicButton::BACK_LIGHT), "Back Light ON");
  EXPECT_FALSE(b_.bench.handset().backlight);
  EXPECT_EQ(b_.wires, WiresOf({"se 53", "se 54"}));
}

TEST_F(LogicPanel, SpeakerToneStartsWithTheGainAndIsSwitchedOnByItsAnswer) {
  Press(LogicButton::SPK_TONE, "100");
  EXPECT_EQ(Caption(LogicButton::SPK_TONE), "SPKTONE OFF");
  EXPECT_EQ(b_.bench.handset().speakerGain, 100);
  EXPECT_EQ(b_.bench.handset().speakerTone, 1);
  Press(LogicButton::SPK_TONE, "100");
  EXPECT_EQ(Caption(LogicButton::SPK_TONE), "SPK TONE TEST");
  EXPECT_EQ(b_.bench.handset().speakerTone, 0);
  EXPECT_EQ(b_.wires, WiresOf({"spw 73 100", "spw 74 1", "spw 74 0"}));
}

TEST_F(LogicPanel, GainOutsideItsRangeIsRefused) {
  struct Case {
    const char* gain;
    const char* line;  // "" refused
  };
  const Case cases[] = {{"0", ""},         {"256", ""},          {"", ""}, {"abc", ""}, {"-5", ""},
                        {"1", "spw 73 1"}, {"255", "spw 73 255"}};
  for (const auto& c : cases) {
    b_.wires.clear();
    b_.notifier.messages.clear();
    view_.captions.clear();
    Press(LogicButton::SPK_TONE, c.gain);
    if (*c.line == '\0') {
      EXPECT_EQ(b_.notifier.messages, std::vector<std::string>{"invalid Gain range"}) << c.gain;
      EXPECT_TRUE(b_.wires.empty()) << c.gain;
      EXPECT_FALSE(panel_.ToneOn()) << c.gain;
      EXPECT_EQ(Caption(LogicButton::SPK_TONE), "-") << c.gain;
      continue;
    }
    EXPECT_TRUE(b_.notifier.messages.empty()) << c.gain;
    ASSERT_FALSE(b_.wires.empty()) << c.gain;
    EXPECT_EQ(b_.wires.front(), WiresOf({c.line}).front()) << c.gain;
    EXPECT_EQ(Caption(LogicButton::SPK_TONE), "SPKTONE OFF") << c.gain;
    Press(LogicButton::SPK_TONE, c.gain);  // off again for the next row
    EXPECT_FALSE(panel_.ToneOn());
  }
}

TEST_F(LogicPanel, MicrophoneLoopToggles) {
  Press(LogicButton::MIC_TEST);
  EXPECT_EQ(Caption(LogicButton::MIC_TEST), "MIC TEST OFF");
  EXPECT_EQ(b_.bench.handset().micLoop, 1);
  Press(LogicButton::MIC_TEST);
  EXPECT_EQ(Caption(LogicButton::MIC_TEST), "MIC TEST ON");
  EXPECT_EQ(b_.bench.handset().micLoop, 0);
  EXPECT_EQ(b_.wires, WiresOf({"spw 72 1", "spw 72 0"}));
}

TEST_F(LogicPanel, LogicDataSaveShowsWriteSuccessForFiveSeconds) {
  panel_.Press(LogicButton::LOGIC_DATA_SAVE, "", 20);
  ASSERT_TRUE(b_.loop.RunUntil([&] { return !view_.results.empty(); }, 1000));
  EXPECT_EQ(view_.results, std::vector<std::string>{"WRITE SUCCESS"});
  EXPECT_EQ(b_.bench.handset().eeprom.Saves(1), 1);
  b_.loop.RunFor(RESULT_CLEAR_MS - 1);
  EXPECT_EQ(view_.results.size(), 1u);
  b_.loop.RunFor(1);
  EXPECT_EQ(view_.results, (std::vector<std::string>{"WRITE SUCCESS", ""}));
  b_.loop.RunFor(RESULT_CLEAR_MS);  // each further tick empties it again
  EXPECT_EQ(view_.results.size(), 3u);
}

TEST_F(LogicPanel, OtherSeAnswersStartTheClearingTimerWithoutText) {
  Press(LogicButton::VIB_TEST);
  EXPECT_TRUE(view_.results.empty());
  EXPECT_TRUE(b_.loop.TimerArmed(&panel_.GetExchange(), TIMER_RESULT_CLEAR));
  Press(LogicButton::LED_TEST);  // an "spw" answer does not
  b_.loop.RunFor(RESULT_CLEAR_MS);
  EXPECT_EQ(view_.results, std::vector<std::string>{""});
}

TEST_F(LogicPanel, NoAnswerEndsSilently) {
  b_.bench.faults.silentHandset = true;
  Press(LogicButton::VIB_TEST);
  EXPECT_TRUE(AnswerArmed());
  b_.loop.RunFor(LOGIC_TEST_TIMEOUT_MS);
  EXPECT_FALSE(AnswerArmed());
  EXPECT_FALSE(b_.loop.TimerArmed(&panel_.GetExchange(), TIMER_POLL));
  EXPECT_TRUE(b_.notifier.messages.empty());
  EXPECT_TRUE(view_.results.empty());
}

TEST_F(LogicPanel, StatusErrorAndOtherAnswersShowNothing) {
  b_.bench.faults.badStatusOpcode = 0x54;
  Press(LogicButton::LOGIC_DATA_SAVE);
  EXPECT_TRUE(AnswerArmed());  // left running: the time-out ends the exchange
  b_.loop.RunFor(LOGIC_TEST_TIMEOUT_MS);
  EXPECT_FALSE(AnswerArmed());
  b_.bench.faults.badStatusOpcode = -1;
  b_.bench.faults.wrongOpcode = true;
  Press(LogicButton::LOGIC_DATA_SAVE);
  EXPECT_FALSE(AnswerArmed());
  EXPECT_TRUE(view_.results.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
}

TEST_F(LogicPanelClosed, ClosedLinkSendsNothingButBacklightAndToneCaptionsStillToggle) {
  Press(LogicButton::BACK_LIGHT);
  Press(LogicButton::SPK_TONE, "100");
  Press(LogicButton::MIC_TEST);
  Press(LogicButton::VIB_TEST);
  EXPECT_EQ(Caption(LogicButton::BACK_LIGHT), "Back Light OFF");
  EXPECT_EQ(Caption(LogicButton::SPK_TONE), "SPKTONE OFF");
  EXPECT_EQ(Caption(LogicButton::MIC_TEST), "-");
  EXPECT_FALSE(panel_.MicOn());
  EXPECT_TRUE(b_.wires.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
  Press(LogicButton::SPK_TONE, "0");  // tone on: no gain needed to switch it off
  EXPECT_EQ(Caption(LogicButton::SPK_TONE), "SPK TONE TEST");
}

}  // namespace
