#pragma once

#include <QLineEdit>
#include <map>

#include "service/RfTest.h"
#include "widgets/ToolWindow.h"

class QPushButton;

// "RF TEST": three groups of numbered buttons and a free command line over RfTest. Enter
// anywhere in the panel belongs to the free command line and never closes the panel.
class CRfTestDlg : public ToolWindow, private RfTestView {
  Q_OBJECT

 public:
  // Control ids of the panel's fields; the buttons are ID_FIRST_BUTTON + their place in
  // RfButtons().
  enum ControlIdent {
    ID_TX_CHANNEL = 1101,
    ID_TX_POWER_LEVEL = 1102,
    ID_APC_DAC = 1103,
    ID_RX_CHANNEL = 1104,
    ID_AGC = 1105,
    ID_AFC_CHANNEL = 1106,
    ID_AFC_POWER_LEVEL = 1107,
    ID_AFC_DAC = 1108,
    ID_OTHER_COMMAND = 1109,
    ID_RESULT = 1110,
    ID_FIRST_BUTTON = 1120,
    ID_EXIT = 1036,
  };

  explicit CRfTestDlg(StationContext& context);

  QPushButton* Button(RfButton button) const;
  RfTest& Logic() { return logic_; }

 protected:
  void TakePort() override { logic_.TakePort(); }
  bool OnEnter() override;

 private:
  void SetResult(const std::string& text) override;
  RfTestFields Fields() const;
  QLineEdit* Field(int id) const { return fields_.at(id); }

  RfTest logic_;
  std::map<int, QLineEdit*> fields_;
  std::map<RfButton, QPushButton*> buttons_;
  QLineEdit* result_ = nullptr;
};

ToolWindow* CreateRfTestDlg(StationContext& context);
