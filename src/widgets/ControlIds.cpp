#include "widgets/ControlIds.h"

#include <QVariant>

void SetControlId(QWidget* control, int id) {
  control->setObjectName(QStringLiteral("IDC_%1").arg(id));
  control->setProperty("controlId", id);
}

int ControlId(const QObject* control) {
  const QVariant id = control->property("controlId");
  return id.isValid() ? id.toInt() : 0;
}
