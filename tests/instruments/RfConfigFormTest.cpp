#include "instruments/RfConfigForm.h"

#include <gtest/gtest.h>

#include <set>

#include "instruments/InstrumentState.h"

namespace {

std::map<int, std::string> Defaults() {
  std::map<int, std::string> texts;
  for (const auto& box : RfConfigBoxes()) texts[box.controlId] = box.defaultItem;
  return texts;
}

TEST(RfConfigForm, BoxesAndTheirItems) {
  std::set<int> ids;
  for (const auto& box : RfConfigBoxes()) {
    SCOPED_TRACE(box.controlId);
    EXPECT_TRUE(ids.insert(box.controlId).second);
    EXPECT_NE(std::find(box.items.begin(), box.items.end(), box.defaultItem), box.items.end());
  }
  EXPECT_EQ(ids.size(), 17u);
  const auto& loss = RfConfigBoxes()[4].items;  // 1051
  EXPECT_EQ(loss.size(), 16u);
  EXPECT_EQ(loss.front(), "0");
  EXPECT_EQ(loss[1], "-0.6");
  EXPECT_EQ(loss[5], "-1.0");
  EXPECT_EQ(loss.back(), "-2.0");
  const auto& bch = RfConfigBoxes()[0].items;  // 1042
  EXPECT_EQ(bch.size(), 20u);
  EXPECT_EQ(bch.back(), "200");
}

TEST(RfConfigForm, DefaultsHandOverInTheDialogsOrder) {
  RfConfigForm form;
  EXPECT_EQ(form.Convert(Defaults()), DefaultRfConfigValues());
  // The middle loss comes before the left one: what each box sets is where it lands.
  auto texts = Defaults();
  texts[1051] = "-0.6";  // GSM middle
  texts[1054] = "-2.0";  // GSM left
  texts[1045] = "0";     // DCS middle
  const auto v = form.Convert(texts);
  EXPECT_DOUBLE_EQ(v[4], -0.6);
  EXPECT_DOUBLE_EQ(v[5], -2.0);
  EXPECT_DOUBLE_EQ(v[11], 0.0);
  ResetInstrumentState();
  ApplyRfConfig(v);
  EXPECT_DOUBLE_EQ(RfConfiguration().GsmPathLoss[1], -2.0);
  EXPECT_DOUBLE_EQ(RfConfiguration().GsmPathLoss[2], -0.6);
}

TEST(RfConfigForm, TextConversions) {
  struct Case {
    const char* text;
    double channel;
    double loss;
  };
  const Case cases[] = {
      {"NOT", 0, 0},
      {"62", 62, 62},
      {"  124", 124, 124},
      {"+30", 30, 30},
      {"-1.2", -1, -1.2},
      {"12abc", 12, 12},
      {"abc", 0, 0},
      {"", 0, 0},
      {"1e2", 1, 100},
      {"99999999999", 2147483647, 99999999999.0},
      {"-99999999999", -2147483648.0, -99999999999.0},
      {"inf", 0, 0},
      {"not", 0, 0},
      {"1,5", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(RfChannelValue(c.text), c.channel);
    EXPECT_DOUBLE_EQ(RfLossValue(c.text), c.loss);
  }
}

TEST(RfConfigForm, TypesByNameAndUnknownNamesKeepTheEarlierValue) {
  struct Case {
    const char* testSet;
    const char* supply;
    double wantTestSet;
    double wantSupply;
  };
  // One form across the rows: an unknown name keeps what the row before left.
  const Case rows[] = {
      {"A8960 E5515B", "3631A", 1, 5}, {"W4400M", "3633A", 2, 6},     {"8960", "3632a", 2, 6},
      {"NOT USED", "66311B", 0, 4},    {"W4400M ", "NOT USED", 0, 0}, {"", "3632A", 0, 6},
  };
  RfConfigForm form;
  for (const Case& r : rows) {
    SCOPED_TRACE(std::string(r.testSet) + " / " + r.supply);
    auto texts = Defaults();
    texts[1052] = r.testSet;
    texts[1053] = r.supply;
    const auto v = form.Convert(texts);
    EXPECT_EQ(v[14], r.wantTestSet);
    EXPECT_EQ(v[15], r.wantSupply);
  }
  // A fresh dialog starts from 0.
  RfConfigForm fresh;
  auto texts = Defaults();
  texts[1052] = "E5515";
  texts[1053] = "E3631A";
  const auto v = fresh.Convert(texts);
  EXPECT_EQ(v[14], 0);
  EXPECT_EQ(v[15], 0);
}

TEST(RfConfigForm, EgsmBoxIsNotHandedOver) {
  RfConfigForm form;
  auto texts = Defaults();
  texts[1365] = "975";
  EXPECT_EQ(form.Convert(texts), DefaultRfConfigValues());
}

}  // namespace
