#include "calibration/CalState.h"
#include "link/Bcommand.h"

int CalEncode(const std::string& line) {
  Cal().LastCommandLine = line;
  return EncodeCommand(line);
}
