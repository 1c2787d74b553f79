#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "platform/visa/visa.h"
#include "sim/instruments/SimBenchRig.h"

// tesmira-cli scpi: SCPI text to one instrument through the VISA facade, as the drivers send
// it. Each command is written as one message; the reply of each query (a command ending in
// '?') is printed on its own line; last comes the first entry of the instrument's error queue.
// Exit 0 when every transfer worked and the queue held no error, 1 otherwise, 2 when the
// arguments are wrong or the instrument cannot be opened.
namespace {

constexpr const char* NAME = "scpi";
constexpr uint32_t DEFAULT_TIMEOUT_MS = 5000;
constexpr size_t MAX_REPLY = 1 << 20;

std::string Describe(ViStatus status) {
  char text[64];
  const char* name = visa::StatusName(status);
  std::snprintf(text, sizeof text, "%s%s0x%08X%s", name, *name ? " (" : "",
                static_cast<unsigned>(status), *name ? ")" : "");
  return text;
}

// One whole reply line, without its terminator.
ViStatus ReadLine(ViSession vi, std::string* line) {
  line->clear();
  while (true) {
    unsigned char buf[512];
    ViUInt32 got = 0;
    const ViStatus status = viRead(vi, buf, sizeof buf, &got);
    line->append(reinterpret_cast<char*>(buf), got);
    if (status != VI_SUCCESS_MAX_CNT || line->size() > MAX_REPLY) {
      while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
      return status;
    }
  }
}

ViStatus WriteLine(ViSession vi, const std::string& command) {
  const std::string line = command + "\n";
  ViUInt32 written = 0;
  return viWrite(vi, reinterpret_cast<ViConstBuf>(line.data()), static_cast<ViUInt32>(line.size()),
                 &written);
}

bool simulated = false;
uint64_t seed = 1;
uint32_t timeoutMs = DEFAULT_TIMEOUT_MS;
std::string resource;
std::vector<std::string> commands;

void Define(CLI::App& app) {
  app.add_flag("--sim", simulated, "the simulated bench in this process, in virtual time");
  clioptions::AddSeed(app, seed);
  clioptions::AddTimeout(app, timeoutMs, "time-out of each transfer");
  app.add_option("RESOURCE", resource, "VISA resource, e.g. GPIB0::14::INSTR")->required();
  app.add_option("COMMAND", commands, "SCPI command; a query ends in '?'")->required();
  // Options come before the resource; after it everything is a command.
  app.positionals_at_end();
}

int Run() {
  // The simulated bench in this process, in virtual time, at the station's fixed addresses.
  std::unique_ptr<SimBenchRig> rig;
  if (simulated) {
    SimBenchConfig config;
    config.seed = seed;
    rig = std::make_unique<SimBenchRig>(config);
  }

  ViSession rm = 0;
  ViSession vi = 0;
  ViStatus status = viOpenDefaultRM(&rm);
  if (status >= VI_SUCCESS) status = viOpen(rm, resource.c_str(), VI_NULL, VI_NULL, &vi);
  if (status < VI_SUCCESS) {
    std::fprintf(stderr, "tesmira-cli scpi: %s: %s\n", resource.c_str(), Describe(status).c_str());
    viClose(rm);
    return 2;
  }
  viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeoutMs);

  bool failed = false;
  bool writeFailed = false;
  for (size_t i = 0; i < commands.size() && !failed; ++i) {
    const std::string& command = commands[i];
    status = WriteLine(vi, command);
    if (status < VI_SUCCESS) {
      std::fprintf(stderr, "tesmira-cli scpi: writing '%s': %s\n", command.c_str(),
                   Describe(status).c_str());
      failed = writeFailed = true;
      break;
    }
    if (command.empty() || command.back() != '?') continue;
    std::string reply;
    status = ReadLine(vi, &reply);
    if (status < VI_SUCCESS) {
      std::fprintf(stderr, "tesmira-cli scpi: reading the reply to '%s': %s\n", command.c_str(),
                   Describe(status).c_str());
      failed = true;
      break;
    }
    std::printf("%s\n", reply.c_str());
  }

  // The queue often says why a reply did not come; it is read unless the link itself failed.
  std::string error;
  if (!writeFailed) {
    status = WriteLine(vi, "SYST:ERR?");
    if (status >= VI_SUCCESS) status = ReadLine(vi, &error);
    if (status < VI_SUCCESS) {
      std::fprintf(stderr, "tesmira-cli scpi: reading the error queue: %s\n",
                   Describe(status).c_str());
      failed = true;
    } else {
      std::printf("%s\n", error.c_str());
      // "+0,..." or "0,...": anything else is an error the instrument reported.
      const long code = std::strtol(error.c_str(), nullptr, 10);
      failed = failed || code != 0;
    }
  }
  std::fflush(stdout);
  viClose(vi);
  viClose(rm);
  return failed ? 1 : 0;
}

const bool registered = RegisterCliCommand(
    {NAME, "SCPI commands to an instrument through VISA; prints each query's reply, then SYST:ERR?",
     &Define, &Run});

}  // namespace
