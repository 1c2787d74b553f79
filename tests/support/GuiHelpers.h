#pragma once

// Helpers for the offscreen window tests: a recording notifier, a modal runner that answers a
// dialog through its controls, and a wait that keeps Qt and the station's loop going.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Notifier.h"
#include "widgets/ModalRunner.h"

namespace testsupport {

struct RecordingNotifier : Notifier {
  std::vector<std::string> messages;
  void Message(const std::string& text) override { messages.push_back(text); }
};

// Each modal dialog is answered by the next queued function (which clicks its controls and
// returns what exec() would); a dialog nobody expected is rejected and counted.
class ScriptedModal : public ModalRunner {
 public:
  std::deque<std::function<int(QDialog&)>> answers;
  std::deque<QString> files;
  int unexpected = 0;
  std::vector<QString> titles;  // of every dialog run

  int Run(QDialog& dialog) override {
    titles.push_back(dialog.windowTitle());
    if (answers.empty()) {
      ++unexpected;
      return QDialog::Rejected;
    }
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer(dialog);
  }
  QString ChooseFile(QWidget*, bool) override {
    if (files.empty()) return {};
    QString f = files.front();
    files.pop_front();
    return f;
  }
};

// Processes Qt events (timers of the station's loop included) until done() or the limit.
inline bool ProcessUntil(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace testsupport
