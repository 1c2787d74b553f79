#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/TestSet.h"
#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/Notifier.h"
#include "platform/PollLoop.h"
#include "sim/instruments/SimBenchRig.h"
#include "tester4400/wt4400.h"

// tesmira-cli instruments: opens the selected test set and supply as the calibration window's
// "Instrument Check" does, prints OK or FAIL with what each instrument says it is, sets the
// supply to its nominal output and prints the current it reads, then closes both.
namespace {

const char* const NAME = "instruments";

// The station's message boxes of this layer go to stderr; stdout carries the check.
class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

struct Selection {
  const char* name;
  int32_t type;
  const char* simModel;  // the simulated supply to put on the bench ("" for none)
};

constexpr Selection TEST_SETS[] = {
    {"8960", TESTSET_8960, ""}, {"4400", TESTSET_4400, ""}, {"none", TESTSET_NONE, ""}};
constexpr Selection SUPPLIES[] = {{"3631A", SUPPLY_E3631A, "3631A"},
                                  {"3632A", SUPPLY_E3632A, "3632A"},
                                  {"3633A", SUPPLY_E3632A, "3633A"},
                                  {"66311B", SUPPLY_66311B, "66311B"},
                                  {"none", SUPPLY_NONE, ""}};

template <size_t N>
const Selection* Find(const Selection (&table)[N], const std::string& name) {
  for (const Selection& s : table)
    if (name == s.name) return &s;
  return nullptr;
}

std::string TestSetIdentity() {
  const InstrumentState& s = Instruments();
  if (s.TestSetType == TESTSET_8960) return Drivers().testSet8960->Identity(s.TestSetHandle);
  char reply[72] = "";
  if (wt4400_identify(s.TestSetHandle, reply, sizeof reply) < VI_SUCCESS) return "";
  return reply;
}

std::string SupplyIdentity() {
  const InstrumentState& s = Instruments();
  switch (s.SupplyType) {
    case SUPPLY_66311B:
      return Drivers().hp66311b->Identity(s.SupplyHandle);
    case SUPPLY_E3631A:
      return Drivers().e3631a->Identity(s.SupplyHandle);
    case SUPPLY_E3632A:
      return Drivers().e3632a->Identity(s.SupplyHandle);
    default:
      return "";
  }
}

// The check itself, on whatever the facade reaches; true when everything selected answered.
bool Check(const Selection& testSet, const Selection& supply) {
  bool ok = true;
  if (testSet.type == TESTSET_NONE) std::printf("test set none   (not checked)\n");
  if (testSet.type != TESTSET_NONE) {
    const bool opened = OpenTestSet();
    std::printf("test set %-6s %-17s %s  %s\n", testSet.name,
                testSet.type == TESTSET_8960 ? RESOURCE_8960 : RESOURCE_4400,
                opened ? "OK  " : "FAIL", opened ? TestSetIdentity().c_str() : "");
    ok = ok && opened;
  }
  std::fflush(stdout);  // in order with the message boxes on stderr
  if (supply.type == SUPPLY_NONE) std::printf("supply   none   (not checked)\n");
  if (supply.type != SUPPLY_NONE) {
    const bool opened = OpenSupply();
    std::printf("supply   %-6s %-17s %s  %s\n", supply.name, RESOURCE_SUPPLY,
                opened ? "OK  " : "FAIL",
                Instruments().SupplyHandle ? SupplyIdentity().c_str() : "");
    ok = ok && opened;
    std::fflush(stdout);
    if (opened) {
      Instruments().InstrumentFault = 0;
      SetSupplyNominal();
      const double amps = ReadSupplyCurrent();
      const bool fault = Instruments().InstrumentFault != 0;
      std::printf("supply   nominal 3.8 V, 3.0 A limit: %s %.4f A\n",
                  fault ? "FAIL, reads" : "current", amps);
      ok = ok && !fault;
    }
  }
  CloseTestSet();
  CloseSupply();
  std::fflush(stdout);
  return ok;
}

bool simulated = false;
uint64_t seed = 1;
std::string testSetName = TEST_SETS[0].name;
std::string supplyName = SUPPLIES[0].name;

template <size_t N>
std::vector<std::string> Names(const Selection (&table)[N]) {
  std::vector<std::string> names;
  for (const Selection& s : table) names.push_back(s.name);
  return names;
}

void Define(CLI::App& app) {
  app.add_flag("--sim", simulated, "the simulated bench in this process, in virtual time");
  clioptions::AddSeed(app, seed);
  app.add_option("--test-set", testSetName, "the test set to check")
      ->check(CLI::IsMember(Names(TEST_SETS)))
      ->default_val(testSetName);
  app.add_option("--supply", supplyName, "the supply to check")
      ->check(CLI::IsMember(Names(SUPPLIES)))
      ->default_val(supplyName);
}

int Run() {
  const Selection* testSet = Find(TEST_SETS, testSetName);
  const Selection* supply = Find(SUPPLIES, supplyName);
  StderrNotifier notifier;
  ResetInstrumentState();
  Instruments().TestSetType = testSet->type;
  Instruments().SupplyType = supply->type;
  Instruments().notifier = &notifier;
  bool ok;
  if (simulated) {
    SimBenchConfig config;
    config.seed = seed;
    config.supplyModel = supply->simModel;
    SimBenchRig rig(config);
    Instruments().loop = &rig.loop();
    ok = Check(*testSet, *supply);
    ResetInstrumentState();  // before the rig takes its instruments away
  } else {
    PollLoop loop;
    Instruments().loop = &loop;
    ok = Check(*testSet, *supply);
    ResetInstrumentState();
  }
  return ok ? 0 : 1;
}

const bool registered = RegisterCliCommand(
    {NAME,
     "open the test set and supply as Instrument Check does, set the supply, read its current",
     &Define, &Run});

}  // namespace
