#include <algorithm>
#include <cstdio>

#include "cli/CliCommand.h"
#include "tester4400/wt4400.h"

namespace {
std::vector<CliCommand>& Registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

void PrintHelp(FILE* out) {
  std::fprintf(out, "usage: tesmira-cli <command> [args]\ncommands:\n");
  auto commands = CliCommands();
  std::sort(commands.begin(), commands.end(),
            [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
  for (const auto& c : commands) {
    std::fprintf(out, "  %s %s\n      %s\n", c.name.c_str(), c.usage.c_str(), c.summary.c_str());
  }
}
}  // namespace

bool RegisterCliCommand(const CliCommand& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<CliCommand>& CliCommands() {
  return Registry();
}

int CliUsageError(const std::string& name, const std::string& message) {
  std::fprintf(stderr, "tesmira-cli %s: %s\n", name.c_str(), message.c_str());
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintHelp(stderr);
    return 2;
  }
  // The tester's console trace is diagnostics; stdout carries the command's results.
  wt4400_setConsole(stderr);
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintHelp(stdout);
    return 0;
  }
  for (const auto& c : CliCommands()) {
    if (c.name == name) return c.run(std::vector<std::string>(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "tesmira-cli: unknown command '%s'\n", name.c_str());
  PrintHelp(stderr);
  return 2;
}
