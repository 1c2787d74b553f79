#pragma once

#include <QWidget>

// The view of the document: the frame's client area. It draws nothing of its own.
class CTesmiraView : public QWidget {
  Q_OBJECT

 public:
  explicit CTesmiraView(QWidget* parent = nullptr) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Tesmira"));
  }
};
