#pragma once

#include <vector>

struct StationContext;
class ToolWindow;

// The modeless tool windows of the menu: one kind per command, at most one window of a kind.
using ToolFactory = ToolWindow* (*)(StationContext& context);

struct ToolKind {
  int commandId;
  ToolFactory create;  // nullptr: the command has no window yet and shows disabled
  bool minimiseFrame;  // the main window minimises itself once the window is open
};

const std::vector<ToolKind>& StationToolKinds();
