#pragma once

#include <string>

namespace CLI {
class App;
}

// A tesmira-cli subcommand. Each lives in its own Cmd<Name>.cpp and registers itself:
//
//   std::vector<std::string> lines;  // what the options fill, in the file's namespace
//   void Define(CLI::App& app) { app.add_option("LINE", lines, "a command line")->required(); }
//   int Run() { ... }
//   const bool registered = RegisterCliCommand({"encode", "one-line summary", &Define, &Run});
//
// main parses the command's arguments with the options Define declares: --help is generated
// from them, and a bad argument prints "tesmira-cli <name>: <reason>" and exits 2 before Run.
// Checks between options that the parser cannot express return CliUsageError from Run.
// Exit statuses: 0 success, 1 the job failed, 2 bad arguments or unreachable bench.
struct CliCommand {
  std::string name;
  std::string summary;  // one line
  void (*define)(CLI::App& app);
  int (*run)();
};

bool RegisterCliCommand(const CliCommand& command);

// Prints "tesmira-cli <name>: <message>" on one line on stderr and returns 2.
int CliUsageError(const std::string& name, const std::string& message);
