#pragma once

#include <map>
#include <memory>

#include "calibration/AutoCalibration.h"
#include "calibration/CalibrationCurves.h"
#include "widgets/ToolWindow.h"

class ColourLabel;
class LineChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class RepaintWatch;

// "AutoCalibration": the window of the auto-calibration. A thin view over AutoCalibration: it
// builds the controls, forwards the buttons and shows what the logic tells it; its plots are
// fed from the result lists.
class CAutocalibDlg : public ToolWindow, public AutoCalibrationView, private Notifier {
  Q_OBJECT

 public:
  static constexpr const char* TITLE = "AutoCalibration";
  static constexpr int ID_MODEL = 1403;
  static constexpr int ID_STAGE = 1364;
  static constexpr int ID_PHONE_NAME = 1363;
  static constexpr int ID_MODE = 1472;
  static constexpr int ID_STATUS = 1383;
  static constexpr int ID_PROGRESS = 1056;
  static constexpr int ID_AUTO_CAL_START = 1407;
  static constexpr int ID_BATTERY_CAL = 1360;
  static constexpr int ID_INSTRUMENT_CHECK = 1069;
  static constexpr int ID_TARGET_CHECK = 1373;
  static constexpr int ID_EEP_FULL_RESET = 1059;
  static constexpr int ID_CLEAR = 1033;
  static constexpr int ID_EXIT = 1036;

  explicit CAutocalibDlg(StationContext& context);
  ~CAutocalibDlg() override;

  AutoCalibration& Logic() { return *logic_; }
  const CalibrationCurves& Curves() const { return curves_; }
  LineChart* GsmChart() const { return gsm_chart_; }
  LineChart* DcsChart() const { return dcs_chart_; }
  LineChart* RxChart() const { return rx_chart_; }

  // AutoCalibrationView
  void SelectDefaults() override;
  void SetStatus(const std::string& text, StatusLook look) override;
  void SetField(CalField field, const std::string& text) override;
  void ResetLists() override;
  void SetListCell(CalList list, int row, int column, const std::string& text) override;
  void SetProgress(int position) override;
  std::string ModelText() const override;
  std::string StageText() const override;
  std::string PhoneName() const override;
  void CloseWindow() override;

 protected:
  void TakePort() override;
  bool OnEnter() override;
  bool OnClose() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Notifier of the logic: messages go to the station's boxes, results to COkfaildispDlg.
  void Message(const std::string& text) override;
  void Result(const std::string& text) override;

  QWidget* BuildSettings();
  QWidget* BuildLists();
  QWidget* BuildSide();
  QWidget* BuildStatus();
  QWidget* BuildCharts();
  QPushButton* Button(const char* text, int id, void (AutoCalibration::*handler)());
  QTreeWidget* List(CalList id, const std::vector<std::pair<const char*, int>>& columns);
  void FillRows(QTreeWidget* list, const std::vector<std::string>& rows);
  void RefreshCharts();
  void RunEnded();

  std::unique_ptr<AutoCalibration> logic_;
  CalibrationCurves curves_;
  QComboBox* model_ = nullptr;
  QComboBox* stage_ = nullptr;
  QLineEdit* phone_name_ = nullptr;
  QComboBox* mode_ = nullptr;
  std::map<int, QTreeWidget*> lists_;
  std::map<int, QLineEdit*> edits_;
  std::map<int, QLabel*> statics_;
  ColourLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  LineChart* gsm_chart_ = nullptr;
  LineChart* dcs_chart_ = nullptr;
  LineChart* rx_chart_ = nullptr;
  RepaintWatch* repaint_watch_ = nullptr;
  bool closing_ = false;
};

// The menu's factory for "AutoCalibration".
ToolWindow* CreateAutocalibDlg(StationContext& context);
