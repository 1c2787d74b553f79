#pragma once

#include <QDialog>

// "Tesmira 정보": what this program is, modal.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};
