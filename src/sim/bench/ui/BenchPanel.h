#pragma once

#include <QTimer>
#include <QWidget>

#include "sim/bench/controls/BenchControls.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The simulated bench's panel: what the operator's hands do on a real bench. The supply's
// output switch and its reading, the jig (a handset put in or taken out), and the defect of
// the next unit put in, and the code the scanner reads next.
class BenchPanel : public QWidget {
 public:
  explicit BenchPanel(BenchControls& controls, QWidget* parent = nullptr);

  void Refresh();  // from the bench's latest snapshot

 private:
  BenchControls& controls_;
  QGroupBox* supply_ = nullptr;
  QPushButton* output_ = nullptr;
  QLabel* reading_ = nullptr;
  QLabel* jig_ = nullptr;
  QPushButton* insert_ = nullptr;
  QPushButton* remove_ = nullptr;
  QComboBox* next_defect_ = nullptr;
  void SetScannerCode();

  // Shown when the bench has a scanner.
  QGroupBox* scanner_ = nullptr;
  QLineEdit* scanner_code_ = nullptr;
  QPushButton* scanner_set_ = nullptr;
  QLabel* scanner_next_ = nullptr;
  QTimer timer_;
  int shown_version_ = -1;
};
