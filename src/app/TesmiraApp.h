#pragma once

#include <QApplication>
#include <memory>

#include "platform/QtEventLoop.h"
#include "widgets/MessageBoxNotifier.h"
#include "widgets/ModalRunner.h"
#include "widgets/ToolWindow.h"

class CMainFrame;
class CTesmiraDoc;

// The application object: the station's loop, the document with its handset port, and the
// main frame, built after the splash.
class CTesmiraApp : public QApplication {
  Q_OBJECT

 public:
  CTesmiraApp(int& argc, char** argv);
  ~CTesmiraApp() override;

  // Start-up: splash, document, frame, the command line; false ends the program.
  bool InitInstance();
  CMainFrame* Frame() const { return frame_.get(); }

 private:
  QtEventLoop loop_;
  MessageBoxNotifier notifier_;
  ModalRunner modal_;
  std::unique_ptr<CTesmiraDoc> doc_;
  std::unique_ptr<StationContext> context_;
  std::unique_ptr<CMainFrame> frame_;
};
