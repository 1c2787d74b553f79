#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
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

int RunInstruments(const std::vector<std::string>& args) {
  bool simulated = false;
  uint64_t seed = 1;
  const Selection* testSet = &TEST_SETS[0];
  const Selection* supply = &SUPPLIES[0];
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--sim") {
      simulated = true;
      continue;
    }
    if (arg != "--seed" && arg != "--test-set" && arg != "--supply")
      return CliUsageError(NAME, "unknown option '" + arg + "'");
    if (i + 1 == args.size()) return CliUsageError(NAME, arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--seed") {
      char* end = nullptr;
      seed = std::strtoull(value.c_str(), &end, 0);
      if (value.empty() || *end != '\0' || value[0] == '-')
        return CliUsageError(NAME, "--seed needs a number");
    } else if (arg == "--test-set") {
      testSet = Find(TEST_SETS, value);
      if (!testSet) return CliUsageError(NAME, "--test-set is 8960, 4400 or none");
    } else {
      supply = Find(SUPPLIES, value);
      if (!supply) return CliUsageError(NAME, "--supply is 3631A, 3632A, 3633A, 66311B or none");
    }
  }

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
     "[--sim [--seed S]] [--test-set 8960|4400|none] [--supply 3631A|3632A|3633A|66311B|none]",
     "open the test set and supply as Instrument Check does, set the supply, read its current",
     &RunInstruments});

}  // namespace
