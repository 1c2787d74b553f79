#include "service/GsmRamp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/ServiceBench.h"
#include "service/ServiceText.h"

namespace {

using Lines = std::vector<std::string>;

struct RecordingRampView : GsmRampView {
  std::array<int32_t, RAMP_FIELDS> fields{};
  int32_t upTotal = -1, downTotal = -1;
  std::string result, dac, index = "0", level = "5", caption = "CALL";
  int commandWindowClears = 0;
  std::vector<double> chart;
  std::vector<std::vector<uint8_t>> handedOver;

  void SetValueField(int field, int32_t value) override { fields.at(field) = value; }
  void SetTotals(int32_t up, int32_t down) override { upTotal = up, downTotal = down; }
  void SetResult(const std::string& text) override { result = text; }
  void SetDacText(const std::string& text) override { dac = text; }
  void SetIndexText(const std::string& text) override { index = text; }
  void SetCallCaption(const std::string& text) override { caption = text; }
  void ClearCommandWindow() override { ++commandWindowClears; }
  void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>& points) override {
    chart.insert(chart.end(), points.begin(), points.end());
  }
  void HandOverAnswer(const uint8_t* frame, size_t length) override {
    handedOver.emplace_back(frame, frame + length);
  }
  std::string TxLevelText() override { return level; }
  std::string IndexText() override { return index; }
};

class GsmRampTest : public ::testing::Test {
 protected:
  GsmRampTest() {
    ramp.onSend = [this](const std::string& line) { sent.push_back(line); };
    ramp.OnInit();
  }
  void Settle() { s.loop.RunFor(GsmRamp::ANSWER_TIMEOUT_MS * 3); }

  ServiceBench s;
  RecordingRampView view;
  RampTemplate table;
  GsmRamp ramp{s.loop, s.port, s.messages, view, table};
  Lines sent;
};

TEST_F(GsmRampTest, LevelChangeSetsTheIndexAndReadsTheBandsDac) {
  ASSERT_TRUE(s.bench.handset().eeprom.SetApc(3, 2, 3, 300));
  ramp.BandChanged(4);  // "632~751"
  view.level = "103";
  ramp.TxLevelChanged();
  Settle();
  EXPECT_EQ(sent, (Lines{"txpw 1 103", "spr 31"}));
  EXPECT_EQ(view.index, "18");
  EXPECT_EQ(view.dac, "300");
  EXPECT_EQ(view.result, "command success");
  EXPECT_EQ(s.messages.texts, Lines{});
  // Both answers went to the result display.
  ASSERT_EQ(view.handedOver.size(), 2u);
  EXPECT_EQ(view.handedOver[1][2], 0x51);

  // GSM levels read the band's own command; the lowest sub-band reads "txpr 4".
  sent.clear();
  ramp.BandChanged(0);
  view.level = "7";
  ramp.TxLevelChanged();
  Settle();
  EXPECT_EQ(sent, (Lines{"txpw 1 7", "txpr 4"}));
  EXPECT_EQ(view.index, "2");
  EXPECT_EQ(view.dac, std::to_string(s.bench.handset().eeprom.Apc(2, 1, 7)));
}

TEST_F(GsmRampTest, ATypedLineDoesNotTriggerTheDacRead) {
  ramp.BandChanged(4);
  view.level = "10";
  ramp.CommandWindowEnter("txpw 1 10");
  EXPECT_TRUE(ramp.CommandWindowFlag());
  EXPECT_EQ(view.commandWindowClears, 1);
  Settle();
  EXPECT_EQ(sent, Lines{"txpw 1 10"});
  EXPECT_EQ(view.index, "5");
  EXPECT_FALSE(ramp.CommandWindowFlag());
  // The next level change reads the DAC again.
  ramp.TxLevelChanged();
  Settle();
  EXPECT_EQ(sent, (Lines{"txpw 1 10", "txpw 1 10", "spr 31"}));
}

TEST_F(GsmRampTest, LoadFillsTheFieldsTotalsAndChart) {
  std::array<int8_t, 32> full;
  full.fill(31);
  s.bench.handset().eeprom.SetRampTemplate(5, full);
  view.index = "5";
  ramp.Load();
  Settle();
  EXPECT_EQ(sent, Lines{"ttr 5"});
  EXPECT_TRUE(ramp.TemplateLoaded());
  EXPECT_EQ(view.upTotal, 496);
  EXPECT_EQ(view.downTotal, 496);
  for (int32_t f : view.fields) EXPECT_EQ(f, 31);
  ASSERT_EQ(view.chart.size(), 32u);
  EXPECT_DOUBLE_EQ(*std::max_element(view.chart.begin(), view.chart.end()), 15.0);
  EXPECT_NEAR(view.chart.back(), 0.0, 1e-9);

  // After the first load every edit redraws, each redraw 32 more points.
  ramp.ValueChanged(0, "0");
  EXPECT_EQ(view.upTotal, 465);
  EXPECT_EQ(table.up[0], 0);
  EXPECT_EQ(view.chart.size(), 64u);
  EXPECT_DOUBLE_EQ(view.chart[32], 0.0);
}

TEST_F(GsmRampTest, EditsBeforeALoadUpdateOnlyTheTotals) {
  ramp.ValueChanged(3, "12");
  ramp.ValueChanged(16 + 15, "-4");
  ramp.ValueChanged(40, "9");  // no such field
  EXPECT_EQ(view.upTotal, 12);
  EXPECT_EQ(view.downTotal, -4);
  EXPECT_EQ(table.down[15], -4);
  EXPECT_TRUE(view.chart.empty());
  EXPECT_TRUE(sent.empty());
}

TEST_F(GsmRampTest, SavesTemplateAndDacAndAppliesTheIndex) {
  for (int i = 0; i < RAMP_FIELDS; ++i) ramp.ValueChanged(i, std::to_string(i % 16));
  view.index = "12";
  ramp.SaveTemplate();
  Settle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0],
            "ttw 12 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15");
  EXPECT_EQ(view.result, "Writing Success");
  EXPECT_EQ(s.bench.handset().eeprom.RampTemplate(12)[17], 1);

  // Read back with "Apply Ramp index": the index is sent as the level, whose answer reads the
  // band's DAC value as a level change does.
  ramp.SetApplyRampIndex(true);
  ramp.Load();
  Settle();
  EXPECT_EQ(sent, (Lines{sent[0], "ttr 12", "txpw 1 12", "txpr 4"}));

  sent.clear();
  ramp.BandChanged(6);
  view.level = "5";
  ramp.TxLevelChanged();
  Settle();
  sent.clear();
  ramp.SaveDac("412");
  Settle();
  EXPECT_EQ(sent, Lines{"spw 23 412"});
  EXPECT_EQ(view.result, "command success");
  EXPECT_EQ(s.bench.handset().eeprom.Apc(2, 4, 5), 412);
}

TEST_F(GsmRampTest, DacSaveWithoutABandSendsNothing) {
  ramp.SaveDac("300");
  Settle();
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(s.messages.texts, Lines{RAMP_NO_BAND_MESSAGE});
  // A level change reads band 0's value meanwhile.
  view.level = "8";
  ramp.TxLevelChanged();
  Settle();
  EXPECT_EQ(sent, (Lines{"txpw 1 8", "txpr 4"}));
  EXPECT_EQ(ramp.Band(), 0);

  ramp.BandChanged(2);
  ramp.BandChanged(GsmRamp::NO_BAND);
  s.messages.texts.clear();
  ramp.SaveDac("300");
  EXPECT_EQ(s.messages.texts, Lines{RAMP_NO_BAND_MESSAGE});
  ramp.BandChanged(1);
  ramp.SaveDac("300");
  Settle();
  EXPECT_EQ(sent.back(), "spw 21 300");
}

TEST_F(GsmRampTest, CallTogglesAndEepromButtons) {
  ramp.Call();
  Settle();
  EXPECT_EQ(view.caption, "CALL END");
  ramp.Call();
  Settle();
  EXPECT_EQ(view.caption, "CALL");
  EXPECT_EQ(sent, (Lines{"se 100", "se 101"}));

  ramp.SaveToEeprom();
  Settle();
  EXPECT_EQ(view.result, "Saved to EEPROM");
  ramp.ResetEeprom();
  Settle();
  EXPECT_EQ(view.result, "Target Resetted");
  EXPECT_EQ(s.messages.texts, Lines{});
}

TEST_F(GsmRampTest, ClosedLinkChecksOnlySomeControls) {
  s.port.Close();
  ramp.BandChanged(0);
  ramp.Load();
  ramp.SaveTemplate();
  ramp.SaveDac("1");
  ramp.TxLevelChanged();
  ramp.CommandWindowEnter("se 1");
  EXPECT_EQ(s.messages.texts, Lines(5, LINK_CLOSED_MESSAGE));
  EXPECT_FALSE(ramp.CommandWindowFlag());
  EXPECT_TRUE(sent.empty());

  // The EEPROM buttons and "CALL" start the exchange anyway and time out.
  s.messages.texts.clear();
  ramp.SaveToEeprom();
  s.loop.RunFor(GsmRamp::ANSWER_TIMEOUT_MS - 1);
  EXPECT_EQ(s.messages.texts, Lines{});
  s.loop.RunFor(1);
  EXPECT_EQ(s.messages.texts, Lines{"No response"});
  EXPECT_EQ(sent, Lines{"se 1"});
  EXPECT_EQ(s.requests, std::vector<uint8_t>{});
}

TEST_F(GsmRampTest, ErrorStatusAndTimeOut) {
  s.bench.faults.badStatusOpcode = 0x39;
  ramp.Load();
  s.loop.RunFor(100);
  EXPECT_EQ(view.result, "Status error");
  EXPECT_EQ(s.messages.texts, Lines{"status error"});
  s.loop.RunFor(GsmRamp::ANSWER_TIMEOUT_MS);
  EXPECT_EQ(s.messages.texts, (Lines{"status error", "No response"}));
  EXPECT_FALSE(ramp.TemplateLoaded());
  EXPECT_TRUE(view.handedOver.empty());

  // An answer to another request: "error" and its message.
  s.bench.faults.badStatusOpcode = -1;
  s.messages.texts.clear();
  ramp.SaveToEeprom();
  ramp.Load();
  Settle();
  EXPECT_EQ(s.messages.texts, Lines{"command error"});
  EXPECT_TRUE(ramp.TemplateLoaded());  // the awaited answer still came
}

TEST_F(GsmRampTest, InitialisationStartsFresh) {
  ramp.ValueChanged(0, "5");
  ramp.BandChanged(3);
  ramp.Call();
  ramp.OnInit();
  EXPECT_EQ(table, RampTemplate{});
  EXPECT_EQ(ramp.Band(), 0);
  EXPECT_FALSE(ramp.BandChosen());
  EXPECT_EQ(ramp.CallCaption(), "CALL");
  EXPECT_FALSE(ramp.TemplateLoaded());
}

}  // namespace
