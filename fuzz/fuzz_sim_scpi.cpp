#include <cstdint>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "instruments/InstrumentState.h"
#include "platform/visa/SimDevice.h"
#include "sim/instruments/SimBenchRig.h"
#include "sim/instruments/SimScpiParser.h"

// The simulated instruments' SCPI parser: message splitting, argument splitting and header
// patterns on any text, then whole messages to the simulated 8960, 4400 and supply, each reply
// read back. One bench for the run, as tesmira-bench serves one to every station.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SimBenchRig* rig = new SimBenchRig();
  static const char* const RESOURCES[] = {RESOURCE_8960, RESOURCE_4400, RESOURCE_SUPPLY};
  FuzzInput in(data, size);
  const auto device = visa::FindSimDevice(RESOURCES[in.Byte() % 3]);
  FUZZ_CHECK(device != nullptr);
  const std::string pattern(in.Line());
  const sim::ScpiPattern header(pattern);
  while (!in.Empty()) {
    const std::string message(in.Line());
    for (const sim::ScpiUnit& unit : sim::SplitScpiMessage(message)) {
      header.Matches(unit);
      sim::SplitScpiArgs(unit.args);
    }
    device->Write(message);
    for (int i = 0; i < 64 && device->Read(); ++i) {
    }
  }
  (void)rig;
  return 0;
}
