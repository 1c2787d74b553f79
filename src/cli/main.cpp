#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/CliCommand.h"
#include "tester4400/wt4400.h"

namespace {
std::vector<CliCommand>& Registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

const CliCommand* Find(const std::string& name) {
  for (const auto& c : Registry()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

void PrintHelp(FILE* out) {
  std::fprintf(out,
               "usage: tesmira-cli <command> [args]\n"
               "       tesmira-cli <command> --help   (or tesmira-cli help <command>)\n"
               "commands:\n");
  auto commands = Registry();
  std::sort(commands.begin(), commands.end(),
            [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
  for (const auto& c : commands) {
    std::fprintf(out, "  %-12s %s\n", c.name.c_str(), c.summary.c_str());
  }
}

// The command's parser: its options as Define declares them, the help flag, and
// "--name=value" as well as "--name value".
void Build(const CliCommand& command, CLI::App& app) {
  app.name("tesmira-cli " + command.name);
  app.description(command.summary);
  app.get_formatter()->column_width(28);
  command.define(app);
}
}  // namespace

bool RegisterCliCommand(const CliCommand& command) {
  Registry().push_back(command);
  return true;
}

int CliUsageError(const std::string& name, const std::string& message) {
  std::string line = message;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(stderr, "tesmira-cli %s: %s\n", name.c_str(), line.c_str());
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
    if (argc > 2) {
      const CliCommand* command = Find(argv[2]);
      if (command == nullptr) {
        std::fprintf(stderr, "tesmira-cli: unknown command '%s' (tesmira-cli help lists them)\n",
                     argv[2]);
        return 2;
      }
      CLI::App app;
      Build(*command, app);
      std::fputs(app.help().c_str(), stdout);
      return 0;
    }
    PrintHelp(stdout);
    return 0;
  }
  const CliCommand* command = Find(name);
  if (command == nullptr) {
    std::fprintf(stderr, "tesmira-cli: unknown command '%s' (tesmira-cli help lists them)\n",
                 name.c_str());
    return 2;
  }
  CLI::App app;
  Build(*command, app);
  try {
    app.parse(argc - 1, argv + 1);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    return CliUsageError(name, e.what());
  }
  return command->run();
}
