#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
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

class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

EepromOptions options;

void Define(CLI::App& app) {
  app.add_option("--port", options.port, "COM N, always at 115200 baud")
      ->check(CLI::Range(1, 255))
      ->default_val(options.port)
      ->type_name("N");
  clioptions::AddSimSeed(app, options.simulated, options.seed, "the simulated handset");
}

int Run() {
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
    {"eeprom",
     "dump the first 2560 bytes of the handset's EEPROM as the EEPROM map lists them and append "
     "them to Eepresult.txt",
     &Define, &Run});

}  // namespace
