#pragma once

#include <QWidget>

// Dialog controls carry their resource id, so tests and tools find a control by the id the
// operator's work instructions use: object name "IDC_<id>" and the property "controlId".
void SetControlId(QWidget* control, int id);
int ControlId(const QObject* control);  // 0 when none

template <typename T>
T* FindControl(const QWidget* root, int id) {
  return root->findChild<T*>(QStringLiteral("IDC_%1").arg(id));
}
