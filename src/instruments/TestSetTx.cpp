#include <cmath>

#include "instruments/TestSet.h"
#include "instruments/TestSetBlocks.h"
#include "instruments/TestSetCalls.h"
#include "platform/Notifier.h"

// The operations of the TX power calibration.
namespace {
constexpr double CONNECT_WAIT_8960_S = 5.0;
constexpr double CONNECT_WAIT_4400_FIRST_S = 10.0;
constexpr double CONNECT_WAIT_4400_SECOND_S = 5.0;
constexpr ViInt16 TX_MEASUREMENTS[2] = {6, 7};
constexpr int16_t SYSTEM_GENERATOR_ANALYSER = 3;
}  // namespace

bool StartCall() {
  if (!TestSetOpenOrFault()) return false;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      return RunTestSetCalls(
                 {{[](ViSession h) { return Driver8960().OriginateCall(h); }}, {[](ViSession h) {
                    return Driver8960().WaitCallConnected(h, CONNECT_WAIT_8960_S);
                  }}}) == VI_SUCCESS;
    case TESTSET_4400:
      return RunTestSetCalls({{[](ViSession h) {
                                return Driver4400().WaitConnected(h, CONNECT_WAIT_4400_FIRST_S);
                              }},
                              {[](ViSession h) {
                                return Driver4400().WaitConnected(h, CONNECT_WAIT_4400_SECOND_S);
                              }}}) == VI_SUCCESS;
    default:
      return false;
  }
}

void PrepareTxMeasurement() {
  if (!TestSetOpenOrFault()) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls(
          {{OperatingMode8960},
           {[](ViSession h) {
             return Driver8960().SendCommand(h, "CALL:FUNCTION:DOWNLINK BCHTCH");
           }},
           {[](ViSession h) { return Driver8960().SelectMeasurements(h, 2, TX_MEASUREMENTS); }},
           {[](ViSession h) { return Driver8960().SendCommand(h, "SETup:CONTinuous:ON"); }}});
      break;
    case TESTSET_4400:
      RunTestSetCalls(
          {{[](ViSession h) { return Driver4400().SelectSystem(h, SYSTEM_GENERATOR_ANALYSER); }}});
      break;
    default:
      break;
  }
}

void ConfigureTxCell() {
  if (!TestSetOpenOrFault()) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{CellBand8960},
                       {TchBand8960},
                       {PathLoss8960},
                       {CellPower8960},
                       {Bch8960},
                       {Tch8960},
                       {MsLevel8960}});
      break;
    case TESTSET_4400:
      RunTestSetCalls({{PathLossTable4400},
                       {PathLossTableOn4400},
                       {GeneratorLevel4400},
                       {AnalyserFrequency4400}});
      break;
    default:
      break;
  }
}

void ApplyMsPowerLevel() {
  if (!TestSetOpenOrFault()) return;
  // The 4400 is not in signalling mode during TX calibration: nothing to order.
  if (Instruments().TestSetType == TESTSET_8960) RunTestSetCalls({{MsLevel8960}});
}

void ApplyPathLoss() {
  if (!TestSetOpenOrFault()) return;
  // The 4400 uses its own loss table.
  if (Instruments().TestSetType == TESTSET_8960) RunTestSetCalls({{PathLoss8960}});
}

void MeasureTxPower() {
  if (!TestSetOpenOrFault()) return;
  // A measurement that fails leaves no reading behind, not the one before it.
  Instruments().TxPowerReading = std::nan("");
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{[](ViSession h) {
        ViInt32 integrity = 0;
        const ViStatus status =
            Driver8960().ReadTxPower(h, 0, &integrity, &Instruments().TxPowerReading);
        // Not acted upon (the reading is used as it is), but worth a trace line.
        if (status >= VI_SUCCESS && integrity != 0)
          DebugLog(Format("TX power integrity %ld\n", static_cast<long>(integrity)));
        return status;
      }}});
      break;
    case TESTSET_4400:
      RunTestSetCalls(
          {{[](ViSession h) { return Driver4400().SetStatistic(h, 0); }}, {[](ViSession h) {
             return Driver4400().MeasureTxPower(h, &Instruments().TxPowerReading, 1);
           }}});
      break;
    default:
      break;
  }
}

void ChangeTxChannel() {
  if (!TestSetOpenOrFault()) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{MsLevel8960}, {Tch8960}});
      break;
    case TESTSET_4400:
      RunTestSetCalls({{AnalyserFrequency4400}});
      break;
    default:
      break;
  }
}
