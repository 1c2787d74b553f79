#pragma once

#include <QPointer>
#include <map>
#include <memory>

#include "production/ImeiRw.h"
#include "widgets/ToolWindow.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "IMEI R/W": the identity window, a thin view over CImeiRw. Its controls carry object names
// (ImeiRwDlg::NAME_*) so tests and tools find them.
class CImeiRwDlg : public ToolWindow, private ImeiRwView {
  Q_OBJECT

 public:
  // The scanner's port on COM2; by default the station's serial port object.
  CImeiRwDlg(StationContext& context, CImeiRw::ScannerPortFactory scannerPorts = {});
  ~CImeiRwDlg() override;

  CImeiRw& Logic() { return *logic_; }
  QLineEdit* Field(ImeiField field) const;
  QPushButton* Button(const char* name) const;

  static ToolWindow* Create(StationContext& context);

 protected:
  void TakePort() override { logic_->TakePort(); }
  bool OnClose() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetText(ImeiField field, const std::string& text) override;
  std::string Text(ImeiField field) const override;
  void SetScanning(bool running) override;

  QPushButton* AddButton(const QString& text, const char* name, void (CImeiRw::*action)());
  QLineEdit* AddField(ImeiField field, const char* name, bool readOnly, int maxLength = 32767);
  void BuildLayout();
  void OnScan();
  void TakeLabelSettings();

  // On the heap: a window deleted while its scan waits leaves the logic to finish the wait.
  std::unique_ptr<CImeiRw> logic_;
  std::map<ImeiField, QLineEdit*> fields_;
  std::vector<QPushButton*> handset_buttons_;
  QComboBox* region_ = nullptr;
  QSpinBox* quantity_ = nullptr;
  QSpinBox* vertical_ = nullptr;
  QSpinBox* horizontal_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* exit_ = nullptr;
  QPushButton* scan_ = nullptr;
  bool close_after_scan_ = false;
};
