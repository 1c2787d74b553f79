#pragma once

#include <termios.h>

#include <string>

namespace sim {

// A pseudo-terminal pair for a simulated serial device: raw mode at the given speed, both ends
// close-on-exec, the master non-blocking. The slave stays open so the line never hangs up
// between two station connections.
bool OpenRawPty(speed_t speed, int& master, int& slave, std::string& slavePath, std::string* error);

}  // namespace sim
