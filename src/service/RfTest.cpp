#include "service/RfTest.h"

#include "link/Bcommand.h"
#include "service/PanelFields.h"

namespace {

std::string WithValue(const char* command, int value) {
  return std::string(command) + " " + std::to_string(value);
}

RfRequest Line(std::string line) {
  return {std::move(line), {}};
}

RfRequest Invalid() {
  return {{}, RF_INVALID_SETTING};
}

bool GsmChannel(int c) {
  return (c >= 0 && c <= 124) || c >= 975;
}

bool DcsChannel(int c) {
  return c >= 512 && c <= 885;
}

// The APC DAC command word of each sub-band; 975-1023 is written as the ramp editor writes it.
struct ApcBand {
  int first;
  int last;
  const char* command;
};
constexpr ApcBand APC_BANDS[] = {
    {INT32_MIN, 55, "txpw 4"}, {56, 100, "spw 21"},  {101, 124, "spw 22"},  {125, 631, "txpw 4"},
    {632, 751, "spw 31"},      {752, 885, "spw 32"}, {975, 1023, "spw 23"},
};

}  // namespace

const std::vector<RfButtonSpec>& RfButtons() {
  using B = RfButton;
  using G = RfGroup;
  static const std::vector<RfButtonSpec> buttons = {
      {B::TX_TESTMODE_INIT, G::TX_TEST, "Testmode Init[1]"},
      {B::TX_TESTMODE_SET, G::TX_TEST, "Testmode Set[2]"},
      {B::TX_CH_SET, G::TX_TEST, "CH Set[3]"},
      {B::TX_PL_SET, G::TX_TEST, "P/L Set[4]"},
      {B::TX_ON, G::TX_TEST, "TX ON[5]"},
      {B::TX_OFF, G::TX_TEST, "TX OFF[6]"},
      {B::TX_APC_DAC_SET, G::TX_TEST, "APC DAC Set"},
      {B::RX_TESTMODE_INIT, G::RX_CONTINUOUS, "Testmode Init[1]"},
      {B::RX_TESTMODE_SET, G::RX_CONTINUOUS, "Testmode Set[2]"},
      {B::RX_CH_SET, G::RX_CONTINUOUS, "CH Set[3]"},
      {B::RX_AGC_DISABLE, G::RX_CONTINUOUS, "AGC Disable[4]"},
      {B::RX_AGC_SET, G::RX_CONTINUOUS, "AGC Set[5]"},
      {B::RX_ON, G::RX_CONTINUOUS, "RX ON[6]"},
      {B::RX_OFF, G::RX_CONTINUOUS, "RX OFF[7]"},
      {B::AFC_TESTMODE_INIT, G::AFC_DAC, "Testmode Init[1]"},
      {B::AFC_TESTMODE_SET, G::AFC_DAC, "Testmode Set[2]"},
      {B::AFC_CH_SET, G::AFC_DAC, "CH Set[3]"},
      {B::AFC_DISABLE, G::AFC_DAC, "AFC Disable[4]"},
      {B::AFC_PL_SET, G::AFC_DAC, "P/L Set[5]"},
      {B::AFC_DAC_SET, G::AFC_DAC, "AFC DAC Set[6]"},
      {B::AFC_TX_ON, G::AFC_DAC, "TX ON[7]"},
      {B::AFC_TX_OFF, G::AFC_DAC, "TX OFF[8]"},
      {B::SAVE_RF_TO_EEP, G::NONE, "SAVE RF TO EEP"},
  };
  return buttons;
}

const char* RfGroupTitle(RfGroup group) {
  switch (group) {
    case RfGroup::TX_TEST:
      return "TX TEST";
    case RfGroup::RX_CONTINUOUS:
      return "RX Continous";
    case RfGroup::AFC_DAC:
      return "AFC DAC";
    case RfGroup::NONE:
      break;
  }
  return "";
}

RfRequest PowerLevelRequest(int channel, int level) {
  // A negative level would reach the handset as a 16-bit wrap (65533 for -3).
  if (level < 0 || level > RF_POWER_LEVEL_MAX) return Invalid();
  if (DcsChannel(channel)) return Line(WithValue("txpw 1", level + 100));
  if (GsmChannel(channel)) return Line(WithValue("txpw 1", level));
  return Invalid();
}

RfRequest ApcDacRequest(int channel, int value) {
  if (value < 0 || value > RF_APC_DAC_MAX) return {};
  for (const ApcBand& band : APC_BANDS) {
    if (channel >= band.first && channel <= band.last) return Line(WithValue(band.command, value));
  }
  return {};
}

RfRequest AgcRequest(int value) {
  if (value < 0 || value > RF_AGC_MAX) return Invalid();
  return Line(WithValue("spw 15", value));
}

RfRequest RfButtonRequest(RfButton button, const RfTestFields& f) {
  switch (button) {
    case RfButton::TX_TESTMODE_INIT:
    case RfButton::RX_TESTMODE_INIT:
    case RfButton::AFC_TESTMODE_INIT:
      return Line("ti");
    case RfButton::TX_TESTMODE_SET:
    case RfButton::RX_TESTMODE_SET:
    case RfButton::AFC_TESTMODE_SET:
      return Line("tms 1");
    case RfButton::TX_CH_SET:
      return Line(WithValue("rfpw 2", ReadIntField(f.txChannel)));
    case RfButton::TX_PL_SET:
      return PowerLevelRequest(ReadIntField(f.txChannel), ReadIntField(f.txPowerLevel));
    case RfButton::TX_ON:
      return Line("rfe 6");
    case RfButton::TX_OFF:
    case RfButton::RX_OFF:
    case RfButton::AFC_TX_OFF:
      return Line("rfe 0");
    case RfButton::TX_APC_DAC_SET:
      return ApcDacRequest(ReadIntField(f.txChannel), ReadIntField(f.apcDac));
    case RfButton::RX_CH_SET:
      return Line(WithValue("spw 14", ReadIntField(f.rxChannel)));
    case RfButton::RX_AGC_DISABLE:
      return Line("rxpw 8 0");
    case RfButton::RX_AGC_SET:
      return AgcRequest(ReadIntField(f.agc));
    case RfButton::RX_ON:
      return Line("se 30");
    case RfButton::AFC_CH_SET:
      return Line(WithValue("rfpw 2", ReadIntField(f.afcChannel)));
    case RfButton::AFC_DISABLE:
      return Line("rfpw 8 0");
    case RfButton::AFC_PL_SET:
      return PowerLevelRequest(ReadIntField(f.afcChannel), ReadIntField(f.afcPowerLevel));
    case RfButton::AFC_DAC_SET:
      return Line(WithValue("rfpw 9", ReadTruncatedField(f.afcDac)));
    case RfButton::AFC_TX_ON:
      return Line("rfe 3");
    case RfButton::SAVE_RF_TO_EEP:
      return Line("se 1");
  }
  return {};
}

RfTest::RfTest(EventLoop& loop, Port& port, Notifier& notifier, RfTestView& view)
    : port_(port),
      notifier_(notifier),
      view_(view),
      exchange_(loop, port, *this, RF_TEST_TIMEOUT_MS) {}

void RfTest::OnInit() {
  exchange_.Reset();
  TakePort();
}

void RfTest::TakePort() {
  port_.SetOwner(&exchange_);
}

void RfTest::Press(RfButton button, const RfTestFields& fields) {
  const RfRequest request = RfButtonRequest(button, fields);
  if (!request.message.empty()) notifier_.Message(request.message);
  if (!request.line.empty()) Send(request.line);
}

bool RfTest::Enter(const std::string& otherCommand) {
  view_.SetResult("");
  if (otherCommand.empty()) return false;
  Send(otherCommand);
  return true;
}

// The panel never asks whether the link is open: on a closed link the frame goes nowhere and
// the answer time-out reports it.
void RfTest::Send(const std::string& line) {
  port_.Purge();
  SendCommandText(line);
  exchange_.LoadFrame();
  exchange_.TransmitFrame();
}

void RfTest::DecodeAnswer(Exchange& ex) {
  switch (ex.CheckAnswer()) {
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      break;
    case ANSWER_OK:
      ex.StopTimers();
      break;
    case ANSWER_STATUS_ERROR:  // the time-out reports it
    case ANSWER_NONE:
      break;
  }
}

void RfTest::OnAnswerTimeout(Exchange& ex) {
  view_.SetResult(RF_COMMAND_ERROR);
  ex.StopTimers();
}
