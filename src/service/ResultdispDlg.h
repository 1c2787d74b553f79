#pragma once

#include <QDialog>
#include <cstddef>
#include <cstdint>

class CLogEdit;

// "Result Display": the ramp editor's answers written out one after another. Modeless, top
// level, deleted when closed; the editor hands each successful answer frame to ShowAnswer.
class CResultdispDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int ID_DISPLAY = 1340;
  static constexpr int ID_OK = 1;

  CResultdispDlg();

  void ShowAnswer(const uint8_t* frame, size_t length);  // the unescaped answer frame
  CLogEdit* Display() { return display_; }

  void reject() override { close(); }
  void done(int) override { close(); }

 protected:
  // Not QDialog's: that one rejects, and rejecting closes again.
  void closeEvent(QCloseEvent* event) override { QWidget::closeEvent(event); }

 private:
  CLogEdit* display_;
};
