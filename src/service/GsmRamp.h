#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/Exchange.h"
#include "service/RampTable.h"

class Notifier;

// What the ramp table editor shows and what it reads back from its controls.
class GsmRampView {
 public:
  virtual ~GsmRampView() = default;
  virtual void SetValueField(int field, int32_t value) = 0;  // field 0-15 up, 16-31 down
  virtual void SetTotals(int32_t up, int32_t down) = 0;
  virtual void SetResult(const std::string& text) = 0;
  virtual void SetDacText(const std::string& text) = 0;
  virtual void SetIndexText(const std::string& text) = 0;
  virtual void SetCallCaption(const std::string& caption) = 0;
  virtual void ClearCommandWindow() = 0;
  virtual void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>& points) = 0;
  // The answer frame (unescaped) for the result display window, when one is open.
  virtual void HandOverAnswer(const uint8_t* frame, size_t length) = 0;
  virtual std::string TxLevelText() = 0;
  virtual std::string IndexText() = 0;
};

// The ramp table editor's logic: reads and writes ramp templates and the APC DAC value of a
// sub-band, and tries them on a call. Answer time-out 2000 ms.
class GsmRamp : private ExchangeClient {
 public:
  static constexpr uint32_t ANSWER_TIMEOUT_MS = 2000;
  static constexpr int NO_BAND = -1;

  GsmRamp(EventLoop& loop, Port& port, Notifier& notifier, GsmRampView& view,
          RampTemplate& table = ProcessRampTable());

  void OnInit();  // the initial state, and the port
  void TakePort();

  void BandChanged(int index);             // NO_BAND when the combo has no selection
  void TxLevelChanged();                   // "TX LEVEL" selection change
  void Load();                             // "LOAD"
  void SaveTemplate();                     // template "SAVE"
  void SaveDac(std::string_view dacText);  // DAC "SAVE"
  void SaveToEeprom();                     // "SAVE to EEP "
  void ResetEeprom();                      // "RESET EEP"
  void Call();                             // "CALL" / "CALL END"
  void CommandWindowEnter(std::string_view text);
  void SetApplyRampIndex(bool on) { apply_ramp_index_ = on; }
  void ValueChanged(int field, std::string_view text);

  int Band() const { return band_; }
  bool BandChosen() const { return band_chosen_; }
  bool TemplateLoaded() const { return template_loaded_; }
  bool CommandWindowFlag() const { return command_window_; }
  const std::string& CallCaption() const { return call_caption_; }
  const RampTemplate& Table() const { return table_; }
  Exchange& GetExchange() { return exchange_; }

  // Every line handed to the encoder (trace, tesmira-cli, tests).
  std::function<void(const std::string& line)> onSend;

 private:
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  void OnPortLost(Exchange& ex) override;
  void DecodeSuccess(const uint8_t* frame, size_t length);
  bool SendChecked(const std::string& line);  // false, and the message, when the link is closed
  void SendUnchecked(const std::string& line);
  void ShowTotals();
  void Redraw();

  Notifier& notifier_;
  GsmRampView& view_;
  RampTemplate& table_;
  Exchange exchange_;
  int band_ = 0;
  bool band_chosen_ = false;
  bool template_loaded_ = false;
  bool apply_ramp_index_ = false;
  bool command_window_ = false;
  std::string call_caption_ = "CALL";
};

inline constexpr char RAMP_NO_BAND_MESSAGE[] =
    "No BAND is chosen: choose the band of the DAC value, then SAVE.";
