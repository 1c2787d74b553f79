#include "app/TesmiraApp.h"

#include <time.h>
#include <unistd.h>
#include <QEvent>
#include <QFileInfo>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MainFrm.h"
#include "app/TesmiraDoc.h"
#include "platform/Notifier.h"
#include "widgets/SplashWindow.h"

namespace {
// Milliseconds since this process was started by the system (10 ms resolution), so start-up is
// measured from exec, not from the application object.
long long MsSinceProcessStart() {
  FILE* stat = std::fopen("/proc/self/stat", "r");
  if (stat == nullptr) return -1;
  char line[1024] = {};
  const bool read = std::fgets(line, sizeof line, stat) != nullptr;
  std::fclose(stat);
  const char* close = read ? std::strrchr(line, ')') : nullptr;
  if (close == nullptr) return -1;
  unsigned long long startTicks = 0;
  // Field 22 (starttime); the text after ')' starts at field 3.
  if (std::sscanf(
          close + 2,
          "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
          &startTicks) != 1)
    return -1;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const long ticks = sysconf(_SC_CLK_TCK);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 -
         static_cast<long long>(startTicks) * 1000 / ticks;
}

// Reports once, at the main window's first paint, how long the start took.
class FirstPaint : public QObject {
 public:
  FirstPaint(QWidget* window, int splashMs) : QObject(window), splash_ms_(splashMs) {
    window->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      DebugLog("tesmira: main window painted " +
               std::to_string(MsSinceProcessStart() - splash_ms_) + " ms after start (the " +
               std::to_string(splash_ms_) + " ms splash not counted)");
    }
    return false;
  }

 private:
  int splash_ms_;
};

int SplashMs() {
  // Screenshots and start-up measurements may shorten the picture; the station shows it 2.5 s.
  if (const char* ms = std::getenv("TESMIRA_SPLASH_MS")) return std::max(0, std::atoi(ms));
  return CMainFrame::SPLASH_MS;
}
}  // namespace

CTesmiraApp::CTesmiraApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Tesmira"));
  setApplicationDisplayName(QString());
  setQuitOnLastWindowClosed(false);  // the main frame alone ends the program
}

CTesmiraApp::~CTesmiraApp() {
  frame_.reset();
  loop_.busyWaitAbort = nullptr;
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
  // A handset adapter unplugged mid-step: the step's wait ends and the loss reaches the window.
  loop_.busyWaitAbort = [doc = doc_.get()] { return doc->Comm().Lost(); };
  context_ =
      std::make_unique<StationContext>(StationContext{loop_, doc_->Comm(), notifier_, modal_});
  frame_ = std::make_unique<CMainFrame>(*doc_, *context_);
  if (args.size() == 1) doc_->OnOpenDocument(args.front().toStdString());
  connect(frame_.get(), &CMainFrame::Closed, this, &QCoreApplication::quit, Qt::QueuedConnection);

  frame_->show();
  frame_->setWindowTitle(QString::fromUtf8(CMainFrame::TITLE));
  splash.close();
  new FirstPaint(frame_.get(), splashMs);
  return true;
}
