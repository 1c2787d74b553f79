#pragma once

#include <QAbstractSpinBox>
#include <QPointer>
#include <array>

#include "service/GsmRamp.h"
#include "service/ResultdispDlg.h"
#include "widgets/ToolWindow.h"

class LineChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// One value of the ramp template: free signed text (a template read may hold any byte), with
// up and down arrows that step within 0-31 as a spin control beside an edit does.
class RampValueBox : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit RampValueBox(QWidget* parent);
  QLineEdit* Edit() const { return lineEdit(); }
  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 protected:
  StepEnabled stepEnabled() const override;
};

// "GSM RAMP TABLE": the ramp table editor, a thin view over GsmRamp.
class CGsmramp : public ToolWindow, private GsmRampView {
  Q_OBJECT

 public:
  explicit CGsmramp(StationContext& context);
  ~CGsmramp() override;

  GsmRamp& Logic() { return logic_; }
  CResultdispDlg* ResultDisplay() { return result_display_.data(); }
  LineChart* Chart() { return chart_; }

 protected:
  void TakePort() override { logic_.TakePort(); }
  bool OnEnter() override;

 private:
  void SetValueField(int field, int32_t value) override;
  void SetTotals(int32_t up, int32_t down) override;
  void SetResult(const std::string& text) override;
  void SetDacText(const std::string& text) override;
  void SetIndexText(const std::string& text) override;
  void SetCallCaption(const std::string& caption) override;
  void ClearCommandWindow() override;
  void AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>& points) override;
  void HandOverAnswer(const uint8_t* frame, size_t length) override;
  std::string TxLevelText() override;
  std::string IndexText() override;

  void OpenResultDisplay();

  std::array<RampValueBox*, RAMP_FIELDS> values_{};
  QComboBox* band_;
  QComboBox* tx_level_;
  QComboBox* index_;
  QLineEdit* dac_;
  QLineEdit* command_window_;
  QCheckBox* apply_index_;
  QPushButton* call_;
  QLineEdit* up_total_;
  QLineEdit* down_total_;
  QLineEdit* result_;
  LineChart* chart_;
  int series_ = 0;
  QPointer<CResultdispDlg> result_display_;
  GsmRamp logic_;
};

ToolWindow* CreateGsmrampDlg(StationContext& context);
