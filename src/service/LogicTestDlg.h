#pragma once

#include <map>

#include "service/LogicTest.h"
#include "widgets/ToolWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Logic Test": the handset's non-radio hardware over LogicTest.
//
// The "LED" group's "RED", "GREEN" and "BLUE" boxes show what "7 LED Test" lights: all three
// colours ("spw 56 7"). They are ticked and cannot be changed, since no command of the handset
// language is known to light one colour alone.
class CLogicTestDlg : public ToolWindow, private LogicTestView {
  Q_OBJECT

 public:
  // The buttons are ID_FIRST_BUTTON + their place in LogicButtons().
  enum ControlIdent {
    ID_GAIN = 1201,
    ID_MAIN_CONTRAST = 1202,
    ID_SUB_VOL = 1203,
    ID_SUB_V0 = 1204,
    ID_RED = 1205,
    ID_GREEN = 1206,
    ID_BLUE = 1207,
    ID_RESULT = 1208,
    ID_FIRST_BUTTON = 1220,
    ID_EXIT = 1036,
  };

  explicit CLogicTestDlg(StationContext& context);

  QPushButton* Button(LogicButton button) const;
  LogicTest& Logic() { return logic_; }

 protected:
  void TakePort() override { logic_.TakePort(); }

 private:
  void SetCaption(LogicButton button, const std::string& caption) override;
  void SetResult(const std::string& text) override;

  LogicTest logic_;
  std::map<LogicButton, QPushButton*> buttons_;
  QLineEdit* gain_ = nullptr;
  QComboBox* main_contrast_ = nullptr;
  QComboBox* sub_vol_ = nullptr;
  QComboBox* sub_v0_ = nullptr;
  QLineEdit* result_ = nullptr;
};

ToolWindow* CreateLogicTestDlg(StationContext& context);
