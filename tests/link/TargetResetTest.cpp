// How the EEPROM reset ends once its dialog is gone, in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "link/HandsetDouble.h"
#include "link/TargetConnection.h"

namespace {

using Reply = HandsetDouble::Reply;

struct Notes : Notifier {
  std::vector<std::string> texts;
  void Message(const std::string& text) override { texts.push_back(text); }
};

class TargetResetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEncoderState();
    ASSERT_TRUE(port.Open(1, 115200));
  }
  // The dialog: shown (it takes the port), "예" pressed, then gone.
  std::unique_ptr<ResetOutcome> PressYes() {
    TargetReset dialog(loop, port, notes);
    dialog.OnInit();
    return dialog.Yes();
  }

  SimLoop loop;
  SimPort port{loop};
  HandsetDouble handset{loop, port};
  Notes notes;
};

TEST_F(TargetResetTest, OutcomeOfTheResetIsReported) {
  struct Case {
    Reply reply;
    int answers;  // requests the handset answers
    std::vector<std::string> messages;
    size_t requests;
    uint64_t endsBy;  // ms
  };
  const Case cases[] = {
      {Reply::ANSWER, 1000, {"EEPROM 리셋되었습니다."}, 1, 100},
      {Reply::BAD_STATUS,
       1000,
       {"Status is error. 명령이 정상적으로 수행되지 못했습니다."},
       1,
       100},
      // Silent: the same frame again after 3000 ms, then given up after 3000 more.
      {Reply::ANSWER, 0, {"Target과 통신이 끊겼습니다. 다시 시도해 주세요!"}, 2, 6100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.front());
    handset.requests.clear();
    handset.reply = c.reply;
    handset.answersLeft = c.answers;
    notes.texts.clear();
    auto outcome = PressYes();
    ASSERT_NE(outcome, nullptr);
    const uint64_t start = loop.Now();
    EXPECT_TRUE(loop.RunUntil([&] { return outcome->Finished(); }, 10000));
    EXPECT_LE(loop.Now() - start, c.endsBy);
    loop.RunFor(7000);  // nothing further
    EXPECT_EQ(notes.texts, c.messages);
    ASSERT_EQ(handset.requests.size(), c.requests);
    for (const auto& r : handset.requests) {
      EXPECT_EQ(r, (std::vector<uint8_t>{0x02, 0x14, 0x54, 0x05, 0x00, 0x51, 0x02}));
    }
    EXPECT_EQ(port.Owner(), nullptr);  // the port is left when done
  }
}

TEST_F(TargetResetTest, SecondTryAnsweredCountsAsDone) {
  handset.answersLeft = 0;
  auto outcome = PressYes();
  loop.RunFor(3010);  // first time-out: sent again
  ASSERT_EQ(handset.requests.size(), 2u);
  port.DeviceSend(HandsetDouble::AnswerFrame(0x54, 0, 5, {}));
  EXPECT_TRUE(loop.RunUntil([&] { return outcome->Finished(); }, 1000));
  EXPECT_EQ(notes.texts, std::vector<std::string>{"EEPROM 리셋되었습니다."});
  EXPECT_EQ(outcome->Attempts(), 2);
}

TEST_F(TargetResetTest, AWindowThatTakesThePortTakesTheAnswerAndNothingIsSaid) {
  handset.answersLeft = 0;
  auto outcome = PressYes();
  struct Other : PortOwner {
    int bursts = 0;
    void OnCommData() override { ++bursts; }
  } window;
  port.SetOwner(&window);  // the pointer moved over a tool window
  loop.RunFor(3100);
  EXPECT_TRUE(outcome->Finished());
  EXPECT_EQ(handset.requests.size(), 1u);  // no second "se 5" behind the window's back
  EXPECT_TRUE(notes.texts.empty());
  EXPECT_EQ(port.Owner(), &window);
}

TEST_F(TargetResetTest, ClosedLinkSendsNothingAndSaysSo) {
  port.Close();
  EXPECT_EQ(PressYes(), nullptr);
  EXPECT_EQ(notes.texts,
            std::vector<std::string>{"Serial Comm이 연결되어 있지 않습니다. Connect해 주세요"});
  EXPECT_TRUE(handset.requests.empty());
}

}  // namespace
