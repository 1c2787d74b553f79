#include "service/GsmRamp.h"

#include "link/Bcommand.h"
#include "platform/Notifier.h"
#include "service/ServiceText.h"

namespace {

constexpr uint8_t OP_TXPW = 0x36;
constexpr uint8_t OP_TXPR = 0x37;
constexpr uint8_t OP_TTW = 0x38;
constexpr uint8_t OP_TTR = 0x39;
constexpr uint8_t OP_SPR = 0x51;
constexpr uint8_t OP_SE = 0x54;

// Successful answers that need nothing beyond "command success".
constexpr uint8_t PLAIN_SUCCESS[] = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x30,
                                     0x31, 0x32, 0x33, 0x34, 0x35, 0x50, 0x52, 0x53,
                                     0x40, 0x44, 0x45, 0x41, 0x42, 0x43};

// Answers to another request that the editor reports as a command error.
constexpr uint8_t REPORTED_OTHER[] = {0x20, 0x21, 0x23, 0x24, 0x25, 0x26, 0x30, 0x31, 0x32, 0x33,
                                      0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x50, 0x51, 0x54};

template <size_t N>
bool Contains(const uint8_t (&set)[N], uint8_t opcode) {
  for (uint8_t o : set) {
    if (o == opcode) return true;
  }
  return false;
}

constexpr size_t VALUE_AT = 5;
constexpr size_t TRAILER = 2;

}  // namespace

GsmRamp::GsmRamp(EventLoop& loop, Port& port, Notifier& notifier, GsmRampView& view,
                 RampTemplate& table)
    : notifier_(notifier),
      view_(view),
      table_(table),
      exchange_(loop, port, *this, ANSWER_TIMEOUT_MS) {}

void GsmRamp::OnInit() {
  TakePort();
  table_ = RampTemplate{};
  band_ = 0;
  band_chosen_ = false;
  template_loaded_ = false;
  apply_ramp_index_ = false;
  command_window_ = false;
  call_caption_ = "CALL";
}

void GsmRamp::TakePort() {
  exchange_.GetPort().SetOwner(&exchange_);
}

bool GsmRamp::SendChecked(const std::string& line) {
  if (exchange_.Send(line)) {
    if (onSend) onSend(line);
    return true;
  }
  notifier_.Message(LINK_CLOSED_MESSAGE);
  return false;
}

// The controls without a link check start the exchange whatever the link: with it closed
// nothing reaches the wire and the answer time-out ends the wait.
void GsmRamp::SendUnchecked(const std::string& line) {
  Port& port = exchange_.GetPort();
  port.Purge();
  SendCommandText(line);
  if (onSend) onSend(line);
  exchange_.LoadFrame();
  exchange_.TransmitFrame();
}

void GsmRamp::BandChanged(int index) {
  band_chosen_ = index >= 0 && index < static_cast<int>(RAMP_BANDS.size());
  if (band_chosen_) band_ = index;
}

void GsmRamp::TxLevelChanged() {
  SendChecked("txpw 1 " + view_.TxLevelText());
}

void GsmRamp::Load() {
  SendChecked("ttr " + view_.IndexText());
}

void GsmRamp::SaveTemplate() {
  SendChecked(TemplateWriteLine(view_.IndexText(), table_));
}

void GsmRamp::SaveDac(std::string_view dacText) {
  if (!band_chosen_) {
    notifier_.Message(RAMP_NO_BAND_MESSAGE);
    return;
  }
  SendChecked(RAMP_BANDS[static_cast<size_t>(band_)].dacWrite + std::string(dacText));
}

void GsmRamp::SaveToEeprom() {
  SendUnchecked("se 1");
}

void GsmRamp::ResetEeprom() {
  SendUnchecked("se 5");
}

void GsmRamp::Call() {
  if (call_caption_ == "CALL") {
    SendUnchecked("se 100");
    call_caption_ = "CALL END";
  } else {
    SendUnchecked("se 101");
    call_caption_ = "CALL";
  }
  view_.SetCallCaption(call_caption_);
}

void GsmRamp::CommandWindowEnter(std::string_view text) {
  const std::string line(text.substr(0, COMMAND_LINE_MAX));
  if (!SendChecked(line)) return;
  command_window_ = true;
  view_.ClearCommandWindow();
}

void GsmRamp::ValueChanged(int field, std::string_view text) {
  if (field < 0 || field >= RAMP_FIELDS) return;
  table_.Field(field) = ParseDec(text);
  ShowTotals();
  if (template_loaded_) Redraw();
}

void GsmRamp::ShowTotals() {
  view_.SetTotals(RampTotal(table_.up), RampTotal(table_.down));
}

void GsmRamp::Redraw() {
  view_.AppendChartPoints(RampChartPoints(table_));
}

void GsmRamp::DecodeAnswer(Exchange& ex) {
  const AnswerClass answer = ex.CheckAnswer();
  switch (answer) {
    case ANSWER_OK: {
      ex.StopTimers();
      view_.SetResult("command success");
      const uint16_t length = ex.DecodeFrameCopy();
      view_.HandOverAnswer(ex.Decoded(), length);
      DecodeSuccess(ex.Decoded(), length);
      break;
    }
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      if (Contains(REPORTED_OTHER, ex.AnswerOpcode())) {
        view_.SetResult("error");
        notifier_.Message("command error");
      }
      break;
    case ANSWER_STATUS_ERROR:
      // The timers keep running: "No response" follows at the time-out.
      view_.SetResult("Status error");
      notifier_.Message("status error");
      break;
    case ANSWER_NONE:
      return;
  }
  command_window_ = false;
}

void GsmRamp::DecodeSuccess(const uint8_t* frame, size_t length) {
  const uint8_t opcode = frame[2];
  const uint8_t first = length > 4 ? frame[4] : 0;
  const bool hasValue = length >= VALUE_AT + 2 + TRAILER;
  const unsigned value = hasValue ? frame[VALUE_AT] | (frame[VALUE_AT + 1] << 8) : 0;
  switch (opcode) {
    case OP_TXPW:
      if (first != 1) return;
      if (const int index = RampIndexForLevel(view_.TxLevelText()); index >= 0) {
        view_.SetIndexText(std::to_string(index));
      }
      if (!command_window_) {
        SendChecked(RAMP_BANDS[static_cast<size_t>(band_)].dacRead);
      }
      return;
    case OP_TXPR:
      if (first != 4) return;
      [[fallthrough]];
    case OP_SPR:
      if (!hasValue) {
        view_.SetResult("Error!(short answer)");
        return;
      }
      view_.SetDacText(std::to_string(value));
      return;
    case OP_SE:
      if (first == 1) view_.SetResult("Saved to EEPROM");
      if (first == 5) view_.SetResult("Target Resetted");
      return;
    case OP_TTR: {
      RampTemplate loaded;
      if (!TemplateFromAnswer(frame, length, loaded)) {
        view_.SetResult("Error!(short answer)");
        return;
      }
      table_ = loaded;
      for (int i = 0; i < RAMP_FIELDS; ++i) view_.SetValueField(i, table_.Field(i));
      ShowTotals();
      template_loaded_ = true;
      Redraw();
      if (apply_ramp_index_) SendChecked("txpw 1 " + view_.IndexText());
      return;
    }
    case OP_TTW:
      view_.SetResult("Writing Success");
      return;
    default:
      if (!Contains(PLAIN_SUCCESS, opcode)) view_.SetResult("Error!(Invalid command)");
      return;
  }
}

// As the time-out leaves it, without "No response": the port has told the operator.
void GsmRamp::OnPortLost(Exchange& /*ex*/) {
  command_window_ = false;
}

void GsmRamp::OnAnswerTimeout(Exchange& ex) {
  ex.StopTimers();
  // A line of the command window that got no answer must not keep the next level change
  // from reading its DAC value.
  command_window_ = false;
  notifier_.Message("No response");
}
