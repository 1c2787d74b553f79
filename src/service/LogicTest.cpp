#include "service/LogicTest.h"

#include "service/PanelFields.h"

namespace {

std::string WithValue(const char* command, int value) {
  return std::string(command) + " " + std::to_string(value);
}

constexpr uint8_t OPCODE_SPW = 0x50;
constexpr uint8_t OPCODE_SE = 0x54;
constexpr uint8_t SPW_TONE_GAIN = 73;
constexpr uint8_t SE_LOGIC_SAVE = 11;

}  // namespace

const std::vector<LogicButton>& LogicButtons() {
  using B = LogicButton;
  static const std::vector<LogicButton> buttons = {
      B::VIB_TEST, B::BACK_LIGHT, B::LCD_TEST, B::SUB_LCD_TEST,      B::KEY_AUTO_TEST,
      B::LED_TEST, B::SPK_TONE,   B::MIC_TEST, B::MAIN_LCD_CONTRAST, B::LOGIC_DATA_SAVE,
  };
  return buttons;
}

const char* LogicButtonCaption(LogicButton button) {
  switch (button) {
    case LogicButton::VIB_TEST:
      return "VibTest";
    case LogicButton::BACK_LIGHT:
      return CAPTION_BACK_LIGHT_ON;
    case LogicButton::LCD_TEST:
      return "LCD Test";
    case LogicButton::SUB_LCD_TEST:
      return "SubLCD Test";
    case LogicButton::KEY_AUTO_TEST:
      return "Key AutoTest";
    case LogicButton::LED_TEST:
      return "7 LED Test";
    case LogicButton::SPK_TONE:
      return CAPTION_SPK_TONE_TEST;
    case LogicButton::MIC_TEST:
      return CAPTION_MIC_TEST_ON;
    case LogicButton::MAIN_LCD_CONTRAST:
      return "M_LCD Contrast SET";
    case LogicButton::LOGIC_DATA_SAVE:
      return "LOGIC DATA SAVE";
  }
  return "";
}

LogicTest::LogicTest(EventLoop& loop, Port& port, Notifier& notifier, LogicTestView& view)
    : loop_(loop),
      port_(port),
      notifier_(notifier),
      view_(view),
      exchange_(loop, port, *this, LOGIC_TEST_TIMEOUT_MS) {}

LogicTest::~LogicTest() {
  loop_.KillTimer(&exchange_, TIMER_RESULT_CLEAR);
}

void LogicTest::OnInit() {
  exchange_.Reset();
  TakePort();
}

void LogicTest::TakePort() {
  port_.SetOwner(&exchange_);
}

std::string LogicTest::Caption(LogicButton button) const {
  switch (button) {
    case LogicButton::BACK_LIGHT:
      return backlight_ ? CAPTION_BACK_LIGHT_OFF : CAPTION_BACK_LIGHT_ON;
    case LogicButton::SPK_TONE:
      return tone_ ? CAPTION_SPK_TONE_OFF : CAPTION_SPK_TONE_TEST;
    case LogicButton::MIC_TEST:
      return mic_ ? CAPTION_MIC_TEST_OFF : CAPTION_MIC_TEST_ON;
    default:
      return LogicButtonCaption(button);
  }
}

void LogicTest::ShowCaption(LogicButton button) {
  view_.SetCaption(button, Caption(button));
}

bool LogicTest::Send(const std::string& line) {
  return exchange_.Send(line);
}

void LogicTest::Press(LogicButton button, const std::string& gainText, int contrast) {
  switch (button) {
    case LogicButton::VIB_TEST:
      Send("se 56");
      return;
    case LogicButton::BACK_LIGHT:
      Send(backlight_ ? "se 54" : "se 53");
      backlight_ = !backlight_;
      ShowCaption(button);
      return;
    case LogicButton::LCD_TEST:
      Send("se 50");
      return;
    case LogicButton::SUB_LCD_TEST:
      Send("se 51");
      return;
    case LogicButton::KEY_AUTO_TEST:
      Send("se 59");
      return;
    case LogicButton::LED_TEST:
      Send("spw 56 7");
      return;
    case LogicButton::SPK_TONE:
      if (tone_) {
        Send("spw 74 0");
      } else {
        const int gain = ReadIntField(gainText);
        if (gain < LOGIC_GAIN_MIN || gain > LOGIC_GAIN_MAX) {
          notifier_.Message(LOGIC_INVALID_GAIN);
          return;
        }
        Send(WithValue("spw 73", gain));
      }
      tone_ = !tone_;
      ShowCaption(button);
      return;
    case LogicButton::MIC_TEST:
      if (!Send(mic_ ? "spw 72 0" : "spw 72 1")) return;
      mic_ = !mic_;
      ShowCaption(button);
      return;
    case LogicButton::MAIN_LCD_CONTRAST:
      Send(WithValue("spw 51", contrast));
      return;
    case LogicButton::LOGIC_DATA_SAVE:
      Send("se 11");
      return;
  }
}

void LogicTest::SubVolChanged(int vol) {
  Send(WithValue("spw 52", vol));
}

void LogicTest::SubV0Changed(int v0) {
  Send(WithValue("spw 53", v0));
}

void LogicTest::DecodeAnswer(Exchange& ex) {
  switch (ex.CheckAnswer()) {
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      return;
    case ANSWER_STATUS_ERROR:
    case ANSWER_NONE:
      return;
    case ANSWER_OK:
      break;
  }
  ex.StopTimers();
  const uint16_t length = ex.DecodeFrameCopy();
  if (length < 5) return;
  const uint8_t opcode = ex.Decoded()[2];
  const uint8_t argument = ex.Decoded()[4];
  if (opcode == OPCODE_SPW && argument == SPW_TONE_GAIN) {
    Send("spw 74 1");
  } else if (opcode == OPCODE_SE) {
    if (argument == SE_LOGIC_SAVE) view_.SetResult(LOGIC_WRITE_SUCCESS);
    loop_.SetTimer(&exchange_, TIMER_RESULT_CLEAR, RESULT_CLEAR_MS);
  }
}

// What the result field showed came from a handset that is gone now; a stop leaves no timer.
void LogicTest::OnPortLost(Exchange& /*ex*/) {
  loop_.KillTimer(&exchange_, TIMER_RESULT_CLEAR);
  view_.SetResult("");
}

void LogicTest::OnOtherTimer(int id) {
  if (id == TIMER_RESULT_CLEAR) view_.SetResult("");
}
