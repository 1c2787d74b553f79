#pragma once

#include <QDialog>
#include <map>

#include "instruments/RfConfigForm.h"

class QComboBox;

// "RF Parameter Configuration": one editable box per value, the defaults selected at every
// opening (never the values in force); OK hands the 16 values to ApplyRfConfig, Cancel changes
// nothing.
class CRFConfigDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CRFConfigDlg(QWidget* parent = nullptr);

  QComboBox* Box(int controlId) const;
  void accept() override;

 private:
  std::map<int, QComboBox*> boxes_;
  RfConfigForm form_;
};
