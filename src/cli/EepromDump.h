#pragma once

#include <cstdio>
#include <string>

#include "link/Port.h"
#include "platform/EventLoop.h"

// The EEPROM map viewer's whole dump without a window, on an open handset port: every list line
// as the list shows it, one per output line, and every message as "message: <text>" on out;
// the blocks are appended to resultPath as the viewer appends them.
//
// Returns 0 when the 2560 bytes were listed and every record is in the file, 1 when the handset
// stopped answering ("serial comm error"), answered something else, or the file could not be
// written.
int RunEepromDump(EventLoop& loop, Port& port, FILE* out, const std::string& resultPath);
