#include <cstdio>

#include "cli/CliCommand.h"
#include "sim/LinkHarness.h"

namespace {
// Each line goes out as a window sends it, one after another, so a line that builds nothing
// shows the empty frame that the window would transmit.
int RunEncode(const std::vector<std::string>& args) {
  if (args.empty()) return CliUsageError("encode", "give at least one command line");
  LinkHarness link;
  for (const std::string& line : args) {
    std::printf("%s\n", FormatEncodeReport(link.Encode(line)).c_str());
  }
  return 0;
}

const bool registered = RegisterCliCommand(
    {"encode", "LINE...",
     "encode command lines as a window sends them: result, payload and wire frame", &RunEncode});
}  // namespace
