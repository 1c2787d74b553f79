#pragma once

#include "service/ManualCal.h"
#include "widgets/ToolWindow.h"

class CLogEdit;
class QLineEdit;
class QPushButton;

// "MANUAL CAL ": a line of the command language typed and sent by hand, the answers decoded
// in the display below. A thin view over ManualCal.
class CManualCalDlg : public ToolWindow, private ManualCalView {
  Q_OBJECT

 public:
  static constexpr int IDD = 130;
  static constexpr int ID_COMMAND_LINE = 1021;
  static constexpr int ID_SEND = 1041;
  static constexpr int ID_DISPLAY = 1002;
  static constexpr int ID_CLEAR = 1033;
  static constexpr int ID_EXIT = 1036;

  explicit CManualCalDlg(StationContext& context);

  ManualCal& Logic() { return logic_; }

 protected:
  void TakePort() override { logic_.TakePort(); }
  bool OnEnter() override;

 private:
  void AppendDisplay(const std::string& text) override;
  void ClearDisplay() override;
  void ClearCommandLine() override;
  void OnSend();

  QLineEdit* command_line_;
  CLogEdit* display_;
  ManualCal logic_;
};

ToolWindow* CreateManualCalDlg(StationContext& context);
