#include "instruments/TestSet.h"
#include "instruments/TestSetBlocks.h"
#include "instruments/TestSetCalls.h"
#include "platform/Notifier.h"

// The CW tone of the GMAGIC calibration.
namespace {
constexpr int16_t SYSTEM_GSM_SIGNALLING = 1;
constexpr double CW_OFFSET_GSM_MHZ = 45.0;  // uplink to downlink
constexpr double CW_OFFSET_DCS_MHZ = 95.0;
constexpr int16_t MODULATION_GMSK = 2;
constexpr int16_t TRAINING_SEQUENCE_ON = 1;
constexpr int16_t TRAINING_SEQUENCE = 4;
constexpr int16_t BIT_PATTERN_PRBS15 = 2;
constexpr int16_t SIGNAL_CONTINUOUS_WAVE = 2;
constexpr int16_t BURST_TIMESLOT = 4;

// The tone frequencies by band and offset selector (Hz); 0 where none is defined.
double CwFrequencyHz(int bandCode, int select) {
  if (select != 0 && select != 1) return 0.0;
  if (bandCode == BAND_GSM900) return select == 0 ? 947467000.0 : 947333000.0;
  if (bandCode == BAND_DCS1800) return select == 0 ? 1842467000.0 : 1842333000.0;
  return 0.0;
}
}  // namespace

void StartCwGenerator() {
  if (Instruments().TestSetHandle == 0) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls(
          {{OperatingMode8960},
           {[](ViSession h) { return Driver8960().SendCommand(h, "CALL:FUNCTION:DOWNLINK CW"); }},
           {CellBand8960}});
      break;
    case TESTSET_4400:
      // Re-initialised (identity query and reset); the driver gives back the same slot.
      RunTestSetCalls(
          {{[](ViSession) {
             return Driver4400().Init(RESOURCE_4400, 1, 1, &Instruments().TestSetHandle);
           }},
           {[](ViSession h) { return Driver4400().SelectSystem(h, SYSTEM_GSM_SIGNALLING); }}});
      break;
    default:
      break;
  }
}

void ConfigureCwGenerator() {
  if (Instruments().TestSetHandle == 0) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls(
          {{[](ViSession h) {
             return Driver8960().SendCommand(h, Instruments().BandCode == BAND_GSM900
                                                    ? "CALL:CELL:RFGenerator:BAND EGSM"
                                                    : "CALL:CELL:RFGenerator:BAND DCS");
           }},
           {[](ViSession h) {
             return Driver8960().SendCommand(h, Instruments().BandCode == BAND_GSM900
                                                    ? "CALL:CELL:RFGENERATOR:CHANNEL:EGSM 62"
                                                    : "CALL:CELL:RFGENERATOR:CHANNEL:DCS 698");
           }},
           {PathLoss8960, StatusUse::IGNORED},
           {[](ViSession h) { return Driver8960().CellPower(h, 1, CW_LEVEL_DBM, 0, 0); }}});
      break;
    case TESTSET_4400:
      RunTestSetCalls(
          {{PathLossTable4400},
           {PathLossTableOn4400},
           {[](ViSession h) {
             const double mhz = Instruments().BandCode == BAND_GSM900
                                    ? UplinkFrequencyMHz(CW_CHANNEL_GSM) + CW_OFFSET_GSM_MHZ
                                    : UplinkFrequencyMHz(CW_CHANNEL_DCS) + CW_OFFSET_DCS_MHZ;
             return Driver4400().ConfigureGenerator(
                 h, mhz, CELL_POWER_DBM, MODULATION_GMSK, TRAINING_SEQUENCE_ON, TRAINING_SEQUENCE,
                 BIT_PATTERN_PRBS15, SIGNAL_CONTINUOUS_WAVE, BURST_TIMESLOT);
           }},
           {[](ViSession h) {
             return Driver4400().Write(h, Format("RFG:LEV %f", CW_LEVEL_DBM).c_str());
           }}});
      break;
    default:
      break;
  }
}

void SetCwFrequency() {
  // No guard: without an open test set the call goes out with handle 0 and fails there.
  const InstrumentState& s = Instruments();
  if (s.TestSetType != TESTSET_8960 && s.TestSetType != TESTSET_4400) return;
  if (CwFrequencyHz(s.BandCode, s.CwOffsetSelect) == 0.0) {
    // Only the listed bands and selectors have a tone frequency; sending a made-up one would
    // move the generator somewhere nobody asked for, so nothing is sent.
    DebugLog(Format("SetCwFrequency: no tone for band %d, selector %d; nothing sent\n", s.BandCode,
                    s.CwOffsetSelect));
    return;
  }
  if (s.TestSetType == TESTSET_8960) {
    RunTestSetCalls({{[](ViSession h) {
      const InstrumentState& st = Instruments();
      return Driver8960().SendCommandReal(h, "CALL:CELL:RFGENERATOR:FREQUENCY",
                                          CwFrequencyHz(st.BandCode, st.CwOffsetSelect));
    }}});
  } else {
    RunTestSetCalls({{[](ViSession h) {
      const InstrumentState& st = Instruments();
      return Driver4400().Write(
          h, Format("RFG:FREQ %9.0f", CwFrequencyHz(st.BandCode, st.CwOffsetSelect)).c_str());
    }}});
  }
}
