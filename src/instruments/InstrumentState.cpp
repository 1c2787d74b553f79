#include "instruments/InstrumentState.h"

#include <cmath>
#include <limits>

#include "instruments/drivers/InstrumentDrivers.h"

namespace {
InstrumentState g_instruments;
RfConfig g_rfConfig;
SequencerState g_sequencer;

// Channels and selectors arrive as doubles; a value that is not a finite number inside the
// 32-bit range becomes 0 (what the dialog's own conversion gives for text that is no number)
// instead of undefined behaviour.
int32_t Truncate(double value) {
  if (!std::isfinite(value)) return 0;
  const double t = std::trunc(value);
  if (t < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      t > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return 0;
  return static_cast<int32_t>(t);
}
}  // namespace

bool InstrumentGone(ViStatus status) {
  return status == VI_ERROR_TMO || status == VI_ERROR_CONN_LOST || status == VI_ERROR_RSRC_NFOUND;
}

InstrumentState& Instruments() {
  return g_instruments;
}

RfConfig& RfConfiguration() {
  return g_rfConfig;
}

SequencerState& Sequencer() {
  return g_sequencer;
}

void ResetInstrumentState() {
  g_instruments = InstrumentState{};
  g_rfConfig = RfConfig{};
  g_sequencer = SequencerState{};
  ResetInstrumentDrivers();
}

void ApplyRfConfig(const std::array<double, 16>& v) {
  RfConfig& c = g_rfConfig;
  c.GsmBchChannel = Truncate(v[0]);
  c.GsmTchChannel[1] = Truncate(v[1]);
  c.GsmTchChannel[2] = Truncate(v[2]);
  c.GsmTchChannel[3] = Truncate(v[3]);
  c.GsmPathLoss[2] = v[4];  // the middle box comes first in the dialog's array
  c.GsmPathLoss[1] = v[5];
  c.GsmPathLoss[3] = v[6];
  c.DcsBchChannel = Truncate(v[7]);
  c.DcsTchChannel[1] = Truncate(v[8]);
  c.DcsTchChannel[2] = Truncate(v[9]);
  c.DcsTchChannel[3] = Truncate(v[10]);
  c.DcsPathLoss[2] = v[11];
  c.DcsPathLoss[1] = v[12];
  c.DcsPathLoss[3] = v[13];
  g_instruments.TestSetType = Truncate(v[14]);
  g_instruments.SupplyType = Truncate(v[15]);
}

std::array<double, 16> DefaultRfConfigValues() {
  return {80,  1,   62,  124,  -1.2, -1.2, -1.2,         512,
          512, 698, 885, -1.7, -1.7, -1.7, TESTSET_8960, SUPPLY_E3631A};
}
