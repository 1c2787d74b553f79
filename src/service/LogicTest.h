#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/Exchange.h"
#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

// The logic test panel: the handset's non-radio hardware (vibrator, backlight, displays, keypad,
// LED, speaker tone, microphone loop, contrast). Nothing is sent on a closed link, but the
// backlight and speaker buttons still change caption; the microphone button does not.

constexpr uint32_t LOGIC_TEST_TIMEOUT_MS = 2000;
constexpr const char* LOGIC_TEST_TITLE = "Logic Test";
constexpr const char* LOGIC_INVALID_GAIN = "invalid Gain range";
constexpr const char* LOGIC_WRITE_SUCCESS = "WRITE SUCCESS";
constexpr int LOGIC_GAIN_MIN = 1;
constexpr int LOGIC_GAIN_MAX = 255;
// After an "se" answer the result field is emptied on this timer, and again on every tick.
constexpr int TIMER_RESULT_CLEAR = 3;
constexpr uint32_t RESULT_CLEAR_MS = 5000;

enum class LogicButton {
  VIB_TEST,
  BACK_LIGHT,
  LCD_TEST,
  SUB_LCD_TEST,
  KEY_AUTO_TEST,
  LED_TEST,
  SPK_TONE,
  MIC_TEST,
  MAIN_LCD_CONTRAST,
  LOGIC_DATA_SAVE,
};

// Captions of the toggling buttons in each state.
constexpr const char* CAPTION_BACK_LIGHT_ON = "Back Light ON";
constexpr const char* CAPTION_BACK_LIGHT_OFF = "Back Light OFF";
constexpr const char* CAPTION_SPK_TONE_TEST = "SPK TONE TEST";
constexpr const char* CAPTION_SPK_TONE_OFF = "SPKTONE OFF";
constexpr const char* CAPTION_MIC_TEST_ON = "MIC TEST ON";
constexpr const char* CAPTION_MIC_TEST_OFF = "MIC TEST OFF";

// The fixed lists of the contrast choices: main display "Value", sub display "VOL" and "V0".
struct ChoiceRange {
  int first;
  int last;
};
constexpr ChoiceRange MAIN_CONTRAST_CHOICES{20, 30};
constexpr ChoiceRange SUB_VOL_CHOICES{0, 63};
constexpr ChoiceRange SUB_V0_CHOICES{0, 7};

class LogicTestView {
 public:
  virtual ~LogicTestView() = default;
  virtual void SetCaption(LogicButton button, const std::string& caption) = 0;
  virtual void SetResult(const std::string& text) = 0;
};

class LogicTest : private ExchangeClient {
 public:
  LogicTest(EventLoop& loop, Port& port, Notifier& notifier, LogicTestView& view);
  ~LogicTest() override;

  void OnInit();
  void TakePort();

  // gainText: the "GAIN" field; contrast: the main display's "Value" choice.
  void Press(LogicButton button, const std::string& gainText, int contrast);
  void SubVolChanged(int vol);  // "spw 52 %d"
  void SubV0Changed(int v0);    // "spw 53 %d"

  // The caption a button shows now (the fixed ones for buttons that do not toggle).
  std::string Caption(LogicButton button) const;
  bool BacklightOn() const { return backlight_; }
  bool ToneOn() const { return tone_; }
  bool MicOn() const { return mic_; }

  Exchange& GetExchange() { return exchange_; }

 private:
  bool Send(const std::string& line);  // false: link closed, nothing sent
  void ShowCaption(LogicButton button);
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override { ex.StopTimers(); }
  void OnOtherTimer(int id) override;
  void OnPortLost(Exchange& ex) override;

  EventLoop& loop_;
  Port& port_;
  Notifier& notifier_;
  LogicTestView& view_;
  Exchange exchange_;
  bool backlight_ = false;
  bool tone_ = false;
  bool mic_ = false;
};

// Fixed captions of every button, in the panel's order.
const char* LogicButtonCaption(LogicButton button);
const std::vector<LogicButton>& LogicButtons();
