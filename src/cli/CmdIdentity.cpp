#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/IdentityJobs.h"

// tesmira-cli identity: what the IMEI window's read buttons show.
namespace {

int RunIdentity(const std::vector<std::string>& args) {
  IdentityJob job;
  for (const std::string& arg : args) {
    if (arg == "--sim") {
      job.simulated = true;
    } else if (arg.starts_with("--sim=")) {
      job.simulated = true;
      char* end = nullptr;
      const std::string seed = arg.substr(6);
      job.seed = std::strtoull(seed.c_str(), &end, 0);
      if (seed.empty() || seed[0] == '-' || *end != '\0') {
        return CliUsageError("identity", "--sim=SEED needs a number");
      }
    } else {
      return CliUsageError("identity", "unexpected argument '" + arg + "'");
    }
  }
  return RunIdentityJob(job);
}

const bool registered = RegisterCliCommand(
    {"identity", "[--sim[=SEED]]",
     "read the handset's IMEI, software and hardware version, serial number and region (COM1);\n"
     "      --sim: the simulated handset of bench SEED (default 1)",
     &RunIdentity});

}  // namespace
