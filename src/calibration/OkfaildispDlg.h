#pragma once

#include <QDialog>

class QPlainTextEdit;

// The calibration's result box: modal, without title, the result message in a read-only
// multi-line edit and an "OK" button.
class COkfaildispDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int ID_MESSAGE = 1466;
  static constexpr int ID_OK = 1;

  explicit COkfaildispDlg(const QString& message, QWidget* parent = nullptr);

  QString Message() const;

 private:
  QPlainTextEdit* message_ = nullptr;
};
