#include "app/TesmiraApp.h"

#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/MainFrm.h"
#include "app/TesmiraDoc.h"
#include "platform/Notifier.h"
#include "widgets/SplashWindow.h"

namespace {
int SplashMs() {
  // Screenshots and start-up measurements may shorten the picture; the station shows it 2.5 s.
  if (const char* ms = std::getenv("TESMIRA_SPLASH_MS")) return std::max(0, std::atoi(ms));
  return CMainFrame::SPLASH_MS;
}
}  // namespace

CTesmiraApp::CTesmiraApp(int& argc, char** argv) : QApplication(argc, argv) {
  started_.start();
  setApplicationName(QStringLiteral("Tesmira"));
  setApplicationDisplayName(QString());
  setQuitOnLastWindowClosed(false);  // the main frame alone ends the program
}

CTesmiraApp::~CTesmiraApp() {
  frame_.reset();
  doc_.reset();
}

bool CTesmiraApp::InitInstance() {
  // The command line: nothing, or a document to open (which holds nothing).
  const QStringList args = arguments().mid(1);
  if (args.size() > 1 || (args.size() == 1 && !QFileInfo(args.front()).isFile())) {
    std::fprintf(stderr, "tesmira: cannot open '%s'\n",
                 args.isEmpty() ? "" : args.front().toLocal8Bit().constData());
    return false;
  }

  const int splashMs = SplashMs();
  SplashWindow splash;
  if (splashMs > 0) splash.ShowFor(splashMs);

  doc_ = std::make_unique<CTesmiraDoc>(loop_, &notifier_);
  context_ =
      std::make_unique<StationContext>(StationContext{loop_, doc_->Comm(), notifier_, modal_});
  frame_ = std::make_unique<CMainFrame>(*doc_, *context_);
  if (args.size() == 1) doc_->OnOpenDocument(args.front().toStdString());
  connect(frame_.get(), &CMainFrame::Closed, this, &QCoreApplication::quit, Qt::QueuedConnection);

  frame_->show();
  frame_->setWindowTitle(QString::fromUtf8(CMainFrame::TITLE));
  splash.close();
  QTimer::singleShot(0, this, [this, splashMs] {
    DebugLog("tesmira: main window up after " + std::to_string(started_.elapsed() - splashMs) +
             " ms (splash " + std::to_string(splashMs) + " ms not counted)");
  });
  return true;
}
