#pragma once

#include <QPlainTextEdit>
#include <QPointer>

// The read-only log of a service window: each Append adds one line (a "\r\n" inside the text
// breaks it further) and scrolls so the last line is visible. While focus is not allowed it
// never keeps the keyboard focus: a click or a programmatic focus hands it straight back to
// the widget that had it, so typing goes on in the command line.
class CLogEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit CLogEdit(QWidget* parent = nullptr);

  void Append(const QString& text);
  void Clear();
  QString Text() const { return toPlainText(); }

  void SetFocusAllowed(bool allowed);
  bool FocusAllowed() const { return focus_allowed_; }

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  void OnFocusChanged(QWidget* old, QWidget* now);

  bool focus_allowed_ = false;
  QPointer<QWidget> previous_;
};
