#include <CLI/CLI.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/IdentityJobs.h"

// tesmira-cli scan: the identity window's scan-and-program sequence, headless.
namespace {

ScanJob job;

void Define(CLI::App& app) {
  clioptions::AddSimSeed(app, job.simulated, job.seed, "the simulated bench in virtual time");
  app.add_option_function<std::string>(
      "--code", [](const std::string& code) { job.code = code; },
      "what the simulated scanner reads (--sim)");
  app.add_option("--region", job.region, "region written to the handset")
      ->check(CLI::IsMember({"HK", "CH"}))
      ->default_val(job.region);
  app.add_option("--quantity", job.quantity, "labels to print")
      ->check(CLI::Range(0, 10000))
      ->default_val(job.quantity);
  app.add_option("--vertical", job.vertical, "label's vertical offset")
      ->check(CLI::Range(0, 600))
      ->default_val(job.vertical);
  app.add_option("--horizontal", job.horizontal, "label's horizontal offset")
      ->check(CLI::Range(0, 600))
      ->default_val(job.horizontal);
}

int Run() {
  if (job.code && !job.simulated) {
    return CliUsageError("scan", "--code is what the simulated scanner reads: give --sim");
  }
  return RunScanJob(job);
}

const bool registered = RegisterCliCommand(
    {"scan",
     "the IMEI window's scan-and-program sequence (COM2 scanner, COM1 handset): the code written, "
     "read back and checked, swver.txt compared, the region written, Imeiresult.txt appended, the "
     "label sent to TESMIRA_LPT1 (default /dev/lp0)",
     &Define, &Run});

}  // namespace
