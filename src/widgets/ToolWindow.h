#pragma once

#include <QDialog>

class EventLoop;
class Notifier;
class Port;
class ModalRunner;

// What a tool window gets from the main frame: the station's loop, the handset port of the
// document, the message boxes and the runner of modal dialogs.
struct StationContext {
  EventLoop& loop;
  Port& handset;
  Notifier& notifier;
  ModalRunner& modal;
};

// Base of the modeless tool windows. A tool window is top level without owner (it stays on
// screen when the main window is minimised) and deletes itself when closed; the frame keeps a
// QPointer to it, which clears itself.
//
// It makes itself the owner of the handset port (TakePort) when brought forward from the menu,
// when activated, and on every mouse movement over it, so the window under the pointer receives
// the answers; its own initialisation takes the port as well (the logic's OnInit).
class ToolWindow : public QDialog {
  Q_OBJECT

 public:
  explicit ToolWindow(StationContext& context);

  void BringForward();  // a second menu choice
  StationContext& Context() { return context_; }

  // The dialog's accept/reject never just hide a tool window: closing is its only end.
  void reject() override { close(); }
  void done(int) override { close(); }

 protected:
  virtual void TakePort() = 0;
  // Enter in the window: true when the window gave it a meaning; otherwise the dialog's default
  // button rule applies.
  virtual bool OnEnter() { return false; }
  // The close box and "EXIT": false keeps the window open.
  virtual bool OnClose() { return true; }

  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  StationContext& context_;
  bool watching_window_ = false;
};
