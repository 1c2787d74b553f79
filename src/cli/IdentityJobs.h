#pragma once

#include <cstdint>
#include <optional>
#include <string>

// tesmira-cli scan and identity: the identity window's work without a window. The option
// parsing lives in CmdScan.cpp / CmdIdentity.cpp; these run the jobs.
struct ScanJob {
  bool simulated = false;
  uint64_t seed = 1;
  std::optional<std::string> code;  // what the simulated scanner hands out
  std::string region = "HK";
  int quantity = 1;
  int vertical = 10;
  int horizontal = 200;
};

struct IdentityJob {
  bool simulated = false;
  uint64_t seed = 1;
};

// Every message box is printed as "message: <text>". Exit status: 0 when the sequence
// completed with its record and label, 1 when a step failed, 2 when the ports cannot be had.
int RunScanJob(const ScanJob& job);
// Prints the items as the window shows them; 0 when every read was answered, else 1.
int RunIdentityJob(const IdentityJob& job);
