#include "app/MainFrm.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

#include "app/AboutDlg.h"
#include "app/LockIndicators.h"
#include "app/MenuTable.h"
#include "app/TesmiraDoc.h"
#include "app/TesmiraView.h"
#include "app/ToolbarIcons.h"
#include "instruments/RFConfigDlg.h"
#include "link/TargetConnection.h"
#include "link/TargetResetDlg.h"
#include "platform/Notifier.h"
#include "widgets/ModalRunner.h"

#ifndef TESMIRA_DOCS_DIR
#define TESMIRA_DOCS_DIR "docs"
#endif

CMainFrame::CMainFrame(CTesmiraDoc& doc, StationContext& context,
                       const std::vector<ToolKind>& tools)
    : QMainWindow(nullptr), doc_(doc), context_(context), tools_(tools) {
  setWindowTitle(QString::fromUtf8(TITLE));
  view_ = new CTesmiraView(this);
  setCentralWidget(view_);
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  resize(640, 420);
}

CMainFrame::~CMainFrame() {
  CloseTools();
  reset_outcome_.reset();
}

void CMainFrame::BuildMenus() {
  for (const Menu& menu : MainMenu()) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(menu.title));
    for (const MenuItem& item : menu.items) {
      if (item.text == nullptr) {
        m->addSeparator();
        continue;
      }
      auto* action = m->addAction(QString::fromUtf8(item.text));
      action->setProperty("commandId", item.id);
      action->setObjectName(QStringLiteral("command_%1").arg(item.id));
      actions_[item.id] = action;
    }
  }
  // What has no handler, or no window yet, shows disabled, as the toolkit does.
  for (auto& [id, action] : actions_) {
    bool enabled = !HasNoHandler(id);
    for (const ToolKind& kind : tools_) {
      if (kind.commandId == id) enabled = kind.create != nullptr;
    }
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, id = id] { OnCommand(id); });
  }
}

void CMainFrame::BuildToolBar() {
  auto* bar = new QToolBar(QStringLiteral("Standard"), this);
  bar->setObjectName(QStringLiteral("toolbar_128"));
  bar->setIconSize(QSize(16, 15));
  bar->setMovable(true);  // dockable anywhere, docked at the top
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  for (const ToolbarButton& button : MainToolbar()) {
    if (button.id == 0) {
      bar->addSeparator();
      continue;
    }
    QAction* action = nullptr;
    const auto it = actions_.find(button.id);
    if (it != actions_.end()) {
      action = it->second;  // the menu's own command (About)
      action->setIcon(ToolbarIcon(button.id));
      bar->addAction(action);
      continue;
    }
    action = bar->addAction(ToolbarIcon(button.id), QString::fromUtf8(button.tip));
    action->setToolTip(QString::fromUtf8(button.tip));
    action->setProperty("commandId", button.id);
    action->setObjectName(QStringLiteral("command_%1").arg(button.id));
    action->setEnabled(!HasNoHandler(button.id));
    actions_[button.id] = action;
    const int id = button.id;
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  actions_[ID_FILE_NEW]->setShortcut(QKeySequence::New);
  actions_[ID_FILE_OPEN]->setShortcut(QKeySequence::Open);
  actions_[ID_FILE_SAVE]->setShortcut(QKeySequence::Save);
  actions_[ID_FILE_PRINT]->setShortcut(QKeySequence::Print);
  actions_[ID_CONTEXT_HELP]->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
  actions_[ID_HELP_FINDER]->setShortcut(QKeySequence::HelpContents);
  addToolBar(Qt::TopToolBarArea, bar);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  auto* message = new QLabel(QStringLiteral("Ready"), bar);
  message->setObjectName(QStringLiteral("pane_message"));
  bar->addWidget(message, 1);
  QLabel* panes[3];
  const char* names[] = {"pane_caps", "pane_num", "pane_scroll"};
  for (int i = 0; i < 3; ++i) {
    panes[i] = new QLabel(bar);
    panes[i]->setObjectName(QString::fromUtf8(names[i]));
    panes[i]->setMinimumWidth(panes[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) +
                              8);
    panes[i]->setAlignment(Qt::AlignCenter);
    panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(panes[i]);
  }
  indicators_ = new LockIndicators(panes[0], panes[1], panes[2], this);
}

QAction* CMainFrame::Action(int commandId) const {
  const auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

ToolWindow* CMainFrame::Tool(int commandId) const {
  const auto it = open_tools_.find(commandId);
  return it == open_tools_.end() ? nullptr : it->second.data();
}

void CMainFrame::OnCommand(int id) {
  for (const ToolKind& kind : tools_) {
    if (kind.commandId == id) {
      if (kind.create != nullptr) OpenTool(kind);
      return;
    }
  }
  switch (id) {
    case ID_TARGET_OPEN:
      TargetOpen(doc_.Comm(), context_.notifier);
      break;
    case ID_TARGET_CLOSE:
      TargetClose(doc_.Comm(), context_.notifier);
      break;
    case ID_TARGET_RESET:
      OnTargetReset();
      break;
    case ID_APP_EXIT:
      close();
      break;
    case ID_RF_PARAMETER:
      OnRfParameter();
      break;
    case ID_APP_ABOUT:
      OnAbout();
      break;
    case ID_HELP_FINDER:
    case ID_HELP:
    case ID_DEFAULT_HELP:
      OnHelp();
      break;
    case ID_CONTEXT_HELP:
      QWhatsThis::enterWhatsThisMode();
      break;
    case ID_FILE_NEW:
      doc_.OnNewDocument();
      break;
    case ID_FILE_OPEN:
      OnFileOpen();
      break;
    case ID_FILE_SAVE:
      OnFileSave();
      break;
    case ID_FILE_PRINT:
      OnFilePrint();
      break;
    default:
      break;
  }
}

void CMainFrame::OpenTool(const ToolKind& kind) {
  QPointer<ToolWindow>& slot = open_tools_[kind.commandId];
  if (slot) {
    slot->BringForward();
    return;
  }
  ToolWindow* window = kind.create(context_);
  if (window == nullptr) return;
  slot = window;
  window->show();
  window->raise();
  window->activateWindow();
  if (kind.minimiseFrame) showMinimized();
}

void CMainFrame::OnTargetReset() {
  std::unique_ptr<ResetOutcome> outcome;
  {
    CTargetResetDlg dialog(context_, this);
    context_.modal.Run(dialog);
    // The dialog has ended (and goes now, with its timers); then the reset goes out.
    if (dialog.YesPressed()) outcome = dialog.Logic().Yes();
  }
  if (outcome) reset_outcome_ = std::move(outcome);
}

void CMainFrame::OnRfParameter() {
  CRFConfigDlg dialog(this);
  context_.modal.Run(dialog);
}

void CMainFrame::OnAbout() {
  CAboutDlg dialog(this);
  context_.modal.Run(dialog);
}

void CMainFrame::OnHelp() {
  const QString guide = QStringLiteral(TESMIRA_DOCS_DIR "/gui.md");
  if (!QFileInfo::exists(guide) || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
    context_.notifier.Message("Help: " + guide.toStdString());
  }
}

void CMainFrame::OnFileOpen() {
  const QString path = context_.modal.ChooseFile(this, false);
  if (!path.isEmpty()) doc_.OnOpenDocument(path.toStdString());
}

void CMainFrame::OnFileSave() {
  QString path = QString::fromStdString(doc_.PathName());
  if (path.isEmpty()) path = context_.modal.ChooseFile(this, true);
  if (path.isEmpty()) return;
  if (!doc_.OnSaveDocument(path.toStdString())) {
    context_.notifier.Message("Cannot save " + path.toStdString());
  }
}

void CMainFrame::OnFilePrint() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (context_.modal.Run(dialog) != QDialog::Accepted) return;
  QPainter page(&printer);  // the view draws nothing: one empty page
  page.end();
}

void CMainFrame::CloseTools() {
  for (auto& [id, window] : open_tools_) {
    if (window) window->close();
    if (window) delete window.data();  // refused to close: ends with the program anyway
  }
  open_tools_.clear();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!released_) {
    // The link goes before the window, so COM1 is free the moment the station is gone.
    TargetRelease(doc_.Comm());
    released_ = true;
  }
  CloseTools();
  reset_outcome_.reset();
  QMainWindow::closeEvent(event);
  emit Closed();
}
