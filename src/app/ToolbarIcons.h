#pragma once

#include <QIcon>

// The toolbar's 16x15 pictures, drawn by the program (no image files are shipped).
QIcon ToolbarIcon(int commandId);
