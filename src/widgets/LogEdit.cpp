#include "widgets/LogEdit.h"

#include <QApplication>
#include <QScrollBar>

CLogEdit::CLogEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  SetFocusAllowed(false);
  connect(qApp, &QApplication::focusChanged, this, &CLogEdit::OnFocusChanged);
}

void CLogEdit::Append(const QString& text) {
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // appendPlainText starts a new paragraph only when the document already holds text, which
  // is the "\r\n before every line but the first" of the log.
  if (document()->isEmpty()) {
    setPlainText(line);
  } else {
    appendPlainText(line);
  }
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CLogEdit::Clear() {
  clear();
}

void CLogEdit::SetFocusAllowed(bool allowed) {
  focus_allowed_ = allowed;
  // A refused focus still lets the text be selected with the mouse and copied.
  setFocusPolicy(allowed ? Qt::StrongFocus : Qt::NoFocus);
  setTextInteractionFlags(allowed ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                  : Qt::TextSelectableByMouse);
}

// The change that gives this edit the focus is reported only after its focus-in, so the widget
// to hand it back to is the last other one that received it.
void CLogEdit::OnFocusChanged(QWidget*, QWidget* now) {
  if (now != nullptr && now != this) previous_ = now;
}

void CLogEdit::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  if (focus_allowed_) return;
  QWidget* back = previous_.data();
  if (back != nullptr && back != this && back->isVisible()) {
    back->setFocus(Qt::OtherFocusReason);
  } else {
    clearFocus();
  }
}
