#include "widgets/ToolWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWindow>

ToolWindow::ToolWindow(StationContext& context) : QDialog(nullptr), context_(context) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void ToolWindow::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  TakePort();
}

void ToolWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Every pointer movement over the window reaches its native window, whichever child is under
  // the pointer and whether or not that child tracks the mouse.
  if (!watching_window_ && windowHandle() != nullptr) {
    windowHandle()->installEventFilter(this);
    watching_window_ = true;
  }
}

bool ToolWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() &&
      (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)) {
    TakePort();
  }
  return QDialog::eventFilter(watched, event);
}

bool ToolWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) TakePort();
  return QDialog::event(event);
}

void ToolWindow::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Escape) {
    event->accept();
    return;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && OnEnter()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ToolWindow::closeEvent(QCloseEvent* event) {
  if (!OnClose()) {
    event->ignore();
    return;
  }
  // Not QDialog's: that one rejects, and rejecting closes again.
  QWidget::closeEvent(event);
}
