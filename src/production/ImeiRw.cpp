#include "production/ImeiRw.h"

#include <utility>

#include "link/Bcommand.h"
#include "production/IdentityCodec.h"
#include "production/ImeiRwMessages.h"

namespace {

constexpr uint8_t OP_TI = 0x20;
constexpr uint8_t OP_SPW = 0x50;
constexpr uint8_t OP_SPR = 0x51;
constexpr uint8_t OP_STW = 0x52;
constexpr uint8_t OP_STR = 0x53;
constexpr uint8_t OP_SE = 0x54;

constexpr int PARAM_SPEAKER_GAIN = 73;

// Unescaped answer: 02 14 opcode status sub-code data... check 02.
constexpr uint16_t DATA_AT = 5;
constexpr uint16_t FRAME_TAIL = 2;

// What the logic talks to once its window is gone.
class NoView : public ImeiRwView {
 public:
  void SetText(ImeiField, const std::string&) override {}
  std::string Text(ImeiField) const override { return {}; }
};

std::tm SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

}  // namespace

CImeiRw::CImeiRw(EventLoop& loop, Port& handset, Notifier& notifier, ImeiRwView& view,
                 ScannerPortFactory scannerPorts)
    : loop_(loop),
      handset_(handset),
      notifier_(notifier),
      view_(&view),
      scanner_ports_(std::move(scannerPorts)),
      exchange_(loop, handset, *this, ANSWER_TIMEOUT_MS),
      now_(&SystemLocalTime) {}

CImeiRw::~CImeiRw() {
  ReleaseScanner();
}

void CImeiRw::OnInit() {
  TakePort();
}

void CImeiRw::TakePort() {
  handset_.SetOwner(&exchange_);
}

void CImeiRw::SetPrinterPath(std::string path) {
  printer_.SetPath(std::move(path));
}

bool CImeiRw::Send(const std::string& line) {
  return exchange_.Send(line);  // nothing when the link is closed
}

void CImeiRw::ReadImei() {
  if (MayUseButtons()) Send("str 60");
}

void CImeiRw::SetImei() {
  if (!MayUseButtons() || !handset_.IsOpen()) return;
  const auto imei = identity::JoinImeiFields(
      view_->Text(ImeiField::IMEI_INPUT_1), view_->Text(ImeiField::IMEI_INPUT_2),
      view_->Text(ImeiField::IMEI_INPUT_3), view_->Text(ImeiField::IMEI_INPUT_4));
  if (!imei) {
    Message(imeimsg::BAD_IMEI_INPUT);
    return;
  }
  Send(identity::ImeiWriteLine(*imei));
}

void CImeiRw::ReadHwVersion() {
  if (MayUseButtons()) Send("str 11");
}

void CImeiRw::SetHwVersion() {
  if (!MayUseButtons() || !handset_.IsOpen()) return;
  const auto line = identity::HwVersionWriteLine(view_->Text(ImeiField::HW_INPUT));
  if (!line) {
    Message(imeimsg::BAD_HW_INPUT);
    return;
  }
  Send(*line);
}

void CImeiRw::ReadSwVersion() {
  if (MayUseButtons()) Send("str 10");
}

void CImeiRw::ReadSerial() {
  if (MayUseButtons()) Send("str 61");
}

void CImeiRw::SetSerial() {
  if (!MayUseButtons() || !handset_.IsOpen()) return;
  const auto line = identity::SerialWriteLine(view_->Text(ImeiField::SERIAL_INPUT));
  if (!line) {
    Message(imeimsg::BAD_SERIAL_INPUT);
    return;
  }
  Send(*line);
}

void CImeiRw::SetRtc() {
  if (!MayUseButtons() || !handset_.IsOpen()) return;
  const std::tm now = now_();
  view_->SetText(ImeiField::TIME, identity::FormatTime(now));
  Send(identity::RtcWriteLine(now));
}

void CImeiRw::ReadRegion() {
  if (MayUseButtons()) Send("spr 100");
}

void CImeiRw::SetRegion() {
  if (!MayUseButtons() || !handset_.IsOpen()) return;
  const auto line = identity::RegionWriteLine(view_->Text(ImeiField::REGION_COMBO));
  if (line) Send(*line);
}

bool CImeiRw::SetLabelSettings(int quantity, int vertical, int horizontal) {
  if (quantity < 0 || quantity > 10000 || vertical < 0 || vertical > 600 || horizontal < 0 ||
      horizontal > 600) {
    return false;
  }
  quantity_ = quantity;
  vertical_ = vertical;
  horizontal_ = horizontal;
  return true;
}

void CImeiRw::Next() {
  for (ImeiField f : {ImeiField::IMEI_INPUT_1, ImeiField::IMEI_INPUT_2, ImeiField::IMEI_INPUT_3,
                      ImeiField::IMEI_INPUT_4, ImeiField::IMEI_READ_1, ImeiField::IMEI_READ_2,
                      ImeiField::IMEI_READ_3, ImeiField::IMEI_READ_4, ImeiField::HW_DISPLAY,
                      ImeiField::HW_INPUT, ImeiField::SW_DISPLAY, ImeiField::SERIAL_DISPLAY,
                      ImeiField::SERIAL_INPUT, ImeiField::TIME}) {
    view_->SetText(f, "");
  }
}

void CImeiRw::Abandon() {
  static NoView noView;
  view_ = &noView;
  abandoned_ = true;
  if (!scanning_) delete this;
}

void CImeiRw::ReleaseScanner() {
  if (scanning_) return;  // the window closes once the scan has ended
  scanner_.reset();
  scanner_port_.reset();  // closes the port and ends its reader
}

void CImeiRw::ShowImeiFields(ImeiField first, const std::string& imei) {
  std::string fields[4];
  identity::SplitImei(imei, fields);
  for (int i = 0; i < 4; ++i) {
    view_->SetText(static_cast<ImeiField>(static_cast<int>(first) + i), fields[i]);
  }
}

void CImeiRw::OnAnswerTimeout(Exchange& ex) {
  Message(imeimsg::NO_RESPONSE);
  ex.StopTimers();
}

void CImeiRw::DecodeAnswer(Exchange& ex) {
  switch (ex.CheckAnswer()) {
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      if (ex.AnswerOpcode() == OP_TI) Message(imeimsg::TI_ERROR);
      if (ex.AnswerOpcode() == OP_STW) Message(imeimsg::STW_ERROR);
      if (ex.AnswerOpcode() == OP_STR) Message(imeimsg::STR_ERROR);
      return;
    case ANSWER_OK:
      ex.StopTimers();
      DecodeOk(ex);
      return;
    case ANSWER_STATUS_ERROR:
      Message(imeimsg::STATUS_ERROR);  // the timers run on: "No Response" follows
      return;
    case ANSWER_NONE:
      return;
  }
}

void CImeiRw::DecodeOk(Exchange& ex) {
  const uint16_t length = ex.DecodeFrameCopy();
  const uint8_t* frame = ex.Decoded();
  const uint8_t number = frame[4];
  const size_t dataLength = length >= DATA_AT + FRAME_TAIL ? length - DATA_AT - FRAME_TAIL : 0;
  const uint8_t* data = frame + DATA_AT;
  // An answer too short for its item would be decoded from the previous frame's bytes.
  auto has = [&](size_t n) {
    if (dataLength >= n) return true;
    Message(imeimsg::COMMAND_ERROR);
    return false;
  };

  switch (ex.AnswerOpcode()) {
    case OP_STR:
      switch (number) {
        case identity::TABLE_IMEI:
          if (!has(identity::IMEI_BYTES)) return;
          imei_event_ = true;
          imei_readback_ = identity::DecodeImei(data);
          ShowImeiFields(ImeiField::IMEI_READ_1, imei_readback_);
          return;
        case identity::TABLE_SW_VERSION:
          if (!has(identity::SW_VERSION_BYTES)) return;
          sw_version_ = identity::DecodeText(data, identity::SW_VERSION_BYTES);
          sw_version_fresh_ = true;
          view_->SetText(ImeiField::SW_DISPLAY, sw_version_);
          return;
        case identity::TABLE_HW_VERSION:
          if (!has(identity::HW_VERSION_CHARS)) return;
          view_->SetText(ImeiField::HW_DISPLAY,
                         identity::DecodeText(data, identity::HW_VERSION_CHARS));
          return;
        case identity::TABLE_SERIAL:
          if (!has(identity::SERIAL_BYTES)) return;
          view_->SetText(ImeiField::SERIAL_DISPLAY, identity::DecodeSerial(data));
          return;
        default:
          Message(imeimsg::COMMAND_ERROR);
          return;
      }
    case OP_STW:
      if (number == identity::TABLE_IMEI) imei_event_ = true;
      return;
    case OP_SPW:
      if (number == identity::PARAM_REGION) region_flag_ = true;
      if (number == PARAM_SPEAKER_GAIN) Send("spw 74 1");
      return;
    case OP_SPR:
      if (number == identity::PARAM_REGION) {
        if (!has(1)) return;
        view_->SetText(ImeiField::REGION_DISPLAY, identity::RegionText(data[0]));
      } else {
        Message(imeimsg::COMMAND_ERROR);
      }
      return;
    case OP_TI:
    case OP_SE:
      return;
    default:
      Message(imeimsg::COMMAND_ERROR);
      return;
  }
}
