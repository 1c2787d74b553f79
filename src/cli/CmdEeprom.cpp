#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/EepromDump.h"
#include "link/CComm.h"
#include "platform/Notifier.h"
#include "platform/PollLoop.h"
#include "service/EepromMap.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// tesmira-cli eeprom: the EEPROM map viewer's dump, on COM N or the simulated handset.
namespace {

constexpr uint32_t HANDSET_BAUD = 115200;

struct EepromOptions {
  bool simulated = false;
  uint64_t seed = 1;
  int port = 1;
};

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > max) return false;
  value = v;
  return true;
}

// Empty on success, otherwise the reason.
std::string ParseEepromOptions(const std::vector<std::string>& args, EepromOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--sim") {
      o.simulated = true;
    } else if (arg.starts_with("--sim=")) {
      o.simulated = true;
      if (!ParseUnsigned(arg.substr(6), UINT64_MAX / 10, o.seed)) {
        return "bad seed '" + std::string(arg.substr(6)) + "'";
      }
    } else if (arg == "--port" || arg.starts_with("--port=")) {
      std::string_view value;
      if (arg == "--port") {
        if (i + 1 == args.size()) return "--port needs a value";
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      uint64_t port = 0;
      if (!ParseUnsigned(value, 255, port) || port == 0) {
        return "bad port number '" + std::string(value) + "' (1 to 255)";
      }
      o.port = static_cast<int>(port);
    } else {
      return "unknown argument '" + std::string(arg) + "'";
    }
  }
  return {};
}

class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

int RunEeprom(const std::vector<std::string>& args) {
  EepromOptions options;
  const std::string error = ParseEepromOptions(args, options);
  if (!error.empty()) return CliUsageError("eeprom", error);

  if (options.simulated) {
    SimLoop loop;
    sim::Bench bench(options.seed, [&loop] { return loop.Now(); });
    SimPort port(loop);
    SimPortHandset handset(loop, port, bench);
    port.Open(options.port, HANDSET_BAUD);
    return RunEepromDump(loop, port, stdout, EEPROM_RESULT_FILE);
  }
  PollLoop loop;
  StderrNotifier notifier;
  CComm comm(loop, &notifier);
  if (!comm.Open(options.port, HANDSET_BAUD)) {
    std::fprintf(stderr, "serial port error !!!\n");
    std::fprintf(stderr, "tesmira-cli eeprom: %s\n", comm.LastError().c_str());
    return 2;
  }
  const int status = RunEepromDump(loop, comm, stdout, EEPROM_RESULT_FILE);
  comm.Close();
  loop.PumpMessages();
  return status;
}

const bool registered = RegisterCliCommand(
    {"eeprom", "[--port N] [--sim[=SEED]]",
     "dump the first 2560 bytes of the handset's EEPROM as the EEPROM map lists them and\n"
     "      append them to Eepresult.txt; --sim: the simulated handset of bench SEED (default 1)",
     &RunEeprom});

}  // namespace
