#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/IdentityJobs.h"

// tesmira-cli scan: the identity window's scan-and-program sequence, headless.
namespace {

bool ParseInt(std::string_view text, int min, int max, int& value) {
  if (text.empty() || text.size() > 6) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < min || v > max) return false;
  value = v;
  return true;
}

bool ParseSeed(std::string_view text, uint64_t& seed) {
  const std::string s(text);
  char* end = nullptr;
  if (s.empty() || s[0] == '-') return false;
  seed = std::strtoull(s.c_str(), &end, 0);
  return *end == '\0';
}

int RunScan(const std::vector<std::string>& args) {
  ScanJob job;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--sim") {
      job.simulated = true;
      continue;
    }
    if (arg.starts_with("--sim=")) {
      job.simulated = true;
      if (!ParseSeed(arg.substr(6), job.seed))
        return CliUsageError("scan", "--sim=SEED needs a number");
      continue;
    }
    std::string_view name = arg;
    std::string_view value;
    if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    } else if (arg.starts_with("--") && i + 1 < args.size()) {
      value = args[++i];
    } else {
      return CliUsageError("scan", "unexpected argument '" + std::string(arg) + "'");
    }
    if (name == "--code") {
      job.code = std::string(value);
    } else if (name == "--region") {
      if (value != "HK" && value != "CH") return CliUsageError("scan", "--region is HK or CH");
      job.region = std::string(value);
    } else if (name == "--quantity") {
      if (!ParseInt(value, 0, 10000, job.quantity))
        return CliUsageError("scan", "--quantity is 0 to 10000");
    } else if (name == "--vertical") {
      if (!ParseInt(value, 0, 600, job.vertical))
        return CliUsageError("scan", "--vertical is 0 to 600");
    } else if (name == "--horizontal") {
      if (!ParseInt(value, 0, 600, job.horizontal))
        return CliUsageError("scan", "--horizontal is 0 to 600");
    } else {
      return CliUsageError("scan", "unknown option '" + std::string(name) + "'");
    }
  }
  if (job.code && !job.simulated) {
    return CliUsageError("scan", "--code is what the simulated scanner reads: give --sim");
  }
  return RunScanJob(job);
}

const bool registered = RegisterCliCommand(
    {"scan",
     "[--sim[=SEED]] [--code CODE] [--region HK|CH] [--quantity N] [--vertical N] "
     "[--horizontal N]",
     "the scan-and-program sequence of the IMEI window (COM2 scanner, COM1 handset): the code is\n"
     "      written, read back and checked, swver.txt compared, the region written, "
     "Imeiresult.txt\n"
     "      appended and the label sent to TESMIRA_LPT1 (default /dev/lp0); --sim: the simulated\n"
     "      bench in virtual time, its scanner reading CODE",
     &RunScan});

}  // namespace
