#include <gtest/gtest.h>

#include "link/Bcommand.h"
#include "production/ImeiRwMessages.h"
#include "production/ScanRig.h"

namespace {

using scanrig::Station;
using Messages = std::vector<std::string>;

// What the last request put on the handset line, as its payload (opcode, arguments).
std::vector<uint8_t> LastPayload(const Station& st) {
  return st.requests.empty() ? std::vector<uint8_t>{} : st.requests.back();
}

TEST(ImeiRwButtonsTest, ImeiSetThenReadShowsTheFourFields) {
  Station st;
  st.view.fields[ImeiField::IMEI_INPUT_1] = "350000";
  st.view.fields[ImeiField::IMEI_INPUT_2] = "00";
  st.view.fields[ImeiField::IMEI_INPUT_3] = "123456";
  st.view.fields[ImeiField::IMEI_INPUT_4] = "5";
  st.rw.SetImei();
  st.loop.RunFor(500);
  EXPECT_EQ(LastPayload(st), (std::vector<uint8_t>{0x52, 60, 0x53, 0x00, 0x00, 0x00, 0x21, 0x43,
                                                   0x65, 0x05, LastPayload(st).back()}));
  EXPECT_EQ(st.StoredImei(), "350000001234565");
  st.rw.ReadImei();
  st.loop.RunFor(500);
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_1), "350000");
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_2), "00");
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_3), "123456");
  EXPECT_EQ(st.view.Text(ImeiField::IMEI_READ_4), "5");
  EXPECT_EQ(st.rw.ImeiReadBack(), "350000001234565");
  EXPECT_EQ(st.notifier.messages, Messages{});
}

TEST(ImeiRwButtonsTest, VersionsSerialAndRegionRoundTripThroughTheHandset) {
  Station st;
  st.view.fields[ImeiField::HW_INPUT] = "R07";
  st.view.fields[ImeiField::SERIAL_INPUT] = "123456";
  st.view.fields[ImeiField::REGION_COMBO] = "CH";
  st.rw.SetHwVersion();
  st.loop.RunFor(300);
  st.rw.SetSerial();
  st.loop.RunFor(300);
  st.rw.SetRegion();
  st.loop.RunFor(300);
  for (int i = 0; i < 2; ++i) {  // a second read shows the same
    st.rw.ReadHwVersion();
    st.loop.RunFor(300);
    st.rw.ReadSwVersion();
    st.loop.RunFor(300);
    st.rw.ReadSerial();
    st.loop.RunFor(300);
    st.rw.ReadRegion();
    st.loop.RunFor(300);
    EXPECT_EQ(st.view.Text(ImeiField::HW_DISPLAY), "R07");
    EXPECT_EQ(st.view.Text(ImeiField::SW_DISPLAY), sim::HANDSET_SW_VERSION);
    EXPECT_EQ(st.view.Text(ImeiField::SERIAL_DISPLAY), "123456");
    EXPECT_EQ(st.view.Text(ImeiField::REGION_DISPLAY), "CH");
  }
  st.bench.handset().eeprom.SetSpecialParam(100, 3);
  st.rw.ReadRegion();
  st.loop.RunFor(300);
  EXPECT_EQ(st.view.Text(ImeiField::REGION_DISPLAY), "Not Support");
  EXPECT_EQ(st.notifier.messages, Messages{});
}

TEST(ImeiRwButtonsTest, ClockSetShowsTheTimeAndSetsTheHandset) {
  Station st;
  st.rw.SetRtc();
  st.loop.RunFor(300);
  EXPECT_EQ(st.view.Text(ImeiField::TIME), "15:07:09, Saturday, August 24, 2002");
  const auto p = LastPayload(st);
  ASSERT_GE(p.size(), 9u);
  EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 9),
            (std::vector<uint8_t>{0x52, 20, 6, 2, 8, 24, 15, 7, 9}));
  EXPECT_EQ(st.bench.handset().rtcBaseSeconds, sim::RtcSeconds(2002, 8, 24, 15, 7, 9));
  EXPECT_EQ(st.notifier.messages, Messages{});
}

TEST(ImeiRwButtonsTest, InputTheCommandsCannotCarryIsRefusedWithoutSending) {
  struct Case {
    ImeiField field;
    std::string text;
    void (CImeiRw::*button)();
    const char* message;
  } cases[] = {
      {ImeiField::IMEI_INPUT_3, "12345", &CImeiRw::SetImei, imeimsg::BAD_IMEI_INPUT},
      {ImeiField::IMEI_INPUT_3, "12345x", &CImeiRw::SetImei, imeimsg::BAD_IMEI_INPUT},
      {ImeiField::HW_INPUT, "R0", &CImeiRw::SetHwVersion, imeimsg::BAD_HW_INPUT},
      {ImeiField::SERIAL_INPUT, "12345", &CImeiRw::SetSerial, imeimsg::BAD_SERIAL_INPUT},
      {ImeiField::SERIAL_INPUT, "1234a6", &CImeiRw::SetSerial, imeimsg::BAD_SERIAL_INPUT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Station st;
    st.view.fields[ImeiField::IMEI_INPUT_1] = "350000";
    st.view.fields[ImeiField::IMEI_INPUT_2] = "00";
    st.view.fields[ImeiField::IMEI_INPUT_3] = "123456";
    st.view.fields[ImeiField::IMEI_INPUT_4] = "5";
    st.view.fields[c.field] = c.text;
    (st.rw.*c.button)();
    st.loop.RunFor(300);
    EXPECT_TRUE(st.handsetPort.writes.empty());
    EXPECT_EQ(st.notifier.messages, Messages{c.message});
  }
}

TEST(ImeiRwButtonsTest, RegionWithoutSelectionOrClosedLinkSendsNothing) {
  Station st;
  st.view.fields[ImeiField::REGION_COMBO] = "";
  st.rw.SetRegion();
  st.loop.RunFor(4000);
  EXPECT_TRUE(st.handsetPort.writes.empty());
  st.handsetPort.Close();
  st.rw.ReadImei();
  st.rw.SetRtc();
  st.loop.RunFor(4000);
  EXPECT_TRUE(st.handsetPort.writes.empty());
  EXPECT_EQ(st.notifier.messages, Messages{});  // a closed link: the buttons do nothing
}

// A button's request awaiting its answer when the handset's port is lost: no "No Response"
// follows (the port's message is the one), the timers are gone, and the buttons send nothing.
TEST(ImeiRwButtonsTest, PortLostWhileAButtonWaitsEndsWithoutATimeOut) {
  Station st;
  st.bench.faults.silentHandset = true;
  st.rw.ReadImei();
  st.loop.RunFor(1000);
  ASSERT_TRUE(st.loop.TimerArmed(&st.rw.GetExchange(), TIMER_ANSWER));
  const size_t sent = st.handsetPort.writes.size();
  st.handsetPort.DeviceLost();
  st.loop.RunFor(1);
  EXPECT_FALSE(st.loop.TimerArmed(&st.rw.GetExchange(), TIMER_ANSWER));
  EXPECT_FALSE(st.loop.TimerArmed(&st.rw.GetExchange(), TIMER_POLL));
  st.rw.ReadSwVersion();
  st.loop.RunFor(10000);
  EXPECT_EQ(st.notifier.messages, Messages{});
  EXPECT_EQ(st.handsetPort.writes.size(), sent);
}

TEST(ImeiRwButtonsTest, FaultyAnswersAreReported) {
  {
    Station st;  // no answer
    st.bench.faults.silentHandset = true;
    st.rw.ReadImei();
    st.loop.RunFor(2990);
    EXPECT_EQ(st.notifier.messages, Messages{});
    st.loop.RunFor(20);
    EXPECT_EQ(st.notifier.messages, Messages{imeimsg::NO_RESPONSE});
    st.loop.RunFor(5000);  // both timers stopped: said once
    EXPECT_EQ(st.notifier.messages.size(), 1u);
  }
  {
    Station st;  // refused: status error, then the time-out
    st.bench.faults.badStatusOpcode = 0x53;
    st.rw.ReadSerial();
    st.loop.RunFor(4000);
    EXPECT_EQ(st.notifier.messages, (Messages{imeimsg::STATUS_ERROR, imeimsg::NO_RESPONSE}));
  }
  {
    Station st;  // answered after another window sent a request of its own
    st.rw.ReadImei();
    ASSERT_EQ(EncodeCommand("se 6"), ENC_OK);
    st.loop.RunFor(4000);
    EXPECT_EQ(st.notifier.messages, Messages{imeimsg::STR_ERROR});
  }
}

TEST(ImeiRwButtonsTest, SpeakerGainAnswerSendsTheToneSwitch) {
  Station st;
  ASSERT_TRUE(st.rw.GetExchange().Send("spw 73 5"));
  st.loop.RunFor(500);
  EXPECT_EQ(st.bench.handset().speakerGain, 5);
  EXPECT_EQ(st.bench.handset().speakerTone, 1);  // "spw 74 1"
}

TEST(ImeiRwButtonsTest, NextClearsTheFieldsForTheNextHandset) {
  Station st;
  for (ImeiField f :
       {ImeiField::IMEI_INPUT_1, ImeiField::IMEI_READ_3, ImeiField::HW_DISPLAY, ImeiField::HW_INPUT,
        ImeiField::SW_DISPLAY, ImeiField::SERIAL_DISPLAY, ImeiField::SERIAL_INPUT, ImeiField::TIME,
        ImeiField::REGION_DISPLAY, ImeiField::CODE}) {
    st.view.fields[f] = "x";
  }
  st.rw.Next();
  for (ImeiField f : {ImeiField::IMEI_INPUT_1, ImeiField::IMEI_READ_3, ImeiField::HW_DISPLAY,
                      ImeiField::HW_INPUT, ImeiField::SW_DISPLAY, ImeiField::SERIAL_DISPLAY,
                      ImeiField::SERIAL_INPUT, ImeiField::TIME}) {
    EXPECT_EQ(st.view.Text(f), "") << static_cast<int>(f);
  }
  // The region display and the code are not the handset's fields to clear.
  EXPECT_EQ(st.view.Text(ImeiField::REGION_DISPLAY), "x");
  EXPECT_EQ(st.view.Text(ImeiField::CODE), "x");
}

TEST(ImeiRwButtonsTest, LabelSettingsAreTakenOnlyInRange) {
  Station st;
  EXPECT_EQ(st.rw.Quantity(), 1);
  EXPECT_EQ(st.rw.Vertical(), 10);
  EXPECT_EQ(st.rw.Horizontal(), 200);
  EXPECT_TRUE(st.rw.SetLabelSettings(10000, 600, 0));
  EXPECT_FALSE(st.rw.SetLabelSettings(10001, 600, 0));
  EXPECT_FALSE(st.rw.SetLabelSettings(5, 601, 0));
  EXPECT_FALSE(st.rw.SetLabelSettings(5, 6, -1));
  EXPECT_EQ(st.rw.Quantity(), 10000);
  EXPECT_EQ(st.rw.Vertical(), 600);
  EXPECT_EQ(st.rw.Horizontal(), 0);
}

}  // namespace
