#pragma once

#include <string>
#include <vector>

// A tesmira-cli subcommand. Each lives in its own Cmd<Name>.cpp and registers itself:
//   static const bool registered = RegisterCliCommand({"encode", "LINE...", "...", &RunEncode});
// Exit statuses: 0 success, 1 the job failed, 2 bad arguments or unreachable bench.
struct CliCommand {
  std::string name;
  std::string usage;    // arguments, shown after the name
  std::string summary;  // one line
  int (*run)(const std::vector<std::string>& args);
};

bool RegisterCliCommand(const CliCommand& command);
const std::vector<CliCommand>& CliCommands();

// Prints "tesmira-cli <name>: <message>" on stderr and returns 2.
int CliUsageError(const std::string& name, const std::string& message);
