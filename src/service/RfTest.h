#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/Exchange.h"
#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

// The RF test panel: fixed test states of the handset's radio by hand, one command per button.
// It sends whether or not the link is open (a closed link ends in "Command Error"); answers
// are consumed without display.

constexpr uint32_t RF_TEST_TIMEOUT_MS = 2000;
constexpr const char* RF_TEST_TITLE = "RF TEST";
constexpr const char* RF_INVALID_SETTING = "Invalid setting";
constexpr const char* RF_COMMAND_ERROR = "Command Error";
constexpr size_t RF_OTHER_COMMAND_MAX = 51;  // characters the free command line field holds
constexpr int RF_APC_DAC_MAX = 1023;
constexpr int RF_AGC_MAX = 50;
constexpr int RF_POWER_LEVEL_MAX = 19;

enum class RfButton {
  TX_TESTMODE_INIT,
  TX_TESTMODE_SET,
  TX_CH_SET,
  TX_PL_SET,
  TX_ON,
  TX_OFF,
  TX_APC_DAC_SET,
  RX_TESTMODE_INIT,
  RX_TESTMODE_SET,
  RX_CH_SET,
  RX_AGC_DISABLE,
  RX_AGC_SET,
  RX_ON,
  RX_OFF,
  AFC_TESTMODE_INIT,
  AFC_TESTMODE_SET,
  AFC_CH_SET,
  AFC_DISABLE,
  AFC_PL_SET,
  AFC_DAC_SET,
  AFC_TX_ON,
  AFC_TX_OFF,
  SAVE_RF_TO_EEP,
};

enum class RfGroup { TX_TEST, RX_CONTINUOUS, AFC_DAC, NONE };

struct RfButtonSpec {
  RfButton button;
  RfGroup group;
  const char* caption;
};
// Every button of the panel in its group's order ("EXIT" is the window's own).
const std::vector<RfButtonSpec>& RfButtons();
const char* RfGroupTitle(RfGroup group);  // "TX TEST", "RX Continous", "AFC DAC", ""

// The panel's input fields as typed.
struct RfTestFields {
  std::string txChannel;
  std::string txPowerLevel;
  std::string apcDac;
  std::string rxChannel;
  std::string agc;
  std::string afcChannel;
  std::string afcPowerLevel;
  std::string afcDac;
};

// What a button asks for: the command line to send (empty: none) and the message to show
// (empty: none).
struct RfRequest {
  std::string line;
  std::string message;
};

// "txpw 1 %d" for channel c and level p: DCS channels 512-885 take p + 100, GSM channels 0-124
// and 975 up take p; anything else, a level above 19 or below 0, is "Invalid setting".
RfRequest PowerLevelRequest(int channel, int level);
// The APC DAC write of the channel's sub-band; nothing for a value above 1023 or below 0 or a
// channel outside every sub-band (886-974, above 1023).
RfRequest ApcDacRequest(int channel, int value);
RfRequest AgcRequest(int value);  // 0-50 "spw 15 %d", otherwise "Invalid setting"
RfRequest RfButtonRequest(RfButton button, const RfTestFields& fields);

class RfTestView {
 public:
  virtual ~RfTestView() = default;
  virtual void SetResult(const std::string& text) = 0;
};

class RfTest : private ExchangeClient {
 public:
  RfTest(EventLoop& loop, Port& port, Notifier& notifier, RfTestView& view);

  void OnInit();    // exchange state fresh, owner of the port
  void TakePort();  // brought forward, activated, mouse over the window

  void Press(RfButton button, const RfTestFields& fields);
  // Enter anywhere in the panel: the result field is cleared and a non-empty free command line
  // is sent as typed (the field holds at most RF_OTHER_COMMAND_MAX characters; a longer line is
  // judged whole by the encoder, never cut); true when the field is to be emptied.
  bool Enter(const std::string& otherCommand);

  Exchange& GetExchange() { return exchange_; }

 private:
  void Send(const std::string& line);
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;

  Port& port_;
  Notifier& notifier_;
  RfTestView& view_;
  Exchange exchange_;
};
