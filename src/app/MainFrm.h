#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "app/ToolTable.h"
#include "widgets/ToolWindow.h"

class CTesmiraDoc;
class CTesmiraView;
class LockIndicators;
class QAction;
class QLabel;
class ResetOutcome;

// The main window: menus, toolbar, status bar, an empty view, and one pointer per modeless
// tool window. Commands are QActions carrying their command id ("commandId").
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int SPLASH_MS = 2500;
  static constexpr const char* TITLE = "Repair V1.5 1017";

  CMainFrame(CTesmiraDoc& doc, StationContext& context,
             const std::vector<ToolKind>& tools = StationToolKinds());
  ~CMainFrame() override;

  QAction* Action(int commandId) const;
  ToolWindow* Tool(int commandId) const;  // nullptr when that window is not open
  void OnCommand(int commandId);

 signals:
  void Closed();  // the program ends

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void OpenTool(const ToolKind& kind);
  void OnTargetReset();
  void OnRfParameter();
  void OnAbout();
  void OnHelp();
  void OnFileOpen();
  void OnFileSave();
  void OnFilePrint();
  void CloseTools();

  CTesmiraDoc& doc_;
  StationContext& context_;
  std::vector<ToolKind> tools_;
  std::map<int, QAction*> actions_;
  std::map<int, QPointer<ToolWindow>> open_tools_;
  std::unique_ptr<ResetOutcome> reset_outcome_;
  CTesmiraView* view_ = nullptr;
  LockIndicators* indicators_ = nullptr;
  bool released_ = false;
};
