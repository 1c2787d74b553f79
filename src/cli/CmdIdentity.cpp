#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/IdentityJobs.h"

// tesmira-cli identity: what the IMEI window's read buttons show.
namespace {

IdentityJob job;

void Define(CLI::App& app) {
  clioptions::AddSimSeed(app, job.simulated, job.seed, "the simulated handset of the bench");
}

int Run() {
  return RunIdentityJob(job);
}

const bool registered = RegisterCliCommand(
    {"identity",
     "read the handset's IMEI, software and hardware version, serial number and region (COM1)",
     &Define, &Run});

}  // namespace
