#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/CliCommand.h"
#include "sim/LinkHarness.h"

namespace {
std::vector<std::string> lines;

void Define(CLI::App& app) {
  app.add_option("LINE", lines, "a command line (quote it: one argument per line)")->required();
}

// Each line goes out as a window sends it, one after another, so a line that builds nothing
// shows the empty frame that the window would transmit.
int Run() {
  LinkHarness link;
  for (const std::string& line : lines) {
    std::printf("%s\n", FormatEncodeReport(link.Encode(line)).c_str());
  }
  return 0;
}

const bool registered = RegisterCliCommand(
    {"encode", "encode command lines as a window sends them: result, payload and wire frame",
     &Define, &Run});
}  // namespace
