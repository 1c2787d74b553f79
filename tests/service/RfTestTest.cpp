#include "service/RfTest.h"

#include <gtest/gtest.h>

#include <climits>

#include "PanelBench.h"
#include "service/PanelFields.h"

using namespace paneltest;

namespace {

struct IntCase {
  const char* text;
  int value;
};

TEST(PanelFields, IntegerFieldsReadTheirLeadingNumber) {
  const IntCase cases[] = {
      {"", 0},
      {"abc", 0},
      {"12", 12},
      {"  7", 7},
      {"+5", 5},
      {"-3", -3},
      {"62abc", 62},
      {"12 34", 12},
      {"- 3", 0},
      {"1.9", 1},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadIntField(c.text), c.value) << '"' << c.text << '"';
}

TEST(PanelFields, FloatFieldsTruncateTowardZero) {
  const IntCase cases[] = {
      {"123.9", 123},      {"-2.5", -2},  {"-0.9", 0}, {"", 0},          {"x1", 0},
      {" 7.99", 7},        {"+4.5", 4},   {".5", 0},   {"1e3", 1000},    {"1e400", INT_MAX},
      {"-1e400", INT_MIN}, {"1e-400", 0}, {"nan", 0},  {"5e9", INT_MAX}, {"12,5", 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadTruncatedField(c.text), c.value) << '"' << c.text << '"';
  }
}

struct RequestCase {
  int channel;
  int value;
  const char* line;  // "" nothing sent
  bool invalid;      // "Invalid setting"
};

void ExpectRequest(const RfRequest& r, const RequestCase& c, const char* what) {
  EXPECT_EQ(r.line, c.line) << what << " channel " << c.channel << " value " << c.value;
  EXPECT_EQ(r.message, c.invalid ? RF_INVALID_SETTING : "")
      << what << " channel " << c.channel << " value " << c.value;
}

TEST(RfTestRules, PowerLevelByChannelRange) {
  const RequestCase cases[] = {
      {600, 5, "txpw 1 105", false},
      {60, 5, "txpw 1 5", false},
      {1000, 5, "txpw 1 5", false},
      {300, 5, "", true},
      {60, 20, "", true},
      {600, 20, "", true},
      {0, 0, "txpw 1 0", false},
      {124, 19, "txpw 1 19", false},
      {125, 5, "", true},
      {511, 5, "", true},
      {512, 0, "txpw 1 100", false},
      {885, 19, "txpw 1 119", false},
      {886, 5, "", true},
      {974, 5, "", true},
      {975, 5, "txpw 1 5", false},
      {1023, 5, "txpw 1 5", false},
      {-1, 5, "", true},
      // A negative level would reach the handset as a 16-bit wrap.
      {60, -3, "", true},
      {600, -1, "", true},
  };
  for (const auto& c : cases) ExpectRequest(PowerLevelRequest(c.channel, c.value), c, "P/L");
}

TEST(RfTestRules, ApcDacBySubBand) {
  const RequestCase cases[] = {
      {80, 500, "spw 21 500", false},
      {700, 500, "spw 31 500", false},
      {80, 1024, "", false},
      {0, 0, "txpw 4 0", false},
      {55, 1023, "txpw 4 1023", false},
      {56, 1, "spw 21 1", false},
      {100, 1, "spw 21 1", false},
      {101, 1, "spw 22 1", false},
      {124, 1, "spw 22 1", false},
      {125, 1, "txpw 4 1", false},
      {512, 1, "txpw 4 1", false},
      {631, 1, "txpw 4 1", false},
      {632, 1, "spw 31 1", false},
      {751, 1, "spw 31 1", false},
      {752, 1, "spw 32 1", false},
      {885, 1, "spw 32 1", false},
      {886, 1, "", false},
      {974, 1, "", false},
      {975, 300, "spw 23 300", false},
      {1023, 1, "spw 23 1", false},
      {1024, 1, "", false},
      {80, -1, "", false},
  };
  for (const auto& c : cases) ExpectRequest(ApcDacRequest(c.channel, c.value), c, "APC DAC");
}

TEST(RfTestRules, AgcUpToFifty) {
  const RequestCase cases[] = {
      {0, 50, "spw 15 50", false}, {0, 51, "", true}, {0, 0, "spw 15 0", false}, {0, -1, "", true}};
  for (const auto& c : cases) ExpectRequest(AgcRequest(c.value), c, "AGC");
}

TEST(RfTestRules, EveryButtonSendsItsCommand) {
  RfTestFields f;
  f.txChannel = "62";
  f.txPowerLevel = "7";
  f.apcDac = "400";
  f.rxChannel = "37";
  f.agc = "20";
  f.afcChannel = "700";
  f.afcPowerLevel = "3";
  f.afcDac = "123.9";
  using B = RfButton;
  const std::pair<RfButton, const char*> cases[] = {
      {B::TX_TESTMODE_INIT, "ti"},
      {B::TX_TESTMODE_SET, "tms 1"},
      {B::TX_CH_SET, "rfpw 2 62"},
      {B::TX_PL_SET, "txpw 1 7"},
      {B::TX_ON, "rfe 6"},
      {B::TX_OFF, "rfe 0"},
      {B::TX_APC_DAC_SET, "spw 21 400"},
      {B::RX_TESTMODE_INIT, "ti"},
      {B::RX_TESTMODE_SET, "tms 1"},
      {B::RX_CH_SET, "spw 14 37"},
      {B::RX_AGC_DISABLE, "rxpw 8 0"},
      {B::RX_AGC_SET, "spw 15 20"},
      {B::RX_ON, "se 30"},
      {B::RX_OFF, "rfe 0"},
      {B::AFC_TESTMODE_INIT, "ti"},
      {B::AFC_TESTMODE_SET, "tms 1"},
      {B::AFC_CH_SET, "rfpw 2 700"},
      {B::AFC_DISABLE, "rfpw 8 0"},
      {B::AFC_PL_SET, "txpw 1 103"},
      {B::AFC_DAC_SET, "rfpw 9 123"},
      {B::AFC_TX_ON, "rfe 3"},
      {B::AFC_TX_OFF, "rfe 0"},
      {B::SAVE_RF_TO_EEP, "se 1"},
  };
  EXPECT_EQ(std::size(cases), RfButtons().size());
  for (const auto& [button, line] : cases) {
    const RfRequest r = RfButtonRequest(button, f);
    EXPECT_EQ(r.line, line);
    EXPECT_EQ(r.message, "");
  }
  // The AFC group's level is judged with the AFC channel, the TX group's with the TX channel.
  f.afcChannel = "300";
  EXPECT_EQ(RfButtonRequest(B::AFC_PL_SET, f).message, RF_INVALID_SETTING);
  EXPECT_EQ(RfButtonRequest(B::TX_PL_SET, f).line, "txpw 1 7");
  f.afcDac = "-2.5";
  EXPECT_EQ(RfButtonRequest(B::AFC_DAC_SET, f).line, "rfpw 9 -2");
}

struct ResultView : RfTestView {
  std::vector<std::string> results;
  void SetResult(const std::string& text) override { results.push_back(text); }
};

class RfTestPanel : public ::testing::Test {
 protected:
  explicit RfTestPanel(bool open = true)
      : b_(11, open), panel_(b_.loop, b_.port, b_.notifier, view_) {
    b_.Watch(panel_.GetExchange());
    panel_.OnInit();
  }
  Exchange& Ex() { return panel_.GetExchange(); }
  bool PollArmed() { return b_.loop.TimerArmed(&Ex(), TIMER_POLL); }
  bool AnswerArmed() { return b_.loop.TimerArmed(&Ex(), TIMER_ANSWER); }

  PanelBench b_;
  ResultView view_;
  RfTest panel_;
  RfTestFields fields_;
};

class RfTestPanelClosed : public RfTestPanel {
 protected:
  RfTestPanelClosed() : RfTestPanel(false) {}
};

TEST_F(RfTestPanel, AnAnsweredCommandShowsNothingAndStopsBothTimers) {
  fields_.txChannel = "600";
  fields_.txPowerLevel = "5";
  panel_.Press(RfButton::TX_PL_SET, fields_);
  EXPECT_TRUE(AnswerArmed());
  b_.loop.RunFor(5000);
  EXPECT_FALSE(PollArmed());
  EXPECT_FALSE(AnswerArmed());
  EXPECT_TRUE(view_.results.empty());
  EXPECT_TRUE(b_.notifier.messages.empty());
  EXPECT_EQ(b_.bench.handset().txLevel, 105);
  EXPECT_EQ(b_.wires, WiresOf({"txpw 1 105"}));
}

TEST_F(RfTestPanel, InvalidSettingSendsNothing) {
  fields_.txChannel = "300";
  fields_.txPowerLevel = "5";
  panel_.Press(RfButton::TX_PL_SET, fields_);
  fields_.agc = "51";
  panel_.Press(RfButton::RX_AGC_SET, fields_);
  fields_.txChannel = "80";
  fields_.apcDac = "1024";  // ignored without a message
  panel_.Press(RfButton::TX_APC_DAC_SET, fields_);
  EXPECT_EQ(b_.notifier.messages, (std::vector<std::string>{"Invalid setting", "Invalid setting"}));
  EXPECT_TRUE(b_.wires.empty());
  EXPECT_FALSE(AnswerArmed());
}

TEST_F(RfTestPanel, ApcDacOfTheExtendedBandReachesTheHandset) {
  panel_.Enter("txpw 1 5");  // a GSM level selects the table the DAC is written into
  b_.loop.RunFor(100);
  fields_.txChannel = "1000";
  fields_.apcDac = "321";
  panel_.Press(RfButton::TX_APC_DAC_SET, fields_);
  b_.loop.RunFor(3000);
  EXPECT_EQ(b_.bench.handset().eeprom.Apc(2, 4, 5), 321);
  EXPECT_TRUE(view_.results.size() == 1 && view_.results[0].empty());  // only Enter's clearing
}

TEST_F(RfTestPanel, StatusErrorEndsInCommandErrorAtTheTimeOut) {
  b_.bench.faults.badStatusOpcode = 0x36;
  fields_.txChannel = "60";
  fields_.txPowerLevel = "5";
  panel_.Press(RfButton::TX_PL_SET, fields_);
  b_.loop.RunFor(RF_TEST_TIMEOUT_MS - 1);
  EXPECT_TRUE(view_.results.empty());
  EXPECT_TRUE(AnswerArmed());
  b_.loop.RunFor(1);
  EXPECT_EQ(view_.results, std::vector<std::string>{"Command Error"});
  EXPECT_FALSE(PollArmed());
  EXPECT_FALSE(AnswerArmed());
}

TEST_F(RfTestPanel, AnAnswerToAnotherCommandStopsOnlyTheAnswerTimer) {
  b_.bench.faults.wrongOpcode = true;
  panel_.Press(RfButton::TX_ON, fields_);
  b_.loop.RunFor(5000);
  EXPECT_TRUE(view_.results.empty());
  EXPECT_FALSE(AnswerArmed());
  EXPECT_TRUE(PollArmed());
}

TEST_F(RfTestPanel, EnterClearsTheResultAndSendsTheFreeLine) {
  b_.bench.faults.silentHandset = true;
  panel_.Press(RfButton::TX_ON, fields_);
  b_.loop.RunFor(RF_TEST_TIMEOUT_MS);
  ASSERT_EQ(view_.results, std::vector<std::string>{"Command Error"});
  EXPECT_FALSE(panel_.Enter(""));
  EXPECT_EQ(view_.results.back(), "");
  EXPECT_EQ(b_.wires.size(), 1u);
  b_.bench.faults.silentHandset = false;
  EXPECT_TRUE(panel_.Enter("rfpw 2 62"));
  b_.loop.RunFor(3000);
  EXPECT_EQ(b_.bench.handset().rfParams[2], 62);
  EXPECT_EQ(view_.results.back(), "");
  EXPECT_EQ(b_.wires, WiresOf({"rfe 6", "rfpw 2 62"}));
}

TEST_F(RfTestPanelClosed, AClosedLinkIsNotAskedAndEndsInCommandError) {
  panel_.Press(RfButton::TX_TESTMODE_INIT, fields_);
  EXPECT_EQ(b_.wires.size(), 1u);  // the exchange ran; the frame went nowhere
  EXPECT_TRUE(b_.port.writes.empty());
  b_.loop.RunFor(RF_TEST_TIMEOUT_MS - 1);
  EXPECT_TRUE(view_.results.empty());
  b_.loop.RunFor(1);
  EXPECT_EQ(view_.results, std::vector<std::string>{"Command Error"});
  EXPECT_TRUE(b_.notifier.messages.empty());
  EXPECT_FALSE(AnswerArmed());
}

}  // namespace
