#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Runs tesmira-cli with a hard deadline and collects its exit status and output.
namespace clitest {

struct CliRun {
  int status = -1;
  std::string out;
};

enum class Stderr { Drop, Fold };

// args go to the shell as written; cwd, when given, is where the program runs.
inline CliRun RunCli(const std::string& args, Stderr err, const std::string& cwd = "",
                     int deadlineSeconds = 20) {
  std::string command;
  if (!cwd.empty()) command = "cd '" + cwd + "' && ";
  command += "timeout " + std::to_string(deadlineSeconds) + " " + TESMIRA_CLI_PATH + " " + args +
             (err == Stderr::Fold ? " 2>&1" : " 2>/dev/null");
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace clitest
