#include <string_view>

#include "instruments/TestSet.h"
#include "instruments/TestSetBlocks.h"
#include "instruments/TestSetCalls.h"
#include "link/Bcommand.h"

// The operations of the RX channel calibration.
namespace {
constexpr int16_t SYSTEM_GSM_SIGNALLING = 1;
constexpr int16_t RX_REPLY_SIZE = 128;
}  // namespace

void ConfigureRxCell() {
  // No guard: without an open test set the calls go out with handle 0 and fail there.
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{CellBand8960}, {Bch8960}, {CellPower8960}});
      break;
    case TESTSET_4400:
      RunTestSetCalls(
          {{[](ViSession h) { return Driver4400().SelectSystem(h, SYSTEM_GSM_SIGNALLING); }},
           {PathLossTable4400},
           {PathLossTableOn4400},
           {CellLevel4400}});
      break;
    default:
      break;
  }
}

void ApplyRxPowerLevel() {
  if (!TestSetOpenOrFault()) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      // The level goes as stored (a DCS level keeps its 100): the status says nothing useful.
      RunTestSetCalls({{TchBand8960},
                       {PathLoss8960},
                       {CellPower8960},
                       {[](ViSession h) {
                          const InstrumentState& s = Instruments();
                          return Driver8960().MsTxLevel(h, s.MsPowerLevel, s.BandCode, 1);
                        },
                        StatusUse::IGNORED}});
      break;
    case TESTSET_4400:
      RunTestSetCalls({{CellLevel4400},
                       {[](ViSession h) {
                          return Driver4400().Write(
                              h,
                              Format("CONF:GSM:MSTA:PLEV %d", Instruments().MsPowerLevel).c_str());
                        },
                        StatusUse::IGNORED}});
      break;
    default:
      break;
  }
}

void ChangeRxChannel() {
  if (Instruments().TestSetHandle == 0) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{Tch8960}});
      break;
    case TESTSET_4400:
      RunTestSetCalls({{Tch4400}});
      break;
    default:
      break;
  }
}

void ReadRxLevel() {
  if (Instruments().TestSetHandle == 0) return;
  switch (Instruments().TestSetType) {
    case TESTSET_8960:
      RunTestSetCalls({{[](ViSession h) {
                         return Driver8960().QueryReal(h, "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?",
                                                       &Instruments().RxLevelReading);
                       }},
                       {[](ViSession h) {
                         return Driver8960().QueryReal(h, "CALL:MS:REPorted:RXLevel:LAST?",
                                                       &Instruments().RxLevelReading);
                       }}});
      break;
    case TESTSET_4400:
      RunTestSetCalls({{[](ViSession h) {
                          char reply[RX_REPLY_SIZE] = {};
                          const ViStatus status =
                              Driver4400().Query(h, ":CALL:MSINFO:RXLEVEL?", reply, RX_REPLY_SIZE);
                          reply[RX_REPLY_SIZE - 1] = '\0';
                          // ParseDec counts every character as a decimal place: a CR left by
                          // a CR LF line end would multiply the level by ten.
                          std::string_view text(reply);
                          while (!text.empty() &&
                                 (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
                            text.remove_suffix(1);
                          Instruments().RxLevelReading = ParseDec(text);
                          return status;
                        },
                        StatusUse::IGNORED}});
      break;
    default:
      break;
  }
}
